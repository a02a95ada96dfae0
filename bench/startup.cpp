// Start-up: from CreateProcessW until the program's window is shown, for
// devidudi.exe and for a program that only shows an empty window, in turn.

#include <windows.h>

#include <cstdio>
#include <string>

#include "bench_clock.h"
#include "bench_modes.h"
#include "platform/scoped_handle.h"

namespace {

constexpr int kWarmUpStarts = 2;
constexpr double kGiveUpAfterSeconds = 30;

struct Program {
  const char* name;
  std::wstring commandLine;
  const wchar_t* windowClass;
};

struct WindowSearch {
  const wchar_t* windowClass;
  DWORD processId;
  bool found;
};

BOOL CALLBACK FindShownWindow(HWND window, LPARAM parameter) {
  auto* search = reinterpret_cast<WindowSearch*>(parameter);
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search->processId || !IsWindowVisible(window)) return TRUE;
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  if (lstrcmpW(name, search->windowClass) != 0) return TRUE;
  search->found = true;
  return FALSE;
}

// A visible window of that class which belongs to the process. EnumWindows
// works on a snapshot of the windows, so windows that come and go while it
// runs cannot make it loop.
bool WindowShown(const wchar_t* windowClass, DWORD processId) {
  WindowSearch search{windowClass, processId, false};
  EnumWindows(FindShownWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

struct StartTimes {
  double shown = -1;  // the window became visible
  double ready = -1;  // the program first waited for input, its window shown
};

StartTimes TimeStart(const Program& program) {
  std::wstring commandLine = program.commandLine;  // CreateProcessW may write to it
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  StartTimes times;
  const double started = Seconds();
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return times;
  }
  const ScopedHandle thread(process.hThread);
  const ScopedHandle child(process.hProcess);
  // Polled every millisecond: a tighter loop would take a processor from the
  // program being started.
  while (Seconds() - started < kGiveUpAfterSeconds) {
    if (WindowShown(program.windowClass, process.dwProcessId)) {
      times.shown = Seconds() - started;
      break;
    }
    if (WaitForSingleObject(child.Get(), 1) != WAIT_TIMEOUT) break;
  }
  if (times.shown >= 0 && WaitForInputIdle(child.Get(), 10000) == 0) {
    times.ready = Seconds() - started;
  }
  // Measured only up to the window; the update itself is not wanted here.
  TerminateProcess(child.Get(), 0);
  WaitForSingleObject(child.Get(), INFINITE);
  return times;
}

}  // namespace

int MeasureStartup(const std::wstring& updaterPath, const std::wstring& emptyPath,
                   const std::wstring& scriptPath, int runs) {
  // The raw rest of the command line is the script path, unquoted.
  const Program programs[] = {
      {"empty", L"\"" + emptyPath + L"\"", L"DeviDudiBenchEmptyWindow"},
      {"devidudi", L"\"" + updaterPath + L"\" " + scriptPath, L"DEVIDUDI"},
  };
  for (int run = -kWarmUpStarts; run < runs; ++run) {
    for (const Program& program : programs) {
      const StartTimes times = TimeStart(program);
      // On a prefix just made, Wine's first window waits for the desktop
      // and the fonts to be set up: a start not timed may take longer.
      if (run < 0) continue;
      if (times.shown < 0 || times.ready < 0) {
        std::fprintf(stderr, "%s: no window was shown\n", program.name);
        return 1;
      }
      Report(std::string("startup.") + program.name, times.shown);
      Report(std::string("ready.") + program.name, times.ready);
    }
  }
  return 0;
}
