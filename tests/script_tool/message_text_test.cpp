#include "script_tool/message_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using std::string_literals::operator""s;

// What shows stays in quotation marks; what would not is named in words
// outside them, so that "<TAB>" typed into a script reads as itself.
TEST(QuotedText, NamesWhatWouldNotShowInWordsOutsideTheQuotes) {
  const struct {
    std::string Bytes, Shown;
  } cases[] = {
      {"C:\\app\\a.exe", "\"C:\\app\\a.exe\""},
      {"", "\"\""},
      {"a\tb", "\"a\", a TAB, \"b\""},
      {"a<TAB>b", "\"a<TAB>b\""},
      {"\ta ", "a TAB, \"a \""},
      {"a\r", "\"a\", a CR"},
      {"a\0\x1B"s, "\"a\", a NUL, the control character 0x1B"},
      {"\x7F\x85\xA0", "the control character 0x7F, the control character 0x85, a no-break space"},
      {"caf\xE9", "\"caf\xC3\xA9\""},
  };
  for (const auto& c : cases) EXPECT_EQ(QuotedText(c.Bytes), c.Shown) << c.Shown;
}

TEST(ByteInWords, NamesOneByte) {
  const struct {
    unsigned char Byte;
    std::string Words;
  } cases[] = {
      {'Y', "'Y'"},   {'"', "a quotation mark"}, {' ', "a space"},
      {'\t', "a TAB"}, {0x1B, "the control character 0x1B"}, {0xE9, "'\xC3\xA9'"},
  };
  for (const auto& c : cases) EXPECT_EQ(ByteInWords(c.Byte), c.Words) << c.Words;
}

}  // namespace
