#include "exec/command_runner.h"

#include <optional>
#include <string>
#include <utility>

#include "app/update_messages.h"
#include "exec/execute_copy.h"
#include "exec/execute_run.h"
#include "script/progress.h"
#include "script/widen_text.h"

namespace {

// A Copy's source, a Run's command line. The checks stop a Copy without
// arguments before the run, but the runner must not rely on that: such a
// command shows and reports an empty text.
std::wstring FirstArgument(const FileCommand& command) {
  return command.Arguments.empty() ? std::wstring()
                                   : WidenText(command.Arguments[0]);
}

// Whatever the kind, the text is the same: only a copy can fail in practice.
void ReportFailure(const FileCommand& command, std::int32_t result,
                   ProgressDisplay& display) {
  display.ReportFailure(kCommandFailedCaption,
                        CommandFailedMessage(result, FirstArgument(command)));
}

// What this run last put into the controls. An update that would leave a
// control showing what it already shows is not sent: each one is a
// synchronous send to the window's thread, which under Wine costs a good part
// of what copying a small file does (bench/RESULTS.md), and in a long script
// the number stays the same over several commands. Each
// control's first update in a run is always sent: the runner assumes nothing
// about what the controls showed before it started.
struct ShownProgress {
  ProgressDisplay& display;
  std::optional<std::wstring> status;
  bool readyTitle = false;
  std::optional<std::int32_t> percentage;
};

void ShowStatus(ShownProgress& shown, std::wstring text) {
  if (shown.status == text) return;
  shown.display.ShowStatus(text);
  shown.status = std::move(text);
}

void ShowPercentage(ShownProgress& shown, std::int32_t percentage) {
  if (shown.percentage == percentage) return;
  shown.display.ShowPercentage(DecimalText(percentage));
  shown.display.ShowBar(percentage);
  shown.percentage = percentage;
}

// Before a command runs: what it works on, then the percentage reached.
void ShowProgress(const FileCommand& command, std::int32_t percentage,
                  ShownProgress& shown) {
  ShowStatus(shown, command.Kind == CommandKind::Copy ? FirstArgument(command)
                                                      : std::wstring(kDoneStatus));
  // The title keeps this text for the rest of the run, while later copies
  // show their sources on the status line. print tells each row's title by
  // the same rule.
  if (TurnsTitleReady(command.Kind) && !shown.readyTitle) {
    shown.display.ShowTitle(kReadyTitle);
    shown.readyTitle = true;
  }
  ShowPercentage(shown, percentage);
}

std::int32_t ExecuteCommand(const FileCommand& command) {
  switch (command.Kind) {
    case CommandKind::Copy:
      return ExecuteCopy(command);
    case CommandKind::Run:
      return ExecuteRun(command);
    default:
      return 0;
  }
}

}  // namespace

void RunCommands(std::vector<FileCommand> commands, ProgressDisplay& display) {
  RunCommandsWith(std::move(commands), display, ExecuteCommand);
}

void RunCommandsWith(std::vector<FileCommand> commands, ProgressDisplay& display,
                     const CommandExecutor& execute) {
  if (commands.empty()) return;  // no control is touched
  ShownProgress shown{display, std::nullopt, false, std::nullopt};
  std::size_t succeeded = 0;
  for (const FileCommand& command : commands) {
    ShowProgress(command, PercentageAfter(succeeded, commands.size()), shown);
    const std::int32_t result = execute(command);
    if (result != 0) {
      // The number and the bar stay where they were before this command.
      ReportFailure(command, result, display);
      return;
    }
    ++succeeded;
  }
  // The last command done: the bar is full, and only now.
  ShowPercentage(shown, kFullPercentage);
}
