// Apply throughput: the same files copied by the runner with its window, by
// a bare loop of the same system calls, by the display updates alone, and by
// Wine's xcopy.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/controls_display.h"
#include "bench_clock.h"
#include "bench_modes.h"
#include "bench_window.h"
#include "exec/command_runner.h"
#include "exec/whole_copy.h"
#include "platform/scoped_handle.h"
#include "script/file_command.h"
#include "ui/progress_window.h"

namespace {

struct FileSet {
  std::wstring sourceFolder;
  std::wstring targetFolder;
  std::vector<std::wstring> sources;
  std::vector<std::wstring> targets;
  std::vector<FileCommand> commands;
};

std::string Narrow(const std::wstring& wide) { return std::string(wide.begin(), wide.end()); }

std::wstring FileName(int index) {
  wchar_t name[32];
  std::swprintf(name, 32, L"\\f%05d.bin", index);
  return name;
}

// The sources are laid out by bench/run.py beforehand (and written to disk),
// so that writing them back does not slow the first method down.
bool MakeFileSet(const std::wstring& folder, int count, FileSet& set) {
  set.sourceFolder = folder + L"\\src";
  set.targetFolder = folder + L"\\dst";
  CreateDirectoryW(set.targetFolder.c_str(), nullptr);
  for (int i = 0; i < count; ++i) {
    set.sources.push_back(set.sourceFolder + FileName(i));
    set.targets.push_back(set.targetFolder + FileName(i));
    if (GetFileAttributesW(set.sources.back().c_str()) == INVALID_FILE_ATTRIBUTES) return false;
    set.commands.emplace_back("COP " + Narrow(set.sources.back()) + "\t" +
                              Narrow(set.targets.back()));
  }
  return true;
}

// Every target has the size and the last-write time of its source.
bool TargetsMatch(const FileSet& set) {
  for (std::size_t i = 0; i < set.sources.size(); ++i) {
    WIN32_FILE_ATTRIBUTE_DATA source{}, target{};
    if (!GetFileAttributesExW(set.sources[i].c_str(), GetFileExInfoStandard, &source) ||
        !GetFileAttributesExW(set.targets[i].c_str(), GetFileExInfoStandard, &target) ||
        source.nFileSizeLow != target.nFileSizeLow ||
        CompareFileTime(&source.ftLastWriteTime, &target.ftLastWriteTime) != 0) {
      return false;
    }
  }
  return true;
}

// Makes every target stale again, so that each method does the whole work.
void TouchTargets(const FileSet& set) {
  const FILETIME now = [] {
    FILETIME time;
    GetSystemTimeAsFileTime(&time);
    return time;
  }();
  for (const std::wstring& target : set.targets) {
    const ScopedHandle file(CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid()) SetFileTime(file.Get(), nullptr, nullptr, &now);
  }
}

struct RunnerWork {
  const std::vector<FileCommand>* commands;
  bool displayOnly;
  double seconds;
};

// On the worker: the list is handed over by value, as the update sequence
// hands the collection's list over.
void RunRunner(void* context) {
  auto* work = static_cast<RunnerWork*>(context);
  ControlsDisplay controls;
  const double started = Seconds();
  if (work->displayOnly) {
    RunCommandsWith(*work->commands, controls, [](const FileCommand&) { return std::int32_t{0}; });
  } else {
    RunCommands(*work->commands, controls);
  }
  work->seconds = Seconds() - started;
}

double TimeRunner(const FileSet& set, bool displayOnly) {
  RunnerWork work{&set.commands, displayOnly, 0};
  RunBesideWindow(RunRunner, &work);
  return work.seconds;
}

// (a) with the window hidden: the same sends to the same controls, but a
// hidden control is never repainted. What (a) takes beyond this is painting.
double TimeRunnerHidden(const FileSet& set) {
  ShowWindow(ProgressWindow, SW_HIDE);
  const double seconds = TimeRunner(set, false);
  ShowWindow(ProgressWindow, SW_SHOWNORMAL);
  UpdateWindow(ProgressWindow);
  return seconds;
}

struct BareLoopWork {
  const FileSet* set;
  double seconds;
};

// Gives the target the source's creation, last-access and last-write times
// after the bare loop's CopyFileW, which carries the last-write time alone, so
// that (b) does what the runner's copy does to the times. Silent, as a copy
// whose times could not be carried is still a copy: with the source held by
// another process (opened here with no sharing) the target keeps its times.
// FILE_WRITE_ATTRIBUTES alone is enough to set them, and sharing does not
// restrict it, so a target another process holds still gets them.
void CarryFileTimesOver(const std::wstring& source, const std::wstring& target) {
  const ScopedHandle from(CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  FILETIME created, accessed, written;
  const bool haveTimes =
      from.IsValid() && GetFileTime(from.Get(), &created, &accessed, &written);
  const ScopedHandle to(CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (haveTimes && to.IsValid()) SetFileTime(to.Get(), &created, &accessed, &written);
}

void RunBareLoop(void* context) {
  auto* work = static_cast<BareLoopWork*>(context);
  const FileSet& set = *work->set;
  const double started = Seconds();
  for (std::size_t i = 0; i < set.sources.size(); ++i) {
    if (CopyFileW(set.sources[i].c_str(), set.targets[i].c_str(), FALSE)) {
      CarryFileTimesOver(set.sources[i], set.targets[i]);
    }
  }
  work->seconds = Seconds() - started;
}

void RunWholeCopies(BareLoopWork& work, const CopyCalls& calls) {
  const FileSet& set = *work.set;
  const double started = Seconds();
  for (std::size_t i = 0; i < set.sources.size(); ++i) {
    ReplaceWithCopy(set.sources[i], set.targets[i], calls);
  }
  work.seconds = Seconds() - started;
}

// (b'): the copy the runner makes, through a temporary file renamed into the
// target's place, with the times; no runner, no window.
void RunWholeCopyLoop(void* context) {
  RunWholeCopies(*static_cast<BareLoopWork*>(context), CopyCalls{});
}

BOOL WINAPI NoFlush(HANDLE) { return TRUE; }

// (n): the same without the flush of each file's data before its rename,
// which is what the flush costs.
void RunUnflushedCopyLoop(void* context) {
  CopyCalls calls;
  calls.flushFileBuffers = NoFlush;
  RunWholeCopies(*static_cast<BareLoopWork*>(context), calls);
}

// On a worker too, as (a) runs, while the window's thread waits idle: the
// loops differ from (a) only by the runner and its display.
double TimeLoop(const FileSet& set, void (*loop)(void*)) {
  BareLoopWork work{&set, 0};
  RunBesideWindow(loop, &work);
  return work.seconds;
}

// Wine's xcopy copies with CopyFileW, which keeps the last-write time (as on
// Windows; checked after every run). /K keeps attributes, /R /H /Y take
// read-only, hidden and existing files without asking, /Q lists nothing.
double TimeXcopy(const FileSet& set) {
  std::wstring commandLine = L"xcopy.exe \"" + set.sourceFolder + L"\\*\" \"" +
                             set.targetFolder + L"\\\" /Y /Q /K /R /H";
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  const ScopedHandle nul(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                     0, nullptr));
  SetHandleInformation(nul.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  startup.hStdInput = startup.hStdOutput = startup.hStdError = nul.Get();
  PROCESS_INFORMATION process{};
  const double started = Seconds();
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    return -1;
  }
  const ScopedHandle thread(process.hThread);
  const ScopedHandle child(process.hProcess);
  WaitForSingleObject(child.Get(), INFINITE);
  const double seconds = Seconds() - started;
  DWORD exitCode = 1;
  GetExitCodeProcess(child.Get(), &exitCode);
  return exitCode == 0 ? seconds : -1;
}

}  // namespace

int MeasureThroughput(const std::wstring& folder, int count, int runs) {
  FileSet set;
  if (!MakeFileSet(folder, count, set)) {
    std::fprintf(stderr, "missing sources under %ls\n", folder.c_str());
    return 1;
  }
  if (!OpenProgressWindow()) {
    std::fprintf(stderr, "cannot create the progress window\n");
    return 1;
  }
  // Once untimed, so that every timed run replaces existing targets.
  TimeLoop(set, RunBareLoop);

  const char* const names[] = {"a", "b", "u", "c", "h", "b'", "n"};
  constexpr int kMethods = 7;
  for (int run = 0; run < runs; ++run) {
    // A different method goes first in each run.
    for (int turn = 0; turn < kMethods; ++turn) {
      const int method = (run + turn) % kMethods;
      TouchTargets(set);
      double seconds = 0;
      switch (method) {
        case 0: seconds = TimeRunner(set, false); break;
        case 1: seconds = TimeLoop(set, RunBareLoop); break;
        case 2: seconds = TimeRunner(set, true); break;
        case 3: seconds = TimeXcopy(set); break;
        case 4: seconds = TimeRunnerHidden(set); break;
        case 5: seconds = TimeLoop(set, RunWholeCopyLoop); break;
        case 6: seconds = TimeLoop(set, RunUnflushedCopyLoop); break;
      }
      if (method != 2 && !TargetsMatch(set)) {
        std::fprintf(stderr, "method %s left a target without its source's size or time\n",
                     names[method]);
        return 1;
      }
      Report(names[method], seconds);
    }
  }

  StartCountingUpdates();
  TimeRunner(set, true);
  const UpdateCounts counted = CountedUpdates();
  Report("updates.title", counted.title);
  Report("updates.status", counted.status);
  Report("updates.percent", counted.percent);
  Report("updates.bar", counted.bar);
  return 0;
}
