#include "exec/command_runner.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/scoped_handle.h"
#include "script/widen_text.h"
#include "support/test_files.h"
#include "ui/progress_window.h"
#include "ui/test_window.h"

namespace {

using Events = std::vector<std::wstring>;

// Everything the window's controls receive, in order, plus what the fake
// executor and the test's answer to a message box add. The controls record
// on the main thread and the executor on the worker; the sends between them
// are synchronous, but the lock keeps that from being an assumption.
std::mutex eventsLock;
Events events;

void Record(std::wstring event) {
  const std::lock_guard<std::mutex> hold(eventsLock);
  events.push_back(std::move(event));
}

struct Recorded {
  HWND control;
  const wchar_t* name;
  WNDPROC original;
};
std::vector<Recorded> recorded;

LRESULT CALLBACK RecordingProc(HWND window, UINT message, WPARAM wParam,
                               LPARAM lParam) {
  for (const Recorded& r : recorded) {
    if (r.control != window) continue;
    if (message == WM_SETTEXT) {
      const auto* text = reinterpret_cast<const wchar_t*>(lParam);
      Record(std::wstring(r.name) + L": " + (text ? text : L"(null)"));
    } else if (message == PBM_SETPOS && window == ProgressBar) {
      Record(std::wstring(r.name) + L": " + std::to_wstring(wParam));
    }
    return CallWindowProcW(r.original, window, message, wParam, lParam);
  }
  return 0;
}

// Subclasses all six controls of the current window, so that an update aimed
// at the wrong one shows too, and starts a fresh record. A control is
// subclassed once however many runs it records.
void RecordControls() {
  const std::pair<HWND, const wchar_t*> controls[] = {
      {TitleLabel, L"Title"},       {StatusLabel, L"Status"},
      {PercentSignLabel, L"Sign"},  {PercentLabel, L"Percent"},
      {LogoImage, L"Logo"},         {ProgressBar, L"Bar"}};
  for (const auto& [control, name] : controls) {
    if (GetWindowLongPtrW(control, GWLP_WNDPROC) ==
        reinterpret_cast<LONG_PTR>(RecordingProc)) {
      continue;
    }
    // Entries of an earlier window are never looked up again: its controls
    // are gone. The entry goes in before the procedure can be called.
    recorded.push_back({control, name, nullptr});
    recorded.back().original = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingProc)));
  }
  const std::lock_guard<std::mutex> hold(eventsLock);
  events.clear();
}

BOOL CALLBACK FindVisibleDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

struct MessageBoxParts {
  std::wstring message;
  int buttons = 0;
};

BOOL CALLBACK ReadMessageBoxPart(HWND child, LPARAM into) {
  auto& parts = *reinterpret_cast<MessageBoxParts*>(into);
  wchar_t name[16] = {};
  GetClassNameW(child, name, 16);
  wchar_t text[1024] = {};
  GetWindowTextW(child, text, 1024);
  if (lstrcmpiW(name, L"Button") == 0) ++parts.buttons;
  if (lstrcmpiW(name, L"Static") == 0 && text[0] != L'\0') parts.message = text;
  return TRUE;
}

// The message box the worker shows, if one is open: a dialog of the worker's.
HWND FindMessageBox(DWORD workerThread) {
  HWND box = nullptr;
  EnumThreadWindows(workerThread, FindVisibleDialog,
                    reinterpret_cast<LPARAM>(&box));
  return box;
}

// "Box: caption | message | buttons", read from the live dialog. Its message
// is the one static control with text (the icon's static has none).
std::wstring DescribeMessageBox(HWND box) {
  MessageBoxParts parts;
  EnumChildWindows(box, ReadMessageBoxPart, reinterpret_cast<LPARAM>(&parts));
  wchar_t caption[256] = {};
  GetWindowTextW(box, caption, 256);
  return std::wstring(L"Box: ") + caption + L" | " + parts.message + L" | " +
         std::to_wstring(parts.buttons) + L" button(s)";
}

struct RunRequest {
  std::vector<FileCommand> commands;
  const CommandExecutor* execute;  // nullptr: the real RunCommands
};

