#include "app/command_line.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "app/exit_codes.h"

namespace {

TEST(ArgumentText, TheRawRestOfTheCommandLine) {
  const struct {
    const wchar_t* commandLine;
    const wchar_t* argument;
  } cases[] = {
      {L"", L""},
      {L"devidudi.exe", L""},
      {L"devidudi.exe   \t ", L""},
      {L"devidudi.exe C:\\upd.txt", L"C:\\upd.txt"},
      {L"devidudi.exe C:\\Pexa Menu\\upd list.txt", L"C:\\Pexa Menu\\upd list.txt"},
      {L"devidudi.exe \t C:\\upd.txt  ", L"C:\\upd.txt  "},
      {L"devidudi.exe \"C:\\upd.txt\"", L"\"C:\\upd.txt\""},
      {L"\"C:\\Program Files\\DD\\devidudi.exe\" C:\\upd.txt", L"C:\\upd.txt"},
      {L"C:\\\"Program Files\"\\devidudi.exe C:\\upd.txt", L"C:\\upd.txt"},
      {L"\"C:\\DD\\devidudi.exe\"C:\\upd.txt", L""},
      {L"\"C:\\never closed devidudi.exe C:\\upd.txt", L""},
      {L"devidudi.exe\x01\x1F C:\\upd.txt", L"C:\\upd.txt"},
      {L"devidudi.exe C:\\a\x01.txt", L"C:\\a\x01.txt"},
  };
  for (const auto& c : cases) {
    const wchar_t* const argument = ArgumentText(c.commandLine);
    EXPECT_EQ(std::wstring(argument), c.argument) << "command line: " << c.commandLine;
    EXPECT_GE(argument, c.commandLine) << "a pointer into the command line itself";
  }
}

// A caller that waits reads the code alone: each way of not starting has a
// code of its own, and none is the 0 of a run that was shown.
TEST(ExitCodes, EachWayOfNotStartingHasItsOwnCode) {
  const std::set<int> codes = {kExitNoArgument, kExitNothingAtPath, kExitWindowFailed,
                               kExitShown};
  EXPECT_EQ(codes.size(), 4u);
  EXPECT_EQ(kExitShown, 0) << "the window's quit message ends the program with 0";
  EXPECT_EQ(kExitWindowFailed, 101);
}

}  // namespace
