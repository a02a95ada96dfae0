#include "script_tool/script_reader/run_program.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ProgramCandidates, TriesNamesAsCreateProcessWDoes) {
  const struct {
    std::string commandLine;
    std::vector<std::string> candidates;
  } cases[] = {
      {"prog", {"prog"}},
      {"prog /x", {"prog", "prog /x"}},
      {"\"C:\\Program Files\\a.exe\" /x", {"C:\\Program Files\\a.exe"}},
      {"\"C:\\a b\\c.exe", {"C:\\a b\\c.exe"}},
      {"\"\" x", {""}},
      {"C:\\Program Files\\a.exe /x",
       {"C:\\Program", "C:\\Program Files\\a.exe", "C:\\Program Files\\a.exe /x"}},
      {"a\tb", {"a", "a\tb"}},
      {"a  b", {"a", "a ", "a  b"}},
      {"x\"y z\"", {"x\"y", "x\"y z\""}},
      {"", {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ProgramCandidates(c.commandLine), c.candidates) << c.commandLine;
  }
}

// The program a reader means, and whether its path holds a blank without
// quotation marks: by a later extension, or by later words that carry on a
// path when the first word has no extension.
TEST(FindRunProgram, TakesTheProgramTheWriterMeant) {
  const struct {
    std::string commandLine;
    std::string path;
    bool unquotedWithSpace;
    bool addsExe;
  } cases[] = {
      {"C:\\app\\a.exe /x", "C:\\app\\a.exe", false, false},
      {"\"C:\\Program Files\\a.exe\" /x", "C:\\Program Files\\a.exe", false, false},
      {"\"C:\\v1.2\\prog\"", "C:\\v1.2\\prog", false, true},
      {"C:\\Program Files\\PexaMenu\\PexaMenu.exe /updated",
       "C:\\Program Files\\PexaMenu\\PexaMenu.exe", true, false},
      {"C:\\Program Files\\PexaMenu\\PexaMenu /updated", "C:\\Program Files\\PexaMenu\\PexaMenu",
       true, true},
      {"C:\\Program Files\\My App\\PexaMenu -x", "C:\\Program Files\\My App\\PexaMenu", true, true},
      {"C:\\Program Files\\PexaMenu\\PexaMenu", "C:\\Program Files\\PexaMenu\\PexaMenu", true, true},
      {"C:\\app\\tool C:\\data\\x.txt", "C:\\app\\tool", false, true},
      // A later extension after a switch or a path of its own is an argument's.
      {"cmd /c C:\\App\\post.cmd", "cmd", false, true},
      {"cmd /c start setup.exe", "cmd", false, true},
      {"C:\\app\\tool -x D:\\b.exe", "C:\\app\\tool", false, true},
      {"C:\\Pexa Menu.exe /x", "C:\\Pexa Menu.exe", true, false},
      {"C:\\app\\tool \\\\server\\x", "C:\\app\\tool", false, true},
      {"C:\\app\\tool /x:a\\b", "C:\\app\\tool", false, true},
      {"C:\\app\\tool.bin data\\x", "C:\\app\\tool.bin", false, false},
      {"C:\\v1.2\\prog", "C:\\v1.2\\prog", false, true},
      {"tool data\\x", "tool", false, true},
      {" C:\\Program Files\\a.exe", "", false, false},
      {"", "", false, true},
  };
  for (const auto& c : cases) {
    const RunProgram program = FindRunProgram(c.commandLine);
    EXPECT_EQ(program.Path, c.path) << c.commandLine;
    EXPECT_EQ(program.UnquotedWithSpace, c.unquotedWithSpace) << c.commandLine;
    EXPECT_EQ(program.AddsExe, c.addsExe) << c.commandLine;
  }
}

// The updater's own refusals first (a NUL, a line past its buffer), then
// what CreateProcessW finds no program in.
TEST(WhyNothingStarts, TellsEachCommandLineNothingStartsFor) {
  using std::string_literals::operator""s;
  const struct {
    std::string commandLine;
    RunRefusal refusal;
  } cases[] = {
      {"C:\\app\\a.exe", RunRefusal::None},
      {"\"C:\\app\\a.exe\" /x", RunRefusal::None},
      {std::string(255, 'x'), RunRefusal::None},
      {std::string(256, 'x'), RunRefusal::TooLong},
      {"a\0b"s, RunRefusal::NulByte},
      {" " + std::string(300, 'x') + "\0"s, RunRefusal::NulByte},
      {" " + std::string(300, 'x'), RunRefusal::TooLong},
      {"", RunRefusal::Empty},
      {" a.exe", RunRefusal::LeadingBlank},
      {"\ta.exe", RunRefusal::LeadingBlank},
      {"a.exe ", RunRefusal::None},
      {"C:\\app\\a.exe\" /x", RunRefusal::QuoteInName},
      {"x\"y z\"", RunRefusal::QuoteInName},
      {"C:\\Program Files\\a.exe\" /x", RunRefusal::None},
      {"a.exe \"b c\"", RunRefusal::None},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WhyNothingStarts(c.commandLine), c.refusal) << c.commandLine.substr(0, 20);
    EXPECT_EQ(RefusalReason(c.refusal, c.commandLine).empty(), c.refusal == RunRefusal::None)
        << c.commandLine.substr(0, 20);
  }
}

}  // namespace