DWORD WINAPI RunOnWorker(void* parameter) {
  auto* request = static_cast<RunRequest*>(parameter);
  if (request->execute == nullptr) {
    RunCommands(std::move(request->commands));
  } else {
    RunCommandsWith(std::move(request->commands), *request->execute);
  }
  return 0;
}

// Runs the commands on a worker thread against the live window while this
// thread pumps its messages, as the program's main thread does. A message box
// is read, recorded and answered with OK. Gives what the controls received.
Events RunAndRecord(std::vector<FileCommand> commands,
                    const CommandExecutor* execute = nullptr) {
  RecordControls();
  RunRequest request{std::move(commands), execute};
  DWORD workerThread = 0;
  const ScopedHandle worker(
      CreateThread(nullptr, 0, RunOnWorker, &request, 0, &workerThread));
  if (!worker.IsValid()) {
    ADD_FAILURE() << "CreateThread failed";
    return {};
  }
  // A guard against a hung run only; no test depends on how long a run takes.
  constexpr DWORD kGiveUpAfterMs = 60000;
  const DWORD started = GetTickCount();
  HWND answered = nullptr;
  const HANDLE waitFor = worker.Get();
  while (MsgWaitForMultipleObjects(1, &waitFor, FALSE, 20, QS_ALLINPUT) !=
         WAIT_OBJECT_0) {
    PumpWaitingMessages();
    const HWND box = FindMessageBox(workerThread);
    if (box != nullptr && box != answered) {
      Record(DescribeMessageBox(box));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      answered = box;
    }
    if (GetTickCount() - started > kGiveUpAfterMs) {
      ADD_FAILURE() << "the run did not end";
      TerminateThread(worker.Get(), 1);
      break;
    }
  }
  PumpWaitingMessages();
  const std::lock_guard<std::mutex> hold(eventsLock);
  return events;
}

// What the controls receive before the Copy of `source` runs.
void ExpectCopyShown(Events& expected, const std::wstring& source,
                     int percentage) {
  expected.push_back(L"Status: " + source);
  expected.push_back(L"Percent: " + std::to_wstring(percentage));
  expected.push_back(L"Bar: " + std::to_wstring(percentage));
}

// A fake execution step: records each command and gives the results in turn
// (0 once they run out).
CommandExecutor Executor(std::vector<std::int32_t> results = {}) {
  return [results, next = std::size_t{0}](const FileCommand& command) mutable {
    Record(L"Execute: " +
           (command.Arguments.empty() ? L"" : WidenText(command.Arguments[0])));
    return next < results.size() ? results[next++] : 0;
  };
}

std::vector<FileCommand> Copies(int count) {
  std::vector<FileCommand> commands;
  for (int i = 0; i < count; ++i) {
    commands.emplace_back("COP src" + std::to_string(i) + " dst" +
                          std::to_string(i));
  }
  return commands;
}

// One window for all runs.
class RunCommandsTest : public SharedWindowTest {};

// 0, step, 2 step, ... up to 100, then 100 for each further command.
std::vector<int> Rising(int count, int step) {
  std::vector<int> shown;
  for (int i = 0; i < count; ++i) shown.push_back(std::min(i * step, 100));
  return shown;
}

