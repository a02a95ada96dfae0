#pragma once
// Script bytes named in a lint message. A message quotes the text that shows
// and names each character that would not show in words outside the quotation
// marks, so that no literal text can read like a TAB: print's "<TAB>" can be
// typed, "a TAB" outside the quotes cannot.

#include <string>
#include <string_view>

// One byte in words: "'Y'", "a quotation mark", "a TAB", "a CR", "a NUL",
// "the control character 0x1B", "the control character 0x85", "a no-break
// space"; a Latin-1 letter as itself, in quotes.
std::string ByteInWords(unsigned char byte);

// The bytes as Latin-1 in quotation marks, each character that would not show
// set apart in words: "C:\app\a", a TAB, "b". Blanks stay in the quotes,
// where the closing mark shows them. An empty text is "".
std::string QuotedText(std::string_view bytes);
