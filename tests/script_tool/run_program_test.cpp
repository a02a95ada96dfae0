#include "script_tool/run_program.h"

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

}  // namespace
