#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "checks/blocked_folder.h"
#include "support/test_files.h"

namespace {

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

// Real folders: a folder the user may not create files in fails as the
// script's folder would, whatever its files allow; a folder that passes
// keeps exactly what it held.
TEST(FindBlockedFolder, EachTargetsFolderIsProvenWithAFileCreatedAndDeleted) {
  TempFolder folder;
  WriteBytes(folder.File(L"old.dll"), "old");
  WriteBytes(folder.File(L"left.dll.ddu-new"), "an interrupted run's");
  struct Case {
    const char* name;
    std::wstring target;
    std::optional<std::wstring> blocked;  // the folder reported, if any
  };
  const Case cases[] = {
      {"an existing target", folder.File(L"old.dll"), std::nullopt},
      {"a new target", folder.File(L"new.dll"), std::nullopt},
      {"a leftover temporary file in the probe's place", folder.File(L"left.dll"), std::nullopt},
      // The file itself may be written: only the folder refuses new files.
      {"a writable file in a folder without write permission",
       FixturePath(L"nowrite\\settings.ini"), FolderOf(FixturePath(L"nowrite\\settings.ini"))},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const auto blocked = FindBlockedFolder({FileCommand("COP s\t" + Narrow(c.target))});
    ASSERT_EQ(blocked.has_value(), c.blocked.has_value());
    if (blocked) {
      EXPECT_EQ(blocked->Folder, *c.blocked);
      EXPECT_FALSE(blocked->Access.Writable);
    }
  }
  EXPECT_EQ(NamesIn(folder.Path()), (std::set<std::wstring>{L"old.dll", L"left.dll.ddu-new"}));
  EXPECT_EQ(ReadBytes(folder.File(L"left.dll.ddu-new")), "an interrupted run's");
}

// Which folders are probed, with which file, and what is reported: a fake
// probe answers, so a folder that lets files be made but not deleted (which
// Wine cannot show) is covered too.
TEST(FindBlockedFolder, EachFolderOnceTheFirstFailureReported) {
  struct Case {
    const char* name;
    std::vector<FileCommand> commands;
    std::set<std::wstring> refusedWrite, refusedDelete;  // probe paths
    std::vector<std::wstring> probed;
    std::optional<std::wstring> folder;
    bool writable = false;
  };
  const Case cases[] = {
      {"every folder passes",
       {FileCommand("COP s C:\\App\\a.dll"), FileCommand("COP s c:\\app\\B.dll"),
        FileCommand("RUN C:\\Other\\x.exe"), FileCommand("COP s C:\\App\\Sub\\c.dll")},
       {},
       {},
       {L"C:\\App\\a.dll.ddu-new", L"C:\\App\\Sub\\c.dll.ddu-new"},
       std::nullopt},
      {"no file may be made",
       {FileCommand("COP s C:\\App\\a.dll"), FileCommand("COP s C:\\Locked\\b.dll"),
        FileCommand("COP s C:\\Later\\c.dll")},
       {L"C:\\Locked\\b.dll.ddu-new"},
       {},
       {L"C:\\App\\a.dll.ddu-new", L"C:\\Locked\\b.dll.ddu-new"},
       L"C:\\Locked"},
      {"files may be made but not deleted",
       {FileCommand("COP s C:\\Keep\\a.dll")},
       {},
       {L"C:\\Keep\\a.dll.ddu-new"},
       {L"C:\\Keep\\a.dll.ddu-new"},
       L"C:\\Keep",
       true},
      {"lines an earlier check or the copy stops at are passed over",
       {FileCommand("COP no-separator"), FileCommand("COP s "),
        FileCommand("COP s C:\\App\\a" + std::string(1, '\0')),
        FileCommand("COP s C:\\App\\nul.txt")},
       {},
       {},
       {},
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::wstring> probed;
    const FolderProbeTest fake = [&](const std::wstring& probe) {
      probed.push_back(probe);
      FolderAccess access;
      access.Writable = c.refusedWrite.count(probe) == 0;
      access.Deletable = access.Writable && c.refusedDelete.count(probe) == 0;
      return access;
    };
    const auto blocked = FindBlockedFolderIn(c.commands, fake);
    EXPECT_EQ(probed, c.probed);
    ASSERT_EQ(blocked.has_value(), c.folder.has_value());
    if (blocked) {
      EXPECT_EQ(blocked->Folder, *c.folder);
      EXPECT_EQ(blocked->Access.Writable, c.writable);
      EXPECT_FALSE(blocked->Access.Deletable);
    }
  }
}

}  // namespace
