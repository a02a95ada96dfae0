#pragma once
// The measurements, each a mode of the benchmark program. Each reports
// its figures through Report and returns the process exit code.

#include <string>

// Applies the `count` files folder\src\f00000.bin ... to folder\dst,
// `runs` times by each method in turn: (a) RunCommands with the live window,
// (b) a bare CopyFileW and file-time loop, (u) the display updates alone,
// (c) Wine's xcopy, (h) RunCommands with the window hidden, and (b') a bare
// loop of the runner's own whole-or-nothing copy. Then counts
// the updates that (u) sends.
int MeasureThroughput(const std::wstring& folder, int count, int runs);

// Loads the script, runs the three checks once and runs the commands with
// the live window, as the program does, timing each step; then reports the
// process's peak working set.
int MeasureScaling(const std::wstring& scriptPath);

// Starts each program `runs` times, in turn, and times each start from
// CreateProcessW until its window is shown. The programs are ended at once.
int MeasureStartup(const std::wstring& updaterPath, const std::wstring& emptyPath,
                   const std::wstring& scriptPath, int runs);

// Times each system call of the copy through a temporary file, summed over
// the files folder\src\f00000.bin ... copied to folder\dst, for each way the
// copy could be made (those named in the comma-separated `only`, or all),
// `runs` times in turn.
int MeasureCopySteps(const std::wstring& folder, int count, int runs, const std::wstring& only);

// Checks the bundle with the application library's VerifyUpdate once, then
// `runs` times timed; reports the median and the first check's verdict.
int MeasureVerifyUpdate(const std::wstring& bundleFolder, const std::wstring& publicKeyPath,
                        int runs);

// SHA-256 with CNG (as VerifyUpdate hashes) over `mebibytes` MiB in memory,
// `runs` times; reports the median and MiB/s.
int MeasureCngHash(int mebibytes, int runs);

// Opens, sizes and reads every file below the folder as VerifyUpdate does,
// hashing nothing, `runs` times; reports the median: the floor Wine's own
// file calls set under the check.
int MeasureBundleReading(const std::wstring& bundleFolder, int runs);
