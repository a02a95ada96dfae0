#include "script/text_mode.h"
#include "script_tool/script_reader/script_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/line_splitter.h"

namespace {

using std::string_literals::operator""s;

TEST(ScriptTextFromFileBytes, ReadsAsTheRuntimeTextMode) {
  const struct {
    std::string bytes, text, why;
  } cases[] = {
      {"", "", "empty file"},
      {"COP a b\r\nRUN c\r\n", "COP a b\nRUN c\n", "CR LF becomes LF"},
      {"a\rb\r", "a\rb\r", "a lone CR stays, at the end too"},
      {"a\r\r\nb", "a\r\nb", "only the CR before the LF goes"},
      {"\r\n\r\n\r", "\n\n\r", "empty CR LF lines, then a lone CR"},
      {"a\nb\x1A" "c\nd", "a\nb", "0x1A ends the data"},
      {"\x1A" "abc", "", "0x1A first: nothing"},
      {"a\r\x1A\nb", "a\r", "a CR before 0x1A is a lone CR"},
      {"\xEF\xBB\xBF" "COP a b", "COP a b", "byte-order mark at the start"},
      {"\xEF\xBB\xBF", "", "only the mark"},
      {"a\n\xEF\xBB\xBF" "b", "a\n\xEF\xBB\xBF" "b", "the mark elsewhere stays"},
      {"\xEF\xBB\xBF\xEF\xBB\xBF", "\xEF\xBB\xBF", "only the first mark goes"},
      {"\xEF\xBB", "\xEF\xBB", "half a mark stays"},
      {"a\0b\r\n"s, "a\0b\n"s, "NUL is an ordinary byte"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ScriptTextFromFileBytes(c.bytes), c.text) << c.why;
    // The lines read in place from the file are the lines of that text.
    std::vector<std::string> fromText, inPlace;
    ForEachLine(c.text, [&](std::string_view line) { fromText.emplace_back(line); });
    ForEachScriptLine(c.bytes, [&](std::string_view line) {
      EXPECT_TRUE(line.empty() || (line.data() >= c.bytes.data() &&
                                   line.data() + line.size() <= c.bytes.data() + c.bytes.size()))
          << c.why << ": not a view into the file";
      inPlace.emplace_back(line);
    });
    EXPECT_EQ(inPlace, fromText) << c.why;
  }
}

TEST(ParseScriptLines, NumbersLinesAsAnEditorDoes) {
  const auto lines = ParseScriptLines("\xEF\xBB\xBF" "COP a b\r\n\nRUN x\rUN y");
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0].Number, 1u);
  EXPECT_EQ(lines[0].ColumnOffset, 3u) << "behind the byte-order mark";
  EXPECT_EQ(lines[0].Command.Kind, CommandKind::Copy);
  EXPECT_EQ(lines[1].Text, "");
  EXPECT_EQ(lines[2].Number, 3u);
  EXPECT_EQ(lines[2].ColumnOffset, 0u);
  EXPECT_EQ(lines[2].Text, "RUN x\rUN y") << "a lone CR ends no line";
}

}  // namespace