TEST_F(RunCommandsTest, ShowsEachPercentageBeforeItsCommand) {
  // From the command at which the number reaches 100 on, it and the bar are
  // left alone: another "100" would change nothing on the screen.
  const struct {
    const char* name;
    int count;
    std::vector<int> shown;
  } cases[] = {
      {"no command", 0, {}},
      {"one command", 1, {0}},
      {"three commands", 3, {0, 34, 68}},
      {"ten commands", 10, {0, 11, 22, 33, 44, 55, 66, 77, 88, 99}},
      {"60 commands: step 2, 100 before the 51st", 60, Rising(60, 2)},
      {"150 commands: step 1, 100 before the 101st", 150, Rising(150, 1)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Events expected;
    for (std::size_t i = 0; i < c.shown.size(); ++i) {
      const std::wstring source = L"src" + std::to_wstring(i);
      if (i > 0 && c.shown[i] == c.shown[i - 1]) {
        expected.push_back(L"Status: " + source);
      } else {
        ExpectCopyShown(expected, source, c.shown[i]);
      }
      expected.push_back(L"Execute: " + source);
    }
    const CommandExecutor execute = Executor();
    EXPECT_EQ(RunAndRecord(Copies(c.count), &execute), expected);
  }
}

TEST_F(RunCommandsTest, LabelsAndReportsEachKind) {
  const std::wstring failed = L"Copy failed, error code: ";
  const struct {
    const char* name;
    std::vector<FileCommand> commands;
    std::vector<std::int32_t> results;
    Events expected;
  } cases[] = {
      {"a Run first keeps the title it sets",
       {FileCommand("RUN \"C:\\app\\pexa.exe\" /update"),
        FileCommand("COP a.txt b.txt")},
       {},
       {L"Status: Done", L"Title: Ready, Starting...", L"Percent: 0",
        L"Bar: 0", L"Execute: \"C:\\app\\pexa.exe\" /update", L"Status: a.txt",
        L"Percent: 51", L"Bar: 51", L"Execute: a.txt"}},
      {"an unknown keyword is labelled like a Run",
       {FileCommand("DEL a.txt")},
       {},
       {L"Status: Done", L"Title: Ready, Starting...", L"Percent: 0",
        L"Bar: 0", L"Execute: a.txt"}},
      {"a text the status line already shows is not sent again",
       {FileCommand("COP a.txt b.txt"), FileCommand("COP a.txt c.txt"),
        FileCommand("RUN x.exe"), FileCommand("RUN y.exe"),
        FileCommand("COP Done d.txt"), FileCommand("COP a.txt e.txt")},
       {},
       {L"Status: a.txt", L"Percent: 0", L"Bar: 0", L"Execute: a.txt",
        L"Percent: 17", L"Bar: 17", L"Execute: a.txt",
        L"Status: Done", L"Title: Ready, Starting...", L"Percent: 34",
        L"Bar: 34", L"Execute: x.exe",
        L"Percent: 51", L"Bar: 51", L"Execute: y.exe",
        L"Percent: 68", L"Bar: 68", L"Execute: Done",
        L"Status: a.txt", L"Percent: 85", L"Bar: 85", L"Execute: a.txt"}},
      {"a failure stops the run after its message",
       {FileCommand("COP a.txt b.txt"), FileCommand("COP c.txt d.txt"),
        FileCommand("COP e.txt f.txt")},
       {0, 32},
       {L"Status: a.txt", L"Percent: 0", L"Bar: 0", L"Execute: a.txt",
        L"Status: c.txt", L"Percent: 34", L"Bar: 34", L"Execute: c.txt",
        L"Box: Command failed | " + failed + L"32 command: c.txt | 1 button(s)"}},
      {"an error code with its top bit set is negative",
       {FileCommand("COP a.txt b.txt")},
       {static_cast<std::int32_t>(0x80070005u)},
       {L"Status: a.txt", L"Percent: 0", L"Bar: 0", L"Execute: a.txt",
        L"Box: Command failed | " + failed +
            L"-2147024891 command: a.txt | 1 button(s)"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const CommandExecutor execute = Executor(c.results);
    EXPECT_EQ(RunAndRecord(c.commands, &execute), c.expected);
  }
}

// Updates that would change nothing are left out; what the window shows
// before each command must be what sending every update would have made it
// show. Read back from the live controls while each command "runs".
TEST_F(RunCommandsTest, ShowsWhatSendingEveryUpdateWouldShow) {
  const std::wstring updating = L"Updating PexaMenu, Please wait...";
  SetWindowTextW(TitleLabel, updating.c_str());
  // 130 commands (step 1, so 100 repeats at the end), with a run of equal
  // sources, Runs and a stray keyword in between, and a copy whose source
  // reads "Done".
  std::vector<FileCommand> commands;
  for (int i = 0; i < 130; ++i) {
    if (i % 7 == 3) {
      commands.emplace_back("RUN prog" + std::to_string(i % 2) + ".exe");
    } else if (i % 13 == 6) {
      commands.emplace_back("XYZ stray line");
    } else if (i == 11) {
      commands.emplace_back("COP Done target.txt");
    } else {
      commands.emplace_back("COP src" + std::to_string(i / 4) + " dst" + std::to_string(i));
    }
  }

  // With every update sent, before command i the title reads "Ready,
  // Starting..." once any command up to i was not a Copy; the status line
  // holds i's source or "Done"; number and bar hold the i-th percentage.
  std::vector<std::wstring> expected;
  std::wstring title = updating;
  const std::vector<int> percentages = Rising(130, 1);
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const bool copy = commands[i].Kind == CommandKind::Copy;
    if (!copy) title = L"Ready, Starting...";
    const std::wstring percent = std::to_wstring(percentages[i]);
    expected.push_back(title + L" | " +
                       (copy ? WidenText(commands[i].Arguments[0]) : L"Done") + L" | " +
                       percent + L" | " + percent);
  }

  // The executor runs on the worker; reading a control sends to the window's
  // thread, which RunAndRecord keeps pumping.
  std::vector<std::wstring> shown;
  const CommandExecutor readBack = [&shown](const FileCommand&) {
    wchar_t title[128] = {}, status[128] = {}, percent[16] = {};
    GetWindowTextW(TitleLabel, title, 128);
    GetWindowTextW(StatusLabel, status, 128);
    GetWindowTextW(PercentLabel, percent, 16);
    const LRESULT bar = SendMessageW(ProgressBar, PBM_GETPOS, 0, 0);
    shown.push_back(std::wstring(title) + L" | " + status + L" | " + percent + L" | " +
                    std::to_wstring(bar));
    return std::int32_t{0};
  };
  RunAndRecord(std::move(commands), &readBack);
  ASSERT_EQ(shown.size(), expected.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i], expected[i]) << "before command " << i;
  }
}

