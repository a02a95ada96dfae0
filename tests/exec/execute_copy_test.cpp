#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <set>

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
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"old.dll"}))
      << "no temporary copy (a name ending in .ddu-new) nor any other file is left";
}

TEST(ExecuteCopy, ATargetThatDoesNotExistYetIsCreated) {
  TempFolder folder;
  WriteBytes(folder.File(L"new.dll"), "version 2");
  EXPECT_EQ(Copy(folder.File(L"new.dll"), folder.File(L"made.dll")).ExecuteCopy(), 0);
  EXPECT_EQ(ReadBytes(folder.File(L"made.dll")), "version 2");
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"made.dll"}));
}

TEST(ExecuteCopy, ASourceHeldByAnotherProcessIsStillCopied) {
  TempFolder folder;
  const std::wstring source = folder.File(L"new.dll");
  const std::wstring target = folder.File(L"old.dll");
  WriteBytes(source, "version 2");
  // The copy may read it; the times cannot be read (see CarryFileTimesOver).
  SetTimes(source, kDistinctAccessed, kDistinctWritten);
  FileHolder holder(source, L"r", L"r");
  EXPECT_EQ(Copy(source, target).ExecuteCopy(), 0);
  EXPECT_EQ(TimesOf(target).written, kDistinctWritten) << "as CopyFileW would give it";
  EXPECT_EQ(ReadBytes(target), "version 2");
}

TEST(ExecuteCopy, ASourceThatIsItsOwnTargetStaysAsItWas) {
  TempFolder folder;
  WriteBytes(folder.File(L"same.dll"), "version 2");
  EXPECT_EQ(Copy(folder.File(L"same.dll"), folder.File(L"same.dll")).ExecuteCopy(), 0);
  EXPECT_EQ(ReadBytes(folder.File(L"same.dll")), "version 2");
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"same.dll"}));
}

// An update cut short may leave the temporary file beside its target,
// named after it: the next copy to that target writes over it and renames
// it away, whatever it holds and whatever its attributes.
TEST(ExecuteCopy, ALeftoverTemporaryFileIsWrittenOverAndGone) {
  struct Case {
    const char* name;
    std::string bytes;
    DWORD attributes;
  };
  const Case cases[] = {
      {"longer than the new copy", std::string(100000, 'x'), FILE_ATTRIBUTE_NORMAL},
      {"empty", "", FILE_ATTRIBUTE_NORMAL},
      {"read-only", "left", FILE_ATTRIBUTE_READONLY},
      {"hidden", "left", FILE_ATTRIBUTE_HIDDEN},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    WriteBytes(folder.File(L"new.dll"), "version 2");
    WriteBytes(folder.File(L"old.dll"), "version 1");
    const std::wstring leftover = folder.File(L"old.dll.ddu-new");
    WriteBytes(leftover, c.bytes);
    SetFileAttributesW(leftover.c_str(), c.attributes);
    EXPECT_EQ(Copy(folder.File(L"new.dll"), folder.File(L"old.dll")).ExecuteCopy(), 0);
    EXPECT_EQ(ReadBytes(folder.File(L"old.dll")), "version 2");
    EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"old.dll"}));
  }
}

// The target is replaced only by a complete copy: on any failure it keeps
// its old contents, the code is that of the step that failed, and the
// temporary copy beside the target is gone.
TEST(ExecuteCopy, AFailedCopyGivesTheFailedStepsCodeAndLeavesTheTargetAsItWas) {
  struct Case {
    const char* name;
    const wchar_t* source;  // in the folder; "new.dll" holds "version 2"
    std::function<std::unique_ptr<FileHolder>(const TempFolder&)> prepare;
    std::int32_t code;
  };
  const auto hold = [](const wchar_t* name, const wchar_t* access, const wchar_t* share) {
    return [=](const TempFolder& folder) {
      return std::make_unique<FileHolder>(folder.File(name), access, share);
    };
  };
  const auto readOnly = [](const wchar_t* name) {
    return [=](const TempFolder& folder) {
      SetReadOnly(folder.File(name), true);
      return std::unique_ptr<FileHolder>();
    };
  };
  const Case cases[] = {
      {"missing source", L"missing.dll", {}, ERROR_FILE_NOT_FOUND},
      {"source held with no sharing", L"new.dll", hold(L"new.dll", L"rw", L"-"),
       ERROR_SHARING_VIOLATION},
      // A rename never replaces a file that another process holds open, on
      // Windows as under Wine, whatever sharing it allowed.
      {"target held with no sharing", L"new.dll", hold(L"old.dll", L"rw", L"-"),
       ERROR_ACCESS_DENIED},
      {"target held, sharing everything", L"new.dll", hold(L"old.dll", L"r", L"rwd"),
       ERROR_ACCESS_DENIED},
      {"read-only target", L"new.dll", readOnly(L"old.dll"), ERROR_ACCESS_DENIED},
      // The temporary copy takes the source's read-only attribute, and
      // must be deleted all the same.
      {"read-only source, target held", L"new.dll",
       [&](const TempFolder& folder) {
         SetReadOnly(folder.File(L"new.dll"), true);
         return hold(L"old.dll", L"r", L"r")(folder);
       },
       ERROR_ACCESS_DENIED},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    WriteBytes(folder.File(L"new.dll"), "version 2");
    WriteBytes(folder.File(L"old.dll"), "version 1");
    const std::unique_ptr<FileHolder> holder = c.prepare ? c.prepare(folder) : nullptr;
    EXPECT_EQ(Copy(folder.File(c.source), folder.File(L"old.dll")).ExecuteCopy(), c.code);
    if (holder) holder->Release();
    EXPECT_EQ(ReadBytes(folder.File(L"old.dll")), "version 1");
    EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"old.dll"}));
  }
  TempFolder folder;
  WriteBytes(folder.File(L"new.dll"), "version 2");
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"a folder").c_str(), nullptr));
  EXPECT_EQ(Copy(folder.File(L"new.dll"), folder.File(L"a folder")).ExecuteCopy(),
            ERROR_ACCESS_DENIED);
  EXPECT_TRUE(IsFolder(folder.File(L"a folder")));
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"a folder"}));
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
