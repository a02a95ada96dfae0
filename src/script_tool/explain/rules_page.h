#pragma once
// The rules page (docs/lint-rules.md), built into the program: `explain`
// prints a code's section from these very bytes, so what the program says of
// a code and what the page says cannot differ.

#include <string_view>

// The page's bytes as they were at build time.
std::string_view RulesPageText();

// A code's section of the page: its heading line ("## DS001: Keyword in the
// wrong case") up to the next heading, without the blank lines that end it.
// The code is matched in any case; empty when the page has no such section.
std::string_view RulesPageSection(std::string_view page, std::string_view code);
