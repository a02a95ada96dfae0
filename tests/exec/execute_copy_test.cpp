#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "exec/execute_copy.h"
#include "exec/rename_over.h"
#include "exec/whole_copy.h"
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

  EXPECT_EQ(ExecuteCopy(Copy(source, target)), 0);

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
  EXPECT_EQ(ExecuteCopy(Copy(folder.File(L"new.dll"), folder.File(L"made.dll"))), 0);
  EXPECT_EQ(ReadBytes(folder.File(L"made.dll")), "version 2");
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"made.dll"}));
}

TEST(ExecuteCopy, ASourceHeldByAnotherProcessIsStillCopied) {
  TempFolder folder;
  const std::wstring source = folder.File(L"new.dll");
  const std::wstring target = folder.File(L"old.dll");
  WriteBytes(source, "version 2");
  // The copy may read it, shared; then only its last-write time is carried
  // over (see ReplaceWithCopy).
  SetTimes(source, kDistinctAccessed, kDistinctWritten);
  FileHolder holder(source, L"r", L"r");
  EXPECT_EQ(ExecuteCopy(Copy(source, target)), 0);
  EXPECT_EQ(TimesOf(target).written, kDistinctWritten) << "as CopyFileW would give it";
  EXPECT_EQ(ReadBytes(target), "version 2");
}

TEST(ExecuteCopy, ASourceThatIsItsOwnTargetStaysAsItWas) {
  TempFolder folder;
  WriteBytes(folder.File(L"same.dll"), "version 2");
  EXPECT_EQ(ExecuteCopy(Copy(folder.File(L"same.dll"), folder.File(L"same.dll"))), 0);
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
    EXPECT_EQ(ExecuteCopy(Copy(folder.File(L"new.dll"), folder.File(L"old.dll"))), 0);
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
    const wchar_t* leftBehind = nullptr;  // a file of another process's, kept
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
      // A read-only leftover that another process holds can be neither
      // deleted nor written over: the code is that of the last try.
      {"read-only leftover temporary file, held", L"new.dll",
       [&](const TempFolder& folder) {
         WriteBytes(folder.File(L"old.dll.ddu-new"), "left");
         SetReadOnly(folder.File(L"old.dll.ddu-new"), true);
         return hold(L"old.dll.ddu-new", L"r", L"r")(folder);
       },
       ERROR_SHARING_VIOLATION, L"old.dll.ddu-new"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    WriteBytes(folder.File(L"new.dll"), "version 2");
    WriteBytes(folder.File(L"old.dll"), "version 1");
    const std::unique_ptr<FileHolder> holder = c.prepare ? c.prepare(folder) : nullptr;
    EXPECT_EQ(ExecuteCopy(Copy(folder.File(c.source), folder.File(L"old.dll"))), c.code);
    if (holder) holder->Release();
    EXPECT_EQ(ReadBytes(folder.File(L"old.dll")), "version 1");
    std::set<std::wstring> left = {L"new.dll", L"old.dll"};
    if (c.leftBehind) left.insert(c.leftBehind);
    EXPECT_EQ(NamesIn(folder.Path()), left);
  }
  TempFolder folder;
  WriteBytes(folder.File(L"new.dll"), "version 2");
  ASSERT_TRUE(CreateDirectoryW(folder.File(L"a folder").c_str(), nullptr));
  EXPECT_EQ(ExecuteCopy(Copy(folder.File(L"new.dll"), folder.File(L"a folder"))),
            ERROR_ACCESS_DENIED);
  EXPECT_TRUE(IsFolder(folder.File(L"a folder")));
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"a folder"}));
}

// A scanner's moment: another process opens the target, or the temporary
// file an interrupted run left, with full sharing and lets go a few hundred
// milliseconds later. The copy waits it out; a hold longer than that bound is
// a failure with 5 (the rows above).
TEST(ExecuteCopy, ABriefHoldOfTheTargetOrTheTemporaryFileIsOutlasted) {
  for (const wchar_t* held : {L"old.dll", L"old.dll.ddu-new"}) {
    SCOPED_TRACE(Narrow(held));
    TempFolder folder;
    WriteBytes(folder.File(L"new.dll"), "version 2");
    WriteBytes(folder.File(L"old.dll"), "version 1");
    if (!FileExists(folder.File(held))) WriteBytes(folder.File(held), "left");
    FileHolder holder(folder.File(held), L"r", L"rwd", 300);
    EXPECT_EQ(ExecuteCopy(Copy(folder.File(L"new.dll"), folder.File(L"old.dll"))), 0);
    holder.Release();
    EXPECT_EQ(ReadBytes(folder.File(L"old.dll")), "version 2");
    EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"new.dll", L"old.dll"}));
  }
}

// The access list as SDDL; under Wine, which keeps no access list of its own
// here, the one it reads from the Unix permissions.
std::wstring AccessListOf(const std::wstring& path) {
  BYTE descriptor[4096];
  DWORD needed = 0;
  if (!GetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor, sizeof descriptor,
                        &needed)) {
    return L"(unreadable)";
  }
  LPWSTR text = nullptr;
  if (!ConvertSecurityDescriptorToStringSecurityDescriptorW(
          descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text, nullptr)) {
    return L"(unconvertible)";
  }
  const std::wstring result = text;
  LocalFree(text);
  return result;
}

void SetAccessList(const std::wstring& path, const wchar_t* sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1,
                                                                   &descriptor, nullptr));
  EXPECT_TRUE(SetFileSecurityW(path.c_str(), DACL_SECURITY_INFORMATION, descriptor));
  LocalFree(descriptor);
}

