#include "script_tool/print_rows.h"
#include "script_tool/visible_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using std::string_literals::operator""s;

// Each row: the line, the kind, the percentage shown before it (a quarter
// more after each of four commands), the texts.
TEST(PrintScriptRows, ShowsEachCommandAsTheUpdaterCarriesItOut) {
  const auto rows = PrintScriptRows(
      "\xEF\xBB\xBF" "COP\tC:\\new a\tC:\\app\\a \r\nRUN \"C:\\app\\a.exe\"\tx\r\n\nCOP\tC:\\a\r");
  const struct {
    std::size_t Line;
    RowKind Kind;
    std::int32_t Percentage;
    std::vector<std::string> Texts;
  } expected[] = {
      {1, RowKind::Copy, 0, {"C:\\new a", "C:\\app\\a<SP>"}},
      {2, RowKind::Run, 25, {"\"C:\\app\\a.exe\"<TAB>x"}},
      {3, RowKind::Nothing, 50, {""}},
      {4, RowKind::Copy, 75, {}},
  };
  ASSERT_EQ(rows.size(), std::size(expected));
  for (std::size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].Line, expected[i].Line) << "row " << i;
    EXPECT_EQ(rows[i].Kind, expected[i].Kind) << "row " << i;
    EXPECT_EQ(rows[i].Percentage, expected[i].Percentage) << "row " << i;
    EXPECT_EQ(rows[i].Texts, expected[i].Texts) << "row " << i;
  }
}

TEST(PrintScriptRows, PercentageIsShortOfAHundredBeforeTheLastCommand) {
  std::string script;
  for (int i = 0; i < 150; ++i) script += "RUN C:\\a.exe\n";
  const auto rows = PrintScriptRows(script);
  ASSERT_EQ(rows.size(), 150u);
  EXPECT_EQ(rows[1].Percentage, 0);
  EXPECT_EQ(rows[2].Percentage, 1);
  EXPECT_EQ(rows[75].Percentage, 50);
  EXPECT_EQ(rows[149].Percentage, 99);
  EXPECT_TRUE(PrintScriptRows("").empty());
}

TEST(VisibleText, NamesWhatWouldNotShow) {
  const struct {
    std::string Bytes, Shown;
  } cases[] = {
      {"a\tb", "a<TAB>b"},
      {"a b  ", "a b<SP><SP>"},
      {"a\rb\0"s, "a<CR>b<NUL>"},
      {"\x1B\x7F", "<0x1B><0x7F>"},
      {"caf\xE9", "caf\xC3\xA9"},
      {"\x85\xA0\xFF", "<0x85><0xA0>\xC3\xBF"},
      {"men\xC3\xBC", "men\xC3\x83\xC2\xBC"},
  };
  for (const auto& c : cases) EXPECT_EQ(VisibleText(c.Bytes), c.Shown) << c.Shown;
}

}  // namespace
