#include "exec/file_times.h"

#include <gtest/gtest.h>

#include "support/peer_process.h"
#include "support/test_files.h"

namespace {

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
    const FileTimes sourceTimes = TimesOf(source);
    const FileTimes targetTimes = TimesOf(target);
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
  const FileTimes before = TimesOf(target);
  CarryFileTimesOver(folder.File(L"missing"), target);
  EXPECT_TRUE(TimesOf(target) == before);
}

}  // namespace