// The new file takes the old one's place by a rename, yet keeps what an
// installer gave the old one: its access list, and its hidden and system
// attributes. The read-only attribute comes from the source, as CopyFileW
// gives it.
TEST(ExecuteCopy, AnExistingTargetKeepsItsAccessListAndHiddenAndSystemAttributes) {
  constexpr DWORD kShown = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                           FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
  struct Case {
    const char* name;
    const wchar_t* accessList;  // SDDL set on the target, or none
    DWORD targetAttributes;
    DWORD sourceAttributes;
    DWORD attributes;  // the target's afterwards
  };
  const Case cases[] = {
      {"writable for everyone", L"D:P(A;;FA;;;WD)", 0, 0, FILE_ATTRIBUTE_ARCHIVE},
      {"hidden", nullptr, FILE_ATTRIBUTE_HIDDEN, 0,
       FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE},
      {"system", nullptr, FILE_ATTRIBUTE_SYSTEM, 0,
       FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE},
      {"read-only source", nullptr, 0, FILE_ATTRIBUTE_READONLY,
       FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_ARCHIVE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::wstring source = folder.File(L"new.dll");
    const std::wstring target = folder.File(L"old.dll");
    WriteBytes(source, "version 2");
    WriteBytes(target, "version 1");
    if (c.accessList) SetAccessList(target, c.accessList);
    if (c.targetAttributes) SetFileAttributesW(target.c_str(), c.targetAttributes);
    if (c.sourceAttributes) SetFileAttributesW(source.c_str(), c.sourceAttributes);
    const std::wstring accessBefore = AccessListOf(target);

    EXPECT_EQ(ExecuteCopy(Copy(source, target)), 0);
    EXPECT_EQ(ReadBytes(target), "version 2");
    // Under Wine a read-only file's access list lacks the write that the
    // Unix permissions, which carry both, take away: compared where set.
    if (c.accessList) {
      EXPECT_EQ(AccessListOf(target), accessBefore);
    }
    EXPECT_EQ(GetFileAttributesW(target.c_str()) & kShown, c.attributes);
  }
}

// What a copy asked of the system, in order: "write" for a run of writes,
// "flush", and "rename" for the rename that succeeded.
std::vector<std::string> gCopyCalls;

void Note(const char* call) {
  if (gCopyCalls.empty() || gCopyCalls.back() != call) gCopyCalls.push_back(call);
}

BOOL WINAPI RecordedWrite(HANDLE file, LPCVOID bytes, DWORD count, LPDWORD written,
                          LPOVERLAPPED overlapped) {
  Note("write");
  return WriteFile(file, bytes, count, written, overlapped);
}

BOOL WINAPI RecordedFlush(HANDLE file) {
  Note("flush");
  return FlushFileBuffers(file);
}

BOOL WINAPI RecordedInformation(HANDLE file, FILE_INFO_BY_HANDLE_CLASS infoClass, LPVOID info,
                                DWORD bytes) {
  const BOOL done = SetFileInformationByHandle(file, infoClass, info, bytes);
  if (done && (infoClass == FileRenameInfo || infoClass == kFileRenameInfoEx)) Note("rename");
  return done;
}

// A power cut may lose data the disk had not written yet, but never a rename
// the file system logged: so every byte is flushed before the rename.
TEST(ExecuteCopy, TheDataIsFlushedBeforeTheRename) {
  CopyCalls recorded;
  recorded.writeFile = RecordedWrite;
  recorded.flushFileBuffers = RecordedFlush;
  recorded.setFileInformationByHandle = RecordedInformation;
  struct Case {
    const char* name;
    std::size_t bytes;
    std::vector<std::string> calls;
  };
  const Case cases[] = {
      {"three buffers' worth", 3 * 1024 * 1024 + 1, {"write", "flush", "rename"}},
      {"an empty file", 0, {"flush", "rename"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    WriteBytes(folder.File(L"new.dll"), std::string(c.bytes, 'n'));
    WriteBytes(folder.File(L"old.dll"), "version 1");
    gCopyCalls.clear();
    EXPECT_EQ(ReplaceWithCopy(folder.File(L"new.dll"), folder.File(L"old.dll"), recorded), 0u);
    EXPECT_EQ(gCopyCalls, c.calls);
    EXPECT_EQ(ReadBytes(folder.File(L"old.dll")).size(), c.bytes);
  }
}

TEST(ExecuteCopy, Latin1NamesReachTheFileSystemAsThoseCharacters) {
  TempFolder folder;
  WriteBytes(folder.File(L"caf\u00E9.txt"), "new");
  const FileCommand copy("COP " + Narrow(folder.File(L"caf\u00E9.txt")) + " " +
                         Narrow(folder.File(L"d\u00E9j\u00E0.txt")));
  ASSERT_NE(copy.Arguments[1].find('\xE0'), std::string::npos);
  EXPECT_EQ(ExecuteCopy(copy), 0);
  EXPECT_EQ(ReadBytes(folder.File(L"d\u00E9j\u00E0.txt")), "new");
}

TEST(ExecuteCopy, NeverCopiesToANameThatANulByteWouldCutShort) {
  TempFolder folder;
  WriteBytes(folder.File(L"new"), "new");
  const FileCommand copy("COP " + Narrow(folder.File(L"new")) + " " +
                         Narrow(folder.File(L"target")) + std::string(1, '\0') + "x");
  EXPECT_EQ(ExecuteCopy(copy), ERROR_INVALID_NAME);
  EXPECT_FALSE(FileExists(folder.File(L"target")));
  EXPECT_EQ(ExecuteCopy(FileCommand("COP no-separator")), ERROR_BAD_ARGUMENTS);
}

}  // namespace