// The real execution step from here on: real files, a real message box.

TEST_F(RunCommandsTest, StopsAtACopyThatWindowsRefuses) {
  TempFolder folder;
  std::wstring source[3], target[3];
  std::vector<FileCommand> commands;
  for (int i = 0; i < 3; ++i) {
    source[i] = folder.File(L"new" + std::to_wstring(i) + L".txt");
    target[i] = folder.File(L"old" + std::to_wstring(i) + L".txt");
    WriteBytes(source[i], "new " + std::to_string(i));
    commands.emplace_back("COP " + Narrow(source[i]) + "\t" + Narrow(target[i]));
  }
  // A read-only target cannot be replaced: ERROR_ACCESS_DENIED (5).
  WriteBytes(target[1], "old 1");
  SetReadOnly(target[1], true);

  Events expected;
  ExpectCopyShown(expected, source[0], 0);
  ExpectCopyShown(expected, source[1], 34);
  expected.push_back(L"Box: Command failed | Copy failed, error code: 5 command: " +
                     source[1] + L" | 1 button(s)");
  EXPECT_EQ(RunAndRecord(std::move(commands)), expected);
  EXPECT_EQ(ReadBytes(target[0]), "new 0");
  EXPECT_EQ(ReadBytes(target[1]), "old 1");
  EXPECT_FALSE(FileExists(target[2])) << "the third copy ran";
}

TEST_F(RunCommandsTest, PassesOverARunThatCannotStart) {
  TempFolder folder;
  const std::wstring source = folder.File(L"new.txt");
  const std::wstring target = folder.File(L"old.txt");
  WriteBytes(source, "new");
  std::vector<FileCommand> commands;
  commands.emplace_back("RUN " + Narrow(folder.File(L"missing.exe")));
  commands.emplace_back("COP " + Narrow(source) + "\t" + Narrow(target));

  Events expected = {L"Status: Done", L"Title: Ready, Starting...",
                     L"Percent: 0", L"Bar: 0"};
  ExpectCopyShown(expected, source, 51);
  EXPECT_EQ(RunAndRecord(std::move(commands)), expected);
  EXPECT_EQ(ReadBytes(target), "new");
}

TEST_F(RunCommandsTest, ReportsACopyWithoutArgumentsWithoutReadingOne) {
  // "COP" without a separator gives a Copy with no arguments; the checks stop
  // it before any run, but the runner must survive one all the same.
  std::vector<FileCommand> commands;
  commands.emplace_back("COP");
  const Events expected = {
      L"Status: ", L"Percent: 0", L"Bar: 0",
      L"Box: Command failed | Copy failed, error code: " +
          std::to_wstring(ERROR_BAD_ARGUMENTS) + L" command:  | 1 button(s)"};
  EXPECT_EQ(RunAndRecord(std::move(commands)), expected);
}

}  // namespace
