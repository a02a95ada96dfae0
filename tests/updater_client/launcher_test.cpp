// The launcher under Wine: the exact command line the started program gets,
// and the script paths it refuses to pass on.
#include "updater_client/updater_client.h"

#include <gtest/gtest.h>

#include <string>

#include "app/command_line.h"
#include "support/command_line_recorder.h"
#include "support/peer_process.h"
#include "support/test_files.h"

using devidudi::LaunchUpdater;

namespace {

// The updater takes its script path from its command line by its own rule
// (ArgumentText); whatever the launcher writes, that rule must give the
// script path back exactly.
TEST(LaunchUpdater, StartsTheProgramSoThatTheUpdaterReadsBackTheScriptPath) {
  const std::wstring program = HelperPath(L"record_command_line.exe");
  const std::wstring scripts[] = {
      L"C:\\Program Files\\PexaMenu\\update.txt",
      L"C:\\a  b\\caf\u00E9 \u4E2D.txt ",  // inner and trailing blanks, any Unicode
      L"upd.txt\"",                        // a quote after the start is kept too
  };
  for (const std::wstring& script : scripts) {
    CommandLineRecorder recorder;
    const devidudi::LaunchResult launched = LaunchUpdater(program, script);
    ASSERT_EQ(launched.Error, static_cast<DWORD>(ERROR_SUCCESS)) << script;
    EXPECT_TRUE(launched.Process.IsValid()) << script;
    EXPECT_EQ(GetProcessId(launched.Process.Get()), launched.ProcessId) << script;
    const std::wstring recorded = recorder.Recorded();
    EXPECT_EQ(std::wstring(ArgumentText(recorded.c_str())), script) << recorded;
    EXPECT_EQ(WaitForSingleObject(launched.Process.Get(), kPeerWaitMs), WAIT_OBJECT_0) << script;
  }
}

TEST(LaunchUpdater, RefusesWhatWouldReachTheUpdaterChanged) {
  const std::wstring program = HelperPath(L"record_command_line.exe");
  const struct {
    const char* row;
    std::wstring program, script;
    DWORD error;
  } cases[] = {
      {"empty script path", program, L"", ERROR_BAD_PATHNAME},
      {"leading space", program, L" C:\\u.txt", ERROR_BAD_PATHNAME},
      {"leading TAB", program, L"\tC:\\u.txt", ERROR_BAD_PATHNAME},
      {"leading U+0001", program,
       L"\x01"
       L"C:\\u.txt",
       ERROR_BAD_PATHNAME},
      {"leading quote", program, L"\"C:\\u.txt\"", ERROR_BAD_PATHNAME},
      {"NUL inside", program, std::wstring(L"C:\\u\0.txt", 9), ERROR_BAD_PATHNAME},
      {"quote in the program path", L"C:\\a\"b.exe", L"C:\\u.txt", ERROR_BAD_PATHNAME},
      {"empty program path", L"", L"C:\\u.txt", ERROR_BAD_PATHNAME},
      {"no such program", ProgramFolder() + L"\\missing.exe", L"C:\\u.txt", ERROR_FILE_NOT_FOUND},
  };
  CommandLineRecorder recorder;
  for (const auto& c : cases) {
    const devidudi::LaunchResult launched = LaunchUpdater(c.program, c.script);
    EXPECT_EQ(launched.Error, c.error) << c.row;
    EXPECT_FALSE(launched.Process.IsValid()) << c.row;
  }
  EXPECT_FALSE(recorder.AnythingRecorded());
}

}  // namespace
