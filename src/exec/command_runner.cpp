#include "exec/command_runner.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>

#include "exec/progress_steps.h"
#include "script/widen_text.h"
#include "ui/progress_window.h"

namespace {

// A Copy's source, a Run's command line. The checks stop a Copy without
// arguments before the run, but the runner must not rely on that: such a
// command shows and reports an empty text.
std::wstring FirstArgument(const FileCommand& command) {
  return command.Arguments.empty() ? std::wstring()
                                   : WidenText(command.Arguments[0]);
}

// Whatever the kind, the text is the same: only a copy can fail in practice.
void ReportFailure(const FileCommand& command, std::int32_t result) {
  const std::wstring message = L"Copy failed, error code: " +
                               DecimalText(result) + L" command: " +
                               FirstArgument(command);
  MessageBoxW(ProgressWindow, message.c_str(), L"Command failed", MB_OK);
}

// Before a command runs: what it works on, then the percentage reached.
void ShowProgress(const FileCommand& command, std::int32_t percentage) {
  if (command.Kind == CommandKind::Copy) {
    SetWindowTextW(StatusLabel, FirstArgument(command).c_str());
  } else {
    // The title keeps this text for the rest of the run, while later copies
    // show their sources on the status line.
    SetWindowTextW(StatusLabel, L"Done");
    SetWindowTextW(TitleLabel, L"Ready, Starting...");
  }
  SetWindowTextW(PercentLabel, DecimalText(percentage).c_str());
  SendMessageW(ProgressBar, PBM_SETPOS, static_cast<WPARAM>(percentage), 0);
}

std::int32_t ExecuteCommand(const FileCommand& command) {
  switch (command.Kind) {
    case CommandKind::Copy:
      return command.ExecuteCopy();
    case CommandKind::Run:
      return command.ExecuteRun();
    default:
      return 0;
  }
}

}  // namespace

void RunCommands(std::vector<FileCommand> commands) {
  RunCommandsWith(std::move(commands), ExecuteCommand);
}

void RunCommandsWith(std::vector<FileCommand> commands,
                     const CommandExecutor& execute) {
  if (commands.empty()) return;  // no control is touched
  const std::uint32_t step = ProgressStep(commands.size());
  std::int32_t percentage = 0;
  for (const FileCommand& command : commands) {
    ShowProgress(command, percentage);
    const std::int32_t result = execute(command);
    if (result != 0) {
      ReportFailure(command, result);
      return;
    }
    // The value after the last command is never shown.
    percentage = AdvancePercentage(percentage, step);
  }
}
