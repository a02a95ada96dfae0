#pragma once
// What the updater reads of a script file, as a pure function over its bytes.
// The updater itself reads through the C runtime's text mode (script_reader);
// the toolkit reads the same bytes through this, and a test under Wine proves
// that both give the same text for every script in the corpora.

#include <string>
#include <string_view>

// The three bytes a UTF-8 byte-order mark is made of.
inline constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";

// The text without a UTF-8 byte-order mark at its very start. The mark is
// dropped there only: the same bytes anywhere else are ordinary text.
std::string_view WithoutByteOrderMark(std::string_view text);

// The file's bytes as the updater reads them: the data ends at the first byte
// 0x1A, CR LF becomes LF, a lone CR stays, and a byte-order mark at the very
// start is dropped. No code page is applied.
std::string ScriptTextFromFileBytes(std::string_view fileBytes);
