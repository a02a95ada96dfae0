#include <gtest/gtest.h>

#include "checks/busy_target.h"
#include "exec/execute_run.h"
#include "script/file_command.h"
#include "support/command_line_recorder.h"
#include "support/peer_process.h"
#include "support/test_files.h"

namespace {

FileCommand RunLine(const std::wstring& commandLine) {
  return FileCommand("RUN " + Narrow(commandLine));
}

std::wstring Padded(const std::wstring& commandLine, std::size_t length) {
  return commandLine + L" " + std::wstring(length - commandLine.size() - 1, L'p');
}

TEST(ExecuteRun, StartsTheCommandLineExactlyAsWritten) {
  CommandLineRecorder recorder;
  const std::wstring commandLine = recorder.Program() + L"  /a  \"b c\"\t'd' \u00E9 ";
  EXPECT_EQ(ExecuteRun(RunLine(commandLine)), 0);
  EXPECT_EQ(recorder.Recorded(), commandLine);
}

TEST(ExecuteRun, ACommandLineOf255UnitsStartsInFull) {
  CommandLineRecorder recorder;
  const std::wstring commandLine = Padded(recorder.Program(), 255);
  ASSERT_EQ(commandLine.size(), 255u);
  EXPECT_EQ(ExecuteRun(RunLine(commandLine)), 0);
  EXPECT_EQ(recorder.Recorded(), commandLine);
}

// A started program exists once CreateProcessW has returned, and its image
// stays in use until it is told to stop; so right after ExecuteRun, a free
// image proves that nothing was started, without waiting for anything.
TEST(ExecuteRun, LinesThatWouldBeCutShortStartNothing) {
  TempFolder folder;
  RunningProgram program(folder.File(L"app.exe"));
  const std::string image = Narrow(folder.File(L"app.exe"));
  {
    SCOPED_TRACE("256 code units");
    const std::wstring commandLine = Padded(program.CommandLine(), 256);
    EXPECT_EQ(ExecuteRun(RunLine(commandLine)), 0);
    EXPECT_TRUE(CanOpenExclusively(image));
  }
  {
    SCOPED_TRACE("a NUL byte");
    FileCommand run = RunLine(program.CommandLine());
    run.Arguments[0] += std::string(1, '\0') + " more";
    EXPECT_EQ(ExecuteRun(run), 0);
    EXPECT_TRUE(CanOpenExclusively(image));
  }
  EXPECT_FALSE(program.WaitUntilRunning(0));
}

TEST(ExecuteRun, ReturnsWhileTheStartedProgramRunsOn) {
  TempFolder folder;
  RunningProgram program(folder.File(L"PexaMenu.exe"));
  EXPECT_EQ(ExecuteRun(RunLine(program.CommandLine())), 0);
  // The program cannot end before it is told to stop, which has not happened.
  EXPECT_FALSE(CanOpenExclusively(Narrow(folder.File(L"PexaMenu.exe"))));
  EXPECT_TRUE(program.WaitUntilRunning());
}

TEST(ExecuteRun, AProgramThatCannotStartIsPassedOverSilently) {
  TempFolder folder;
  EXPECT_EQ(ExecuteRun(RunLine(L"\"" + folder.File(L"missing.exe") + L"\" /x")), 0);
  EXPECT_EQ(ExecuteRun(FileCommand("RUN ")), 0);
}

}  // namespace
