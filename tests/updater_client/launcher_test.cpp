// The launcher under Wine: the exact command line the started program gets,
// and the script paths it refuses to pass on.
#include "updater_client/updater_client.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/peer_process.h"
#include "support/test_files.h"

using devidudi::LaunchUpdater;

namespace {

// record_command_line.exe stands in for the updater and writes down the
// command line it was started with; where to write comes through the
// environment, which the started program inherits.
class CommandLineRecorder {
 public:
  CommandLineRecorder() {
    SetEnvironmentVariableW(L"DEVIDUDI_RECORD_FILE", folder_.File(L"record.txt").c_str());
    SetEnvironmentVariableW(L"DEVIDUDI_RECORD_EVENT", recorded_.Name().c_str());
  }
  ~CommandLineRecorder() {
    SetEnvironmentVariableW(L"DEVIDUDI_RECORD_FILE", nullptr);
    SetEnvironmentVariableW(L"DEVIDUDI_RECORD_EVENT", nullptr);
  }

  std::wstring Recorded() {
    if (WaitForSingleObject(recorded_.Get(), kPeerWaitMs) != WAIT_OBJECT_0) return L"(nothing)";
    const std::string bytes = ReadBytes(folder_.File(L"record.txt"));
    std::wstring text(bytes.size() / 2, L'\0');
    std::memcpy(text.data(), bytes.data(), text.size() * 2);
    return text.substr(0, text.size() - 1);  // without the recorder's line feed
  }
  bool AnythingRecorded() const { return recorded_.IsSet(); }

 private:
  TempFolder folder_;
  NamedEvent recorded_;
};

TEST(LaunchUpdater, StartsTheProgramQuotedThenTheScriptPathAsItIs) {
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
    EXPECT_EQ(recorder.Recorded(), L"\"" + program + L"\" " + script) << script;
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
