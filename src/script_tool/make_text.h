#pragma once
// Text between make's two sides: UTF-8 on the command line and in file names
// on Linux, wide text in the script writer. Wide text is UTF-16 on Windows
// and one code point a unit elsewhere.

#include <optional>
#include <string>
#include <string_view>

// Empty when the bytes are not UTF-8 (overlong forms and surrogates included).
std::optional<std::wstring> WideFromUtf8(std::string_view bytes);
std::string Utf8FromWide(const std::wstring& text);
