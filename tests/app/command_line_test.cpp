#include "app/command_line.h"

#include <gtest/gtest.h>

#include <string>

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

}  // namespace
