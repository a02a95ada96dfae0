#include "script_tool/print/print_json.h"
#include "script_tool/print/print_rows.h"
#include "script_tool/script_reader/visible_text.h"

#include "app/update_messages.h"
#include "checks/reported_name.h"
#include "names/text_conversions.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using std::string_literals::operator""s;

// Each row: the line, the kind, the percentage shown before it (a quarter
// more after each of four commands), the exact texts.
TEST(PrintScriptRows, ShowsEachCommandAsTheUpdaterCarriesItOut) {
  const auto rows = PrintScriptRows(
      "\xEF\xBB\xBF" "COP\tC:\\new a\tC:\\app\\a \r\nRUN \"C:\\app\\a.exe\"\tx\r\n\nCOP\tC:\\a\r");
  const struct {
    std::size_t Line;
    RowKind Kind;
    std::int32_t Percentage;
    std::vector<std::string> Texts;
  } expected[] = {
      {1, RowKind::Copy, 0, {"C:\\new a", "C:\\app\\a "}},
      {2, RowKind::Run, 25, {"\"C:\\app\\a.exe\"\tx"}},
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

// A run row says whether the updater starts anything for it, and if not why:
// its own two refusals, and the command lines Windows finds no program in.
TEST(PrintScriptRows, MarksRunsThatStartNothing) {
  const struct {
    std::string Line;
    bool Starts;
    std::string Words;  // in the reason
  } cases[] = {
      {"RUN C:\\app\\a.exe /x", true, ""},
      {"RUN\t\"C:\\app\\a.exe\"", true, ""},
      {"RUN C:\\app\\a.exe " + std::string(255 - 13, 'x'), true, ""},
      {"RUN C:\\app\\a.exe " + std::string(256 - 13, 'x'), false, "is 256 characters long"},
      {"RUN C:\\app\\a.exe\0x"s, false, "holds a NUL byte"},
      {"RUN  C:\\app\\a.exe", false, "starts with a space"},
      {"RUN \tC:\\app\\a.exe", false, "starts with a TAB"},
      {"RUN ", false, "is empty"},
      {"RUN\"C:\\app\\a.exe\" /x", false, "holds a quotation mark"},
  };
  for (const auto& c : cases) {
    const auto rows = PrintScriptRows(c.Line + "\r\n");
    ASSERT_EQ(rows.size(), 1u) << c.Line;
    EXPECT_EQ(rows[0].Kind, RowKind::Run) << c.Line;
    EXPECT_EQ(rows[0].Starts, c.Starts) << c.Line;
    EXPECT_EQ(rows[0].Reason.empty(), c.Starts) << c.Line;
    EXPECT_NE(rows[0].Reason.find(c.Words), std::string::npos) << c.Line << ": " << rows[0].Reason;
  }
}

// Beside the sentence, a word a program can tell the refusals apart by; the
// words are an interface and never change.
TEST(PrintRowJson, NamesEachRefusalByAStableCode) {
  const struct {
    std::string Line;
    const char* Code;  // nullptr: starts, so no code and no reason
  } cases[] = {
      {"RUN C:\\app\\a.exe /x", nullptr},
      {"RUN \"C:\\app\\a b.exe\" /x", nullptr},
      {"RUN C:\\app\\a.exe\0x"s, "nul"},
      {"RUN \"C:\\a.exe\" /n\0ul"s, "nul"},
      {"RUN C:\\app\\a.exe " + std::string(256 - 13, 'x'), "too-long"},
      {"RUN " + std::string(300, 'x') + std::string(1, '\0'), "nul"},  // the NUL is told first
      {"RUN ", "empty"},
      {"RUN", nullptr},  // too short for an argument: a line that does nothing
      {"RUN  C:\\app\\a.exe", "leading-blank"},
      {"RUN \tC:\\app\\a.exe", "leading-blank"},
      {"RUN\"C:\\app\\a.exe\" /x", "quotation-mark"},
      {"RUN C:\\app\\a\"b.exe", "quotation-mark"},
  };
  for (const auto& c : cases) {
    const auto rows = PrintScriptRows(c.Line + "\r\n");
    ASSERT_EQ(rows.size(), 1u) << c.Line;
    const nlohmann::json row = PrintRowJson(rows[0]);
    if (c.Code == nullptr) {
      EXPECT_FALSE(row.contains("reasonCode")) << row.dump();
      EXPECT_FALSE(row.contains("reason")) << row.dump();
      continue;
    }
    EXPECT_EQ(row["starts"], false) << row.dump();
    EXPECT_EQ(row["reasonCode"], c.Code) << row.dump();
    EXPECT_TRUE(row["reason"].is_string()) << row.dump();
  }
}

// The title the window shows while each command runs: the updater's "Updating
// PexaMenu, Please wait..." until the runner meets a command that is not a
// copy, and "Ready, Starting..." from that command on, before it runs: a RUN
// that starts nothing, a blank line, a lower-case keyword and a line whose
// keyword a byte-order mark spoils change it as a RUN that starts does. A
// COP line without a separator is a copy: the title stays.
TEST(PrintScriptRows, TellsTheTitleWhileEachCommandRuns) {
  const std::wstring_view U = kUpdatingTitle;
  const std::wstring_view R = kReadyTitle;
  const struct {
    std::string Script;
    std::vector<std::wstring_view> Titles;
  } cases[] = {
      {"COP\tC:\\n\\a\tC:\\a\r\nCOP\tC:\\n\\b\tC:\\b\r\n", {U, U}},
      {"COP\tC:\\n\\a\tC:\\a\r\nRUN C:\\a.exe\r\n", {U, R}},
      {"RUN C:\\a.exe\r\nCOP\tC:\\n\\a\tC:\\a\r\n", {R, R}},
      {"COP\tC:\\n\\a\tC:\\a\r\nRUN  C:\\a.exe\r\nCOP\tC:\\n\\b\tC:\\b\r\n", {U, R, R}},
      {"COP\tC:\\n\\a\tC:\\a\r\nRUN \r\nCOP\tC:\\n\\b\tC:\\b\r\n", {U, R, R}},
      {"COP\tC:\\n\\a\tC:\\a\r\nRUN x\0y\r\n"s, {U, R}},
      {"COP\tC:\\n\\a\tC:\\a\r\n\r\nCOP\tC:\\n\\b\tC:\\b\r\n", {U, R, R}},
      {"COP\tC:\\n\\a\tC:\\a\r\ncop C:\\n\\b C:\\b\r\n", {U, R}},
      {"COP\tC:\\n\\a\tC:\\a\r\n\xEF\xBB\xBF" "COP\tC:\\n\\b\tC:\\b\r\n", {U, R}},
      {"\xEF\xBB\xBF" "COP\tC:\\n\\a\tC:\\a\r\n", {U}},  // a mark at the start is skipped
      {"COP\tC:\\n\\a\r\nCOP\tC:\\n\\b\tC:\\b\r\n", {U, U}},
      {"REM first\r\nCOP\tC:\\n\\a\tC:\\a", {R, R}},
  };
  for (const auto& c : cases) {
    const auto rows = PrintScriptRows(c.Script);
    ASSERT_EQ(rows.size(), c.Titles.size()) << VisibleText(c.Script);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      EXPECT_EQ(rows[i].Title, c.Titles[i]) << VisibleText(c.Script) << ", row " << i;
      EXPECT_EQ(PrintRowJson(rows[i])["title"], WideToUtf8(c.Titles[i])) << VisibleText(c.Script);
    }
  }
}

// A COP line without a separator stops the updater's first check of the
// files, the busy-target check, which names it by a fixed phrase: the row
// says so, with the box's whole text as the updater builds it. No other line
// carries a stop: an empty source or target stops at a check that depends on
// the files.
TEST(PrintRowJson, TellsWhereTheChecksStopAtACopWithoutSeparator) {
  for (const std::string line : {"COP\tC:\\new\\a.txt", "COP C:\\new\\a.txt", "COP", "COPx",
                                 "COP\t", "COP\xA0" "C:\\a"}) {
    const auto rows = PrintScriptRows(line + "\r\n");
    ASSERT_EQ(rows.size(), 1u) << line;
    const nlohmann::json row = PrintRowJson(rows[0]);
    EXPECT_EQ(row["kind"], "copy") << row.dump();
    EXPECT_EQ(row["source"], nullptr) << row.dump();
    const nlohmann::json expected = {
        {"check", "busy-target"},
        {"message", "PexaMenu is already running\n(COP line without a target)\nTry again?"},
        {"name", "COP line without a target"}};
    EXPECT_EQ(row["checkStop"], expected) << row.dump();
    // From the updater's own words and names, not a copy of them.
    EXPECT_EQ(row["checkStop"]["message"], WideToUtf8(BusyTargetQuestion(kCopyWithoutTarget)));
    EXPECT_EQ(row["checkStop"]["name"], kCopyWithoutTarget);
  }
  for (const std::string line : {"COP\tC:\\new\\a.txt\tC:\\app\\a.txt", "COP\t\tC:\\app\\a.txt",
                                 "COP\tC:\\new\\a.txt\t", "RUN C:\\a.exe", "REM"}) {
    const auto rows = PrintScriptRows(line + "\r\n");
    ASSERT_EQ(rows.size(), 1u) << line;
    EXPECT_EQ(rows[0].Stop, nullptr) << line;
    EXPECT_FALSE(PrintRowJson(rows[0]).contains("checkStop")) << line;
  }
}

// JSON carries the exact text, so that a program reading it back gets the
// script's bytes: a TAB and the five characters "<TAB>" differ there.
TEST(PrintRowJson, CarriesTheExactTexts) {
  const struct {
    std::string Line;
    nlohmann::json Expected;  // the fields named here, as JSON
  } cases[] = {
      {"COP\tC:\\new\\a.txt\tC:\\app\\a.txt",
       {{"kind", "copy"}, {"source", "C:\\new\\a.txt"}, {"target", "C:\\app\\a.txt"}}},
      {"COP\tC:\\n\\caf\xE9 \tC:\\app\\b\x7F",
       {{"source", "C:\\n\\caf\xC3\xA9 "}, {"target", "C:\\app\\b\x7F"},
        {"visible", {{"source", "C:\\n\\caf\xC3\xA9<SP>"}, {"target", "C:\\app\\b<0x7F>"}}}}},
      {"COP\tC:\\new\\a.txt", {{"kind", "copy"}, {"source", nullptr}, {"target", nullptr}}},
      {"RUN a\tb", {{"kind", "run"}, {"commandLine", "a\tb"}, {"starts", true},
                     {"visible", {{"commandLine", "a<TAB>b"}}}}},
      {"RUN a<TAB>b", {{"commandLine", "a<TAB>b"}, {"visible", {{"commandLine", "a<TAB>b"}}}}},
      {"RUN a\rb", {{"commandLine", "a\rb"}}},
      {"RUN  a", {{"commandLine", " a"}, {"starts", false}}},
      {"REM \x1B", {{"kind", "nothing"}, {"text", "REM \x1B"}}},
  };
  for (const auto& c : cases) {
    const auto rows = PrintScriptRows(c.Line);
    ASSERT_EQ(rows.size(), 1u) << c.Line;
    const nlohmann::json row = PrintRowJson(rows[0]);
    EXPECT_EQ(row["line"], 1) << c.Line;
    EXPECT_TRUE(row["percentage"].is_number()) << c.Line;
    for (const auto& [field, value] : c.Expected.items()) {
      EXPECT_EQ(row[field], value) << c.Line << ": " << field << " in " << row.dump();
    }
    // Only a run that starts nothing says why.
    EXPECT_EQ(row.contains("reason"), row.value("starts", true) == false) << row.dump();
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
  EXPECT_EQ(rows[148].PercentageAfter, 99);
  EXPECT_EQ(rows[149].PercentageAfter, 100) << "full once the last command is done";
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
