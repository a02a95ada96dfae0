// Scaling with the script's size: the steps of the update sequence, timed one
// by one, in a process of their own so that its peak working set is theirs.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <string>

#include "bench_clock.h"
#include "bench_modes.h"
#include "app/controls_display.h"
#include "bench_window.h"
#include "checks/blocked_target.h"
#include "checks/busy_target.h"
#include "checks/missing_source.h"
#include "exec/command_runner.h"
#include "script/file_command_collection.h"

namespace {

struct RunWork {
  const FileCommandCollection* collection;
  double seconds;
};

// As the update sequence does: the runner gets its own copy of the list.
void RunCollection(void* context) {
  auto* work = static_cast<RunWork*>(context);
  const double started = Seconds();
  ControlsDisplay controls;
  RunCommands(work->collection->Commands, controls);
  work->seconds = Seconds() - started;
}

double MegabytesOf(SIZE_T bytes) { return static_cast<double>(bytes) / (1024.0 * 1024.0); }

PROCESS_MEMORY_COUNTERS MemoryCounters() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
  return counters;
}

}  // namespace

int MeasureScaling(const std::wstring& scriptPath) {
  if (!OpenProgressWindow()) {
    std::fprintf(stderr, "cannot create the progress window\n");
    return 1;
  }
  // What the process holds before the script is touched: Wine, the runtime
  // and the window.
  Report("working_set_before_mib", MegabytesOf(MemoryCounters().WorkingSetSize));

  double started = Seconds();
  const FileCommandCollection collection(scriptPath.c_str());
  Report("load", Seconds() - started);
  Report("commands", static_cast<double>(collection.Commands.size()));

  // One pass of the three checks, each timed on its own as well.
  std::int32_t accessCode = 0;
  const double checksStarted = Seconds();
  started = checksStarted;
  bool passed = FindBusyTarget(collection.Commands).empty();
  Report("checks.busy", Seconds() - started);
  started = Seconds();
  passed = FindMissingSource(collection.Commands).empty() && passed;
  Report("checks.missing", Seconds() - started);
  started = Seconds();
  passed = FindBlockedTarget(collection.Commands, accessCode).empty() && passed;
  Report("checks.blocked", Seconds() - started);
  Report("checks", Seconds() - checksStarted);
  if (!passed) {
    std::fprintf(stderr, "a check failed: the benchmark's files are not as expected\n");
    return 1;
  }

  RunWork work{&collection, 0};
  RunBesideWindow(RunCollection, &work);
  Report("run", work.seconds);
  Report("peak_working_set_mib", MegabytesOf(MemoryCounters().PeakWorkingSetSize));
  return 0;
}
