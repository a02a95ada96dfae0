#pragma once
// Windows paths as a script holds them (Latin-1 bytes), taken apart and
// compared as Windows compares names, on any platform: the toolkit checks on
// Linux what the updater will do on Windows.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/visible_text.h"

// The name with every letter in upper case, as Windows folds names when it
// compares them. Latin-1 in, Latin-1 out: a-z and the accented small letters
// (but not the division sign, nor y with diaeresis, whose capital lies beyond
// Latin-1) become their capitals.
std::string FoldLatin1Name(std::string_view latin1);

// The names of a path between its separators (\ and /, both separators to
// Windows), with empty names and "." left out, as Windows normalizes a path.
std::vector<std::string> SplitWindowsPath(std::string_view latin1);

// Where a path lies below a root: the names after the root's own, or nothing
// when the path is not below it (nor the root itself). Roots and names are
// compared as Windows compares them.
std::optional<std::vector<std::string>> NamesBelowRoot(
    const std::vector<std::string>& path, const std::vector<std::string>& root);

// What is wrong with the names below a root, as the end of a sentence that
// begins with the path ("holds ..."); empty when nothing is. A name that
// Windows would change or that leaves the root reaches another file there
// than here.
std::string ProblemOfRelativeNames(const std::vector<std::string>& names);

// UTF-8 back to Latin-1 (Latin1ToUtf8 is in visible_text.h). A text with a
// character beyond U+00FF, or that is not UTF-8 at all, has no Latin-1 form.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

// One name of a script path as a name of the local file system.
std::filesystem::path LocalName(const std::string& latin1);

// A local file name in the script's Latin-1, for comparing with script names;
// nothing when the name cannot be written in Latin-1 (no script names it).
std::optional<std::string> Latin1Name(const std::filesystem::path& name);
