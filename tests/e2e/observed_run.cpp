#include "e2e/observed_run.h"

#include <algorithm>

#include "e2e/toolkit_run.h"
#include "support/test_files.h"

namespace {

// Bounded waits: reached only when something is broken.
constexpr DWORD kRunWaitMs = 90000;
constexpr DWORD kPollMs = 250;
// A box whose text could not be read yet (its modal loop had not started).
constexpr wchar_t kNoReply[] = L"(no reply)";

std::string DescribeDisplay(const std::optional<Display>& display) {
  if (!display) return "(no window)";
  return "title \"" + Utf8(display->title) + "\", status \"" + Utf8(display->status) +
         "\", percent \"" + Utf8(display->percent) + "\"";
}

}  // namespace

bool IsQuestion(const ShownMessage& message) {
  return std::find(message.buttons.begin(), message.buttons.end(), IDNO) != message.buttons.end();
}

ObservedRun ObserveUpdater(const Launch& launch, const std::wstring& scriptPath) {
  ObservedRun run;
  UpdaterProcess updater(launch, CallMatch{"DeleteFileW", 0, scriptPath});
  run.started = updater.Started();
  if (!run.started) {
    run.startError = updater.StartError();
    return run;
  }
  bool held = false;
  for (DWORD waited = 0; waited < kRunWaitMs; waited += kPollMs) {
    if (!held && updater.WaitUntilHeld(0)) {
      held = true;
      run.beforeDeletingScript = ReadDisplay(FindProgressWindow(updater.ProcessId()));
      updater.ReleaseHold();
    }
    if (WaitForSingleObject(updater.Handle(), 0) == WAIT_OBJECT_0) break;
    const std::optional<ShownMessage> message =
        WaitForMessage(updater.ProcessId(), updater.Handle(), kPollMs);
    if (!message || message->text == kNoReply) continue;
    run.messages.push_back(*message);
    run.displayAtMessage.push_back(ReadDisplay(FindProgressWindow(updater.ProcessId())));
    if (!Answer(*message, IsQuestion(*message) ? IDNO : IDOK)) break;
  }
  run.exitCode = updater.WaitForExit(kRunWaitMs);
  run.crashed = updater.Crashed();
  return run;
}

std::string Describe(const ObservedRun& run) {
  std::string text = "updater: started " + std::to_string(run.started) +
                     (run.started ? "" : " (error " + std::to_string(run.startError) + ")") +
                     ", exit " +
                     std::to_string(run.exitCode) + (run.crashed ? ", CRASHED" : "");
  for (std::size_t i = 0; i < run.messages.size(); ++i) {
    text += "\n  box \"" + Utf8(run.messages[i].caption) + "\": \"" + Utf8(run.messages[i].text) +
            "\" while " + DescribeDisplay(run.displayAtMessage[i]);
  }
  text += "\n  before deleting the script: " +
          (run.beforeDeletingScript ? DescribeDisplay(run.beforeDeletingScript)
                                    : std::string("(never got there)"));
  return text;
}
