#pragma once
// Text in double quotation marks, as UTF-8, for a finding's message: the
// plain form, for paths and words of Windows and the updater. QuotedText
// (names/windows_names.h) is the form for a script's own bytes, which names
// in words what would not show.

#include <string>
#include <string_view>

#include "names/text_conversions.h"

// Script bytes, each one Latin-1 character.
inline std::string Quoted(std::string_view latin1) {
  return "\"" + Latin1ToUtf8(latin1) + "\"";
}

// Wide text: a path as Windows gives it, or the updater's own words.
inline std::string Quoted(std::wstring_view wide) { return "\"" + WideToUtf8(wide) + "\""; }

// Bytes that are UTF-8 already, as they stand.
inline std::string QuotedUtf8(std::string_view utf8) { return "\"" + std::string(utf8) + "\""; }
