#pragma once
// A file's last-write time as Windows keeps it (100 ns units since
// 1601-01-01 UTC), read and set to that precision on every platform: the
// runtime's own calls on Windows round it to whole seconds, which would hide
// a difference of half a second that the updater's copy would not.

#include <cstdint>
#include <filesystem>
#include <string>
#include <system_error>

using WindowsFileTime = std::int64_t;

// A last-write time in the platform's own units (100 ns since 1601 on
// Windows, 1 ns since 1970 on Linux) as Windows keeps it: finer than 100 ns
// cannot survive the trip to a Windows machine.
WindowsFileTime WindowsTimeOf(std::int64_t platformTime);

// The file's last-write time; error is set when it cannot be read.
WindowsFileTime LastWriteTime(const std::filesystem::path& file, std::error_code& error);

// Gives the file this last-write time. Returns the error, or none.
std::error_code SetLastWriteTime(const std::filesystem::path& file, WindowsFileTime time);

// The time as an ISO 8601 text in UTC, to the 100 ns: "2025-10-09T08:53:20.5000000Z".
std::string FileTimeText(WindowsFileTime time);
