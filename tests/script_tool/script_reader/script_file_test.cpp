// The one script reader under lint, print, verify and preflight: each line as
// the updater reads it, with its number, where it starts and its command.
#include "script_tool/script_reader/script_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using std::string_literals::operator""s;

const char* KindName(CommandKind kind) {
  return kind == CommandKind::Copy ? "copy" : kind == CommandKind::Run ? "run" : "nothing";
}

// "number@column-offset kind [argument|argument]".
std::string Described(std::size_t number, std::size_t offset, CommandKind kind,
                      const std::vector<std::string>& arguments) {
  std::string text = std::to_string(number) + "@" + std::to_string(offset) + " " + KindName(kind) + " [";
  for (std::size_t i = 0; i < arguments.size(); ++i) text += (i ? "|" : "") + arguments[i];
  return text + "]";
}

TEST(ScriptReader, EachLineWithItsNumberPlaceAndCommand) {
  const struct {
    std::string bytes;
    std::vector<std::string> lines;
    const char* why;
  } cases[] = {
      {"", {}, "an empty file has no lines"},
      {"\xEF\xBB\xBF" "COP a\tb\r\nRUN x.exe\r\n",
       {"1@3 copy [a|b]", "2@0 run [x.exe]"},
       "behind a byte-order mark the first line starts at byte 3; CR LF ends a line"},
      {"COP\nxyz\n\n", {"1@0 copy []", "2@0 nothing []", "3@0 nothing []"},
       "a COP without separator has no arguments; a short line and an empty one are lines"},
      {"RUN a.exe\x1ARUN b.exe\n", {"1@0 run [a.exe]"}, "0x1A ends what the updater reads"},
      {"RUN a\rRUN b\n", {"1@0 run [a\rRUN b]"}, "a lone CR ends no line"},
      {"COP a b\tc\n", {"1@0 copy [a b|c]"}, "a TAB separates before a space does"},
      {"RUN a\0b\n"s, {"1@0 run [a\0b]"s}, "a NUL is an ordinary byte"},
      {"a\n\xEF\xBB\xBF" "RUN x\n", {"1@0 nothing []", "2@0 nothing [UN x]"},
       "a mark after the start is text of its line, not dropped"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> read;
    ForEachReadLine(c.bytes, [&](const ReadLine& line) {
      std::vector<std::string> arguments;
      for (std::size_t i = 0; i < line.Command.ArgumentCount; ++i) {
        arguments.emplace_back(line.Command.Arguments[i]);
      }
      read.push_back(Described(line.Number, line.ColumnOffset, line.Command.Kind, arguments));
    });
    EXPECT_EQ(read, c.lines) << c.why;
    EXPECT_EQ(CountScriptLines(c.bytes), c.lines.size()) << c.why;
    // The owning lines verify and preflight take are the same lines.
    std::vector<std::string> owned;
    for (const ScriptLine& line : ParseScriptLines(c.bytes)) {
      owned.push_back(Described(line.Number, line.ColumnOffset, line.Command.Kind,
                                line.Command.Arguments));
    }
    EXPECT_EQ(owned, c.lines) << c.why;
  }
}

}  // namespace
