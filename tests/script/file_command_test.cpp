#include "script/file_command.h"

#include <gtest/gtest.h>

#include <string>
#include <type_traits>
#include <vector>

namespace {

using Args = std::vector<std::string>;

struct GrammarCase {
  const char* name;
  std::string line;
  CommandKind kind;
  Args arguments;
};

std::string Bytes(const char* text, std::size_t length) {
  return std::string(text, length);
}

TEST(FileCommandGrammar, EveryShapeOfLine) {
  const GrammarCase cases[] = {
      {"copy, TAB separated", "COP\tC:\\new\\a.exe\tC:\\app\\a.exe", CommandKind::Copy,
       {"C:\\new\\a.exe", "C:\\app\\a.exe"}},
      {"copy, SPACE separated", "COP C:\\new\\a.exe C:\\app\\a.exe", CommandKind::Copy,
       {"C:\\new\\a.exe", "C:\\app\\a.exe"}},
      {"TAB wins over an earlier SPACE", "COP C:\\My Files\\a.exe\tC:\\app\\a.exe",
       CommandKind::Copy, {"C:\\My Files\\a.exe", "C:\\app\\a.exe"}},
      {"SPACE separator ends the source at its first space",
       "COP C:\\My Files\\a.exe C:\\app\\a.exe", CommandKind::Copy,
       {"C:\\My", "Files\\a.exe C:\\app\\a.exe"}},
      {"a later TAB is found even behind spaces", "COP a b c\td e", CommandKind::Copy,
       {"a b c", "d e"}},
      {"everything after the separator is the target", "COP a\tb\tc  ", CommandKind::Copy,
       {"a", "b\tc  "}},
      {"byte 3 is skipped whatever it is", "COPxsource target", CommandKind::Copy,
       {"source", "target"}},
      {"COPY: the space at index 4 makes the source empty", "COPY some new words",
       CommandKind::Copy, {"", "some new words"}},
      {"separator as last byte gives an empty target", "COP source ", CommandKind::Copy,
       {"source", ""}},
      {"nothing trimmed", "COP  a \t b ", CommandKind::Copy, {" a ", " b "}},
      {"COP alone has no arguments", "COP", CommandKind::Copy, {}},
      {"COP and one byte has no arguments", "COP ", CommandKind::Copy, {}},
      {"COP without separator has no arguments", "COP source", CommandKind::Copy, {}},
      {"a separator at index 3 does not count", "COP\tsource", CommandKind::Copy, {}},
      {"run keeps quotes and blanks", "RUN \"C:\\Program Files\\P\\p.exe\"  /x \"y z\"\t",
       CommandKind::Run, {"\"C:\\Program Files\\P\\p.exe\"  /x \"y z\"\t"}},
      {"RUN of 4 bytes has one empty argument", "RUN ", CommandKind::Run, {""}},
      {"RUNNER: still a run, byte 3 skipped", "RUNNER x", CommandKind::Run, {"ER x"}},
      {"lower case is not a keyword", "cop a b", CommandKind::Unrecognized, {"a b"}},
      {"mixed case is not a keyword", "Run notepad.exe", CommandKind::Unrecognized,
       {"notepad.exe"}},
      {"unknown keyword keeps its argument", "DEL C:\\x", CommandKind::Unrecognized,
       {"C:\\x"}},
      {"UTF-8 byte-order mark is the keyword", "\xEF\xBB\xBF" "COP a b",
       CommandKind::Unrecognized, {"OP a b"}},
      {"empty line", "", CommandKind::Unrecognized, {""}},
      {"short line", "CO", CommandKind::Unrecognized, {""}},
      {"RUN without its fourth byte carries no command line", "RUN",
       CommandKind::Unrecognized, {""}},
      {"unknown line of exactly 4 bytes", "ABCD", CommandKind::Unrecognized, {""}},
      {"NUL bytes are kept", Bytes("COP a\0b\tc\0", 10), CommandKind::Copy,
       {Bytes("a\0b", 3), Bytes("c\0", 2)}},
      {"a lone CR is an ordinary byte", "RUN a\rb\r", CommandKind::Run, {"a\rb\r"}},
      {"Latin-1 bytes are kept", "COP caf\xE9.txt d\xFF", CommandKind::Copy,
       {"caf\xE9.txt", "d\xFF"}},
  };
  for (const GrammarCase& c : cases) {
    SCOPED_TRACE(c.name);
    const FileCommand command(c.line);
    EXPECT_EQ(command.Kind, c.kind);
    EXPECT_EQ(command.Arguments, c.arguments);
  }
}

TEST(FileCommandGrammar, NoLimitOnLineLength) {
  const std::string source(1 << 20, 's');
  const std::string target(300000, 't');
  const FileCommand command("COP " + source + "\t" + target);
  ASSERT_EQ(command.Arguments.size(), 2u);
  EXPECT_EQ(command.Arguments[0], source);
  EXPECT_EQ(command.Arguments[1], target);
}

TEST(FileCommandValue, CopiesAreDeepAndIndependent) {
  // A plain value: nothing derives from it, so it carries no vtable.
  static_assert(!std::is_polymorphic_v<FileCommand>);
  static_assert(static_cast<int>(CommandKind::Copy) == 0);
  static_assert(static_cast<int>(CommandKind::Run) == 1);
  static_assert(sizeof(CommandKind) == 4);

  FileCommand original("COP a b");
  const FileCommand copy(original);
  original.Arguments[0] = "changed";
  original.Kind = CommandKind::Run;
  EXPECT_EQ(copy.Kind, CommandKind::Copy);
  EXPECT_EQ(copy.Arguments, (Args{"a", "b"}));
}

}  // namespace
