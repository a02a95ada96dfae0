#include <gtest/gtest.h>

#include "script/file_command.h"
#include "support/peer_process.h"
#include "support/test_files.h"

namespace {

// Distinct times far in the past, each in whole seconds (some file systems
// under Wine keep no finer grain).
constexpr ULONGLONG kDistinctAccessed = 126000000000000000ULL;
constexpr ULONGLONG kDistinctWritten = 127000000000000000ULL;

FileCommand Copy(const std::wstring& source, const std::wstring& target) {
  return FileCommand("COP " + Narrow(source) + "\t" + Narrow(target));
}

TEST(ExecuteCopy, ReplacesTheTargetAndCarriesTheSourceTimesOver) {
  TempFolder folder;
  const std::wstring source = folder.File(L"new.dll");
  const std::wstring target = folder.File(L"old.dll");
  WriteBytes(source, "version 2");
  WriteBytes(target, "version 1, longer");
  SetTimes(source, kDistinctAccessed, kDistinctWritten);

  EXPECT_EQ(Copy(source, target).ExecuteCopy(), 0);

  // Times first: reading the contents would move the last-access time.
  const FileTimes after = TimesOf(source);
  const FileTimes copied = TimesOf(target);
  EXPECT_EQ(copied.written, kDistinctWritten);
  EXPECT_EQ(copied.written, after.written);
  EXPECT_EQ(copied.accessed, after.accessed);
  EXPECT_EQ(copied.created, after.created);
  EXPECT_EQ(ReadBytes(target), "version 2");
}

TEST(ExecuteCopy, ASourceHeldByAnotherProcessIsStillCopied) {
  TempFolder folder;
  const std::wstring source = folder.File(L"new.dll");
  const std::wstring target = folder.File(L"old.dll");
  WriteBytes(source, "version 2");
  // The copy may read it; the times cannot be read (see CarryFileTimesOver).
  FileHolder holder(source, L"r", L"r");
  EXPECT_EQ(Copy(source, target).ExecuteCopy(), 0);
  EXPECT_EQ(ReadBytes(target), "version 2");
}

TEST(ExecuteCopy, AFailedCopyGivesThePlatformCodeAndLeavesTheTargetAlone) {
  TempFolder folder;
  const std::wstring target = folder.File(L"old.dll");
  WriteBytes(target, "version 1");
  struct Case {
    const char* name;
    std::wstring source;
    std::int32_t code;
  };
  WriteBytes(folder.File(L"locked"), "new");
  FileHolder holder(folder.File(L"locked"), L"rw", L"-");
  const Case cases[] = {
      {"missing source", folder.File(L"missing.dll"), ERROR_FILE_NOT_FOUND},
      {"source held with no sharing", folder.File(L"locked"), ERROR_SHARING_VIOLATION},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(Copy(c.source, target).ExecuteCopy(), c.code);
    EXPECT_EQ(ReadBytes(target), "version 1");
  }
  SetReadOnly(target, true);
  WriteBytes(folder.File(L"new.dll"), "version 2");
  EXPECT_EQ(Copy(folder.File(L"new.dll"), target).ExecuteCopy(), ERROR_ACCESS_DENIED)
      << "read-only target";
}

TEST(ExecuteCopy, Latin1NamesReachTheFileSystemAsThoseCharacters) {
  TempFolder folder;
  WriteBytes(folder.File(L"caf\u00E9.txt"), "new");
  const FileCommand copy("COP " + Narrow(folder.File(L"caf\u00E9.txt")) + " " +
                         Narrow(folder.File(L"d\u00E9j\u00E0.txt")));
  ASSERT_NE(copy.Arguments[1].find('\xE0'), std::string::npos);
  EXPECT_EQ(copy.ExecuteCopy(), 0);
  EXPECT_EQ(ReadBytes(folder.File(L"d\u00E9j\u00E0.txt")), "new");
}

TEST(ExecuteCopy, NeverCopiesToANameThatANulByteWouldCutShort) {
  TempFolder folder;
  WriteBytes(folder.File(L"new"), "new");
  const FileCommand copy("COP " + Narrow(folder.File(L"new")) + " " +
                         Narrow(folder.File(L"target")) + std::string(1, '\0') + "x");
  EXPECT_EQ(copy.ExecuteCopy(), ERROR_INVALID_NAME);
  EXPECT_FALSE(FileExists(folder.File(L"target")));
  EXPECT_EQ(FileCommand("COP no-separator").ExecuteCopy(), ERROR_BAD_ARGUMENTS);
}

}  // namespace
