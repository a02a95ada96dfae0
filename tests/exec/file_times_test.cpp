#include "exec/file_times.h"

#include <gtest/gtest.h>

#include "support/peer_process.h"
#include "support/test_files.h"

namespace {

ULONGLONG Value(const FILETIME& time) {
  return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

FILETIME At(ULONGLONG value) {
  return {static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)};
}

struct Times {
  ULONGLONG created, accessed, written;
  bool operator==(const Times& other) const {
    return created == other.created && accessed == other.accessed && written == other.written;
  }
};

Times TimesOf(const std::wstring& path) {
  FILETIME created{}, accessed{}, written{};
  const HANDLE file = CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  EXPECT_NE(file, INVALID_HANDLE_VALUE);
  GetFileTime(file, &created, &accessed, &written);
  CloseHandle(file);
  return {Value(created), Value(accessed), Value(written)};
}

void SetTimes(const std::wstring& path, ULONGLONG accessed, ULONGLONG written) {
  const HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  const FILETIME a = At(accessed), w = At(written);
  // Wine keeps no creation time of its own where the Unix file system records
  // none (it reports the last-write time), so only these two are set here.
  ASSERT_TRUE(SetFileTime(file, nullptr, &a, &w));
  CloseHandle(file);
}

// Whole seconds, the source's and the target's apart from each other.
constexpr ULONGLONG kSourceAccessed = 126000000000000000ULL;
constexpr ULONGLONG kSourceWritten = 127000000000000000ULL;
constexpr ULONGLONG kTargetAccessed = 128000000000000000ULL;
constexpr ULONGLONG kTargetWritten = 129000000000000000ULL;

TEST(CarryFileTimesOver, OnlyWhenNoOtherProcessHoldsEitherFile) {
  struct Case {
    const char* name;
    const wchar_t* heldFile;  // held by another process, or none
    const wchar_t* access;
    const wchar_t* share;
    bool carried;
  };
  const Case cases[] = {
      {"both free", nullptr, nullptr, nullptr, true},
      {"source open for reading elsewhere", L"source", L"r", L"rw", false},
      // Opening for attributes alone is not subject to sharing.
      {"target open elsewhere, sharing nothing", L"target", L"rw", L"-", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::wstring source = folder.File(L"source");
    const std::wstring target = folder.File(L"target");
    WriteBytes(source, "new");
    WriteBytes(target, "new");
    SetTimes(source, kSourceAccessed, kSourceWritten);
    SetTimes(target, kTargetAccessed, kTargetWritten);
    const Times sourceTimes = TimesOf(source);
    const Times targetTimes = TimesOf(target);
    {
      std::unique_ptr<FileHolder> holder;
      if (c.heldFile) holder = std::make_unique<FileHolder>(folder.File(c.heldFile), c.access, c.share);
      CarryFileTimesOver(source, target);
    }
    EXPECT_TRUE(TimesOf(target) == (c.carried ? sourceTimes : targetTimes));
    EXPECT_TRUE(TimesOf(source) == sourceTimes) << "the source is only read";
  }
}

TEST(CarryFileTimesOver, AMissingSourceLeavesTheTargetAlone) {
  TempFolder folder;
  const std::wstring target = folder.File(L"target");
  WriteBytes(target, "old");
  SetTimes(target, kTargetAccessed, kTargetWritten);
  const Times before = TimesOf(target);
  CarryFileTimesOver(folder.File(L"missing"), target);
  EXPECT_TRUE(TimesOf(target) == before);
}

}  // namespace
