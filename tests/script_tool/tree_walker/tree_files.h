#pragma once
// Folder trees for the walker's, make's and verify's tests: files with
// contents and last-write times set to the 100 ns with the system's own call
// (not the code under test; the runtime's rounds to whole seconds on Windows).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "script_tool/tree_walker/file_write_time.h"

#ifdef _WIN32
#include "support/test_files.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

inline constexpr WindowsFileTime kUnitsPerMs = 10'000;
inline constexpr WindowsFileTime kUnitsPerHour = 3'600'000 * kUnitsPerMs;
// A whole second (2025-10-09T08:53:20Z), so that a difference of half a
// second never crosses one by chance.
inline constexpr WindowsFileTime kBaseTime = 134044736000000000;

inline void SetWriteTime(const std::filesystem::path& file, WindowsFileTime time) {
#ifdef _WIN32
  SetTimes(file.wstring(), static_cast<ULONGLONG>(time), static_cast<ULONGLONG>(time));
#else
  constexpr WindowsFileTime kUnitsPerSecond = 10'000'000;
  constexpr WindowsFileTime kSecondsFrom1601To1970 = 11'644'473'600;
  timespec times[2] = {{0, UTIME_OMIT},
                       {static_cast<time_t>(time / kUnitsPerSecond - kSecondsFrom1601To1970),
                        static_cast<long>(time % kUnitsPerSecond * 100)}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0) << file;
#endif
}

// A file of a tree: its contents and how long before kBaseTime it was last
// written (unitsOld in 100 ns; negative for after it).
struct TreeFile {
  std::string contents;
  int hoursOld = 0;
  int msOld = 0;
  WindowsFileTime unitsOld = 0;
};
using TreeSpec = std::map<std::string, TreeFile>;  // UTF-8 path with "/" -> file; "x/" a folder

// Makes the folder and the tree in it; returns the folder.
inline std::filesystem::path MakeTree(const std::filesystem::path& folder, const TreeSpec& files) {
  std::filesystem::create_directories(folder);
  for (const auto& [path, file] : files) {
    const std::filesystem::path full = folder / std::filesystem::u8path(path);
    if (path.back() == '/') {
      std::filesystem::create_directories(full);
      continue;
    }
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << file.contents;
  }
  // Once every file is written: writing a file changes its folder's time.
  for (const auto& [path, file] : files) {
    if (path.back() == '/') continue;
    SetWriteTime(folder / std::filesystem::u8path(path),
                 kBaseTime - file.hoursOld * kUnitsPerHour - file.msOld * kUnitsPerMs - file.unitsOld);
  }
  return folder;
}
