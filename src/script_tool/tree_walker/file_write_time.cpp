#include "script_tool/tree_walker/file_write_time.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>

#include "platform/scoped_handle.h"
#else
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#endif

namespace {

constexpr std::int64_t kUnitsPerSecond = 10'000'000;
constexpr std::int64_t kSecondsPerDay = 86'400;
// From 1601-01-01, where Windows counts file times from, to 1970-01-01.
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

struct CivilDate {
  std::int64_t Year;
  unsigned Month;
  unsigned Day;
};

// Howard Hinnant's days-to-civil: the proleptic Gregorian date of a day
// counted from 1970-01-01.
CivilDate DateOfDay(std::int64_t days) {
  days += 719'468;
  const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
  const auto dayOfEra = static_cast<unsigned>(days - era * 146'097);
  const unsigned yearOfEra =
      (dayOfEra - dayOfEra / 1'460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
  const unsigned dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
  const unsigned shiftedMonth = (5 * dayOfYear + 2) / 153;
  const unsigned day = dayOfYear - (153 * shiftedMonth + 2) / 5 + 1;
  const unsigned month = shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9;
  const std::int64_t year = static_cast<std::int64_t>(yearOfEra) + era * 400 + (month <= 2);
  return {year, month, day};
}

}  // namespace

#ifdef _WIN32

WindowsFileTime WindowsTimeOf(std::int64_t platformTime) { return platformTime; }

WindowsFileTime LastWriteTime(const std::filesystem::path& file, std::error_code& error) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!GetFileAttributesExW(file.c_str(), GetFileExInfoStandard, &data)) {
    const DWORD failure = GetLastError();
    error = std::error_code(static_cast<int>(failure), std::system_category());
    return 0;
  }
  error.clear();
  return static_cast<WindowsFileTime>(
      (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
      data.ftLastWriteTime.dwLowDateTime);
}

std::error_code SetLastWriteTime(const std::filesystem::path& file, WindowsFileTime time) {
  const ScopedHandle handle(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                        OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!handle.IsValid()) {
    const DWORD failure = GetLastError();
    return std::error_code(static_cast<int>(failure), std::system_category());
  }
  FILETIME lastWrite;
  lastWrite.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(time));
  lastWrite.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(time) >> 32);
  if (!SetFileTime(handle.Get(), nullptr, nullptr, &lastWrite)) {
    const DWORD failure = GetLastError();
    return std::error_code(static_cast<int>(failure), std::system_category());
  }
  return {};
}

#else

WindowsFileTime WindowsTimeOf(std::int64_t platformTime) {
  constexpr std::int64_t kNanosecondsPerUnit = 1'000'000'000 / kUnitsPerSecond;
  // Rounded down, also before 1970.
  std::int64_t units = platformTime / kNanosecondsPerUnit;
  if (platformTime % kNanosecondsPerUnit < 0) --units;
  return units + kSecondsFrom1601To1970 * kUnitsPerSecond;
}

WindowsFileTime LastWriteTime(const std::filesystem::path& file, std::error_code& error) {
  struct stat status {};
  if (stat(file.c_str(), &status) != 0) {
    error = std::error_code(errno, std::generic_category());
    return 0;
  }
  error.clear();
  return WindowsTimeOf(static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 +
                       status.st_mtim.tv_nsec);
}

std::error_code SetLastWriteTime(const std::filesystem::path& file, WindowsFileTime time) {
  std::int64_t seconds = time / kUnitsPerSecond;
  std::int64_t units = time % kUnitsPerSecond;
  if (units < 0) {
    units += kUnitsPerSecond;
    --seconds;
  }
  timespec times[2];
  times[0].tv_sec = 0;
  times[0].tv_nsec = UTIME_OMIT;  // the last-access time stays
  times[1].tv_sec = static_cast<time_t>(seconds - kSecondsFrom1601To1970);
  times[1].tv_nsec = static_cast<long>(units * 100);
  if (utimensat(AT_FDCWD, file.c_str(), times, 0) != 0) {
    return std::error_code(errno, std::generic_category());
  }
  return {};
}

#endif

std::string FileTimeText(WindowsFileTime time) {
  std::int64_t seconds = time / kUnitsPerSecond;
  std::int64_t units = time % kUnitsPerSecond;
  if (units < 0) {
    units += kUnitsPerSecond;
    --seconds;
  }
  const std::int64_t unixSeconds = seconds - kSecondsFrom1601To1970;
  std::int64_t days = unixSeconds / kSecondsPerDay;
  std::int64_t secondOfDay = unixSeconds % kSecondsPerDay;
  if (secondOfDay < 0) {
    secondOfDay += kSecondsPerDay;
    --days;
  }
  const CivilDate date = DateOfDay(days);
  char text[48];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02uT%02d:%02d:%02d.%07lldZ",
                static_cast<long long>(date.Year), date.Month, date.Day,
                static_cast<int>(secondOfDay / 3600), static_cast<int>(secondOfDay / 60 % 60),
                static_cast<int>(secondOfDay % 60), static_cast<long long>(units));
  return text;
}
