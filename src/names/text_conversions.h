#pragma once
// The text conversions between the script's Latin-1 bytes, UTF-8 (command
// lines, messages and Linux file names) and wide text (system calls and the
// writer's interface). Latin-1 to wide is the grammar's WidenText
// (script/widen_text.h): one unit per byte. Wide text is UTF-16 on Windows
// and one code point a unit elsewhere.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The length of the UTF-8 sequence that starts at index: 1 for an ASCII byte,
// 2 to 4 for a longer valid one, 0 when none starts there (a stray or cut
// sequence, an overlong form, a surrogate, a point beyond U+10FFFF). Lint's
// encoding rules and the conversions below hold one notion of valid UTF-8.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t index);

// Each byte as the character of that value, written as UTF-8.
std::string Latin1ToUtf8(std::string_view latin1);
void AppendLatin1AsUtf8(std::string& out, std::string_view latin1);

// Nothing when the text is not UTF-8 or holds a character beyond U+00FF.
std::optional<std::string> Utf8ToLatin1(std::string_view utf8);

// Nothing when the bytes are not UTF-8 (overlong forms and surrogates
// included).
std::optional<std::wstring> Utf8ToWide(std::string_view utf8);

// A lone UTF-16 surrogate, which no valid text holds, becomes U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// Nothing when a unit lies beyond U+00FF: a script holds one byte a character.
std::optional<std::string> WideToLatin1(std::wstring_view wide);
