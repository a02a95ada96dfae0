// The folders an application creates before the update: the rule over target
// paths, natively and under Wine, and CreateTargetFolders on real folders
// under Wine.
#include "updater_client/target_folders.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#ifdef _WIN32
#include "support/test_files.h"
#endif

namespace {

using devidudi::FoldersAbove;
using devidudi::MissingTargetFolders;
using devidudi::NeededFolder;

TEST(FoldersAbove, FromTheRootDownNeverTheRootItself) {
  const struct {
    const char* row;
    const char* target;
    std::vector<std::string> folders;
  } rows[] = {
      {"a file on a drive's root", "C:\\a.txt", {}},
      {"two folders", "C:\\App\\plugins\\a.dll", {"C:\\App", "C:\\App\\plugins"}},
      {"slashes and a doubled separator", "c:/App//x/a", {"c:/App", "c:/App//x"}},
      {"a file on a share's root", "\\\\server\\share\\a.txt", {}},
      {"a folder on a share", "\\\\server\\share\\d\\a.txt", {"\\\\server\\share\\d"}},
      {"verbatim, a drive", "\\\\?\\C:\\d\\a", {"\\\\?\\C:\\d"}},
      {"verbatim, a share", "\\\\?\\UNC\\srv\\sh\\d\\a", {"\\\\?\\UNC\\srv\\sh\\d"}},
      {"verbatim, a volume",
       "\\\\?\\Volume{1}\\d\\a",
       {"\\\\?\\Volume{1}\\d"}},
      {"a relative path", "App\\plugins\\a.dll", {}},
      {"relative to the drive's current folder", "C:App\\a.dll", {}},
      {"rooted without a drive", "\\App\\a.dll", {}},
      {"empty", "", {}},
      {"a Latin-1 name", "C:\\App\\Men\xFC\\a", {"C:\\App", "C:\\App\\Men\xFC"}},
  };
  for (const auto& row : rows) {
    std::vector<std::string> found;
    for (const std::string_view folder : FoldersAbove(row.target)) found.emplace_back(folder);
    EXPECT_EQ(found, row.folders) << row.row;
  }
}

TEST(MissingTargetFolders, EachMissingFolderOnceInOrderAskingOnlyWhatMayExist) {
  // Windows creates no folder of 248 units or more, but a verbatim one.
  const std::string folder247 = "C:\\" + std::string(244, 'f');
  const std::string folder248 = folder247 + "g";
  const std::string verbatim = "\\\\?\\C:\\" + std::string(300, 'v');
  const std::string target247 = folder247 + "\\a";
  const std::string target248 = folder248 + "\\a";
  const std::string verbatimTarget = verbatim + "\\a";
  const struct {
    const char* row;
    std::vector<std::string_view> targets;
    std::set<std::string> folders;  // what exists, as the predicate is asked
    std::vector<std::string> needed;  // "path@target", " refused" after one Windows refuses
    std::set<std::string> asked;
  } rows[] = {
      {"all there", {"C:\\App\\a", "C:\\App\\lib\\b"}, {"C:\\App", "C:\\App\\lib"}, {},
       {"C:\\App", "C:\\App\\lib"}},
      {"nested, below a missing one unasked",
       {"C:\\App\\locale\\de\\m.txt"},
       {"C:\\App"},
       {"C:\\App\\locale@0", "C:\\App\\locale\\de@0"},
       {"C:\\App", "C:\\App\\locale"}},
      {"shared by later targets, in another case and separator",
       {"C:\\App\\a", "C:\\App\\p\\x", "c:/app/P/y", "C:\\APP\\P\\q\\z"},
       {"C:\\App"},
       {"C:\\App\\p@1", "C:\\APP\\P\\q@3"},
       {"C:\\App", "C:\\App\\p"}},
      {"the drive missing: everything below listed",
       {"Q:\\a\\b"},
       {},
       {"Q:\\a@0"},
       {"Q:\\a"}},
      {"a relative target needs nothing", {"a\\b\\c"}, {}, {}, {}},
      {"too long for CreateDirectoryW from 248 units, unless verbatim",
       {target247, target248, verbatimTarget},
       {},
       {folder247 + "@0", folder248 + "@1 refused", verbatim + "@2"},
       {folder247, folder248, verbatim}},
  };
  for (const auto& row : rows) {
    std::multiset<std::string> asked;
    const std::vector<NeededFolder> needed =
        MissingTargetFolders(row.targets, [&](const std::string& folder) {
          asked.insert(folder);
          return row.folders.count(folder) != 0;
        });
    std::vector<std::string> found;
    for (const NeededFolder& folder : needed) {
      found.push_back(folder.Path + "@" + std::to_string(folder.Target) +
                      (folder.Refused.empty() ? "" : " refused"));
    }
    EXPECT_EQ(found, row.needed) << row.row;
    EXPECT_EQ(asked, std::multiset<std::string>(row.asked.begin(), row.asked.end()))
        << row.row << ": each folder asked once, none below a missing one";
  }
}

#ifdef _WIN32

using devidudi::CreateTargetFolders;
using devidudi::TargetFoldersResult;

// Every folder below root, relative, "\" between names.
std::set<std::wstring> FoldersBelow(const std::wstring& root, const std::wstring& prefix = L"") {
  std::set<std::wstring> folders;
  for (const std::wstring& name : NamesIn(root + (prefix.empty() ? L"" : L"\\" + prefix))) {
    const std::wstring relative = prefix.empty() ? name : prefix + L"\\" + name;
    if (!IsFolder(root + L"\\" + relative)) continue;
    folders.insert(relative);
    const std::set<std::wstring> inner = FoldersBelow(root, relative);
    folders.insert(inner.begin(), inner.end());
  }
  return folders;
}

TEST(CreateTargetFolders, CreatesEachMissingFolderOfEveryCopyTargetAndSaysWhich) {
  const struct {
    const char* row;
    // %T% the installed folder, which holds sub\ and file.txt; %248% a name
    // that makes a folder in it 248 units long
    std::string script;
    std::vector<std::wstring> created;  // relative to %T%
    DWORD error;
    std::wstring failed;  // relative to %T%; "<script>" the script
    std::size_t line;
    std::set<std::wstring> foldersAfter;  // every folder below %T% afterwards
  } rows[] = {
      {"nested folders from the root down, each once",
       "COP C:\\s\\a %T%\\plugins\\a.dll\r\nRUN x.exe\r\nCOP C:\\s\\b %T%\\locale\\de\\Men\xFC.txt\r\n"
       "COP C:\\s\\c\t%T%\\LOCALE\\fr\\m.txt\r\nCOP C:\\s\\d %T%\\Plugins\\b.dll\r\n",
       {L"plugins", L"locale", L"locale\\de", L"LOCALE\\fr"}, ERROR_SUCCESS, L"", 0,
       {L"sub", L"plugins", L"locale", L"locale\\de", L"locale\\fr"}},
      {"an accented folder name reaches Windows as Latin-1",
       "COP C:\\s\\a %T%\\M\xFC" "de\\a.txt", {L"M\u00FC" L"de"}, ERROR_SUCCESS, L"", 0,
       {L"sub", L"M\u00FC" L"de"}},
      {"existing folders are left alone, in any case",
       "COP C:\\s\\a %T%\\SUB\\a.txt\r\nCOP C:\\s\\a %T%\\a.txt", {}, ERROR_SUCCESS, L"", 0,
       {L"sub"}},
      {"a file in the way stops it there",
       "COP C:\\s\\a %T%\\new\\a.txt\r\nCOP C:\\s\\a %T%\\file.txt\\x\\a.txt\r\n"
       "COP C:\\s\\a %T%\\later\\a.txt",
       {L"new"}, ERROR_ALREADY_EXISTS, L"file.txt", 2, {L"sub", L"new"}},
      {"a folder Windows refuses for its length refuses the script before anything is made",
       "COP C:\\s\\a %T%\\new\\a.txt\r\nCOP C:\\s\\a %T%\\%248%\\a.txt", {},
       ERROR_FILENAME_EXCED_RANGE, L"%248%", 2, {L"sub"}},
      {"a relative target refuses the script before anything is made",
       "COP C:\\s\\a %T%\\new\\a.txt\r\nCOP C:\\s\\a rel\\a.txt", {}, ERROR_BAD_PATHNAME,
       L"<rel\\a.txt>", 2, {L"sub"}},
      {"lines without a target, and RUN lines, need nothing",
       "COP\r\nCOPC:\\x\r\nRUN C:\\x\\y\\z.exe\r\nXXX C:\\q\\r\\s", {}, ERROR_SUCCESS, L"", 0,
       {L"sub"}},
      {"the script as the updater reads it: a byte-order mark, CR LF, the end at 0x1A",
       "\xEF\xBB\xBF" "COP C:\\s\\a %T%\\one\\a\r\n\x1A" "COP C:\\s\\a %T%\\two\\a", {L"one"},
       ERROR_SUCCESS, L"", 0, {L"sub", L"one"}},
  };
  for (const auto& row : rows) {
    const TempFolder folder;
    const std::wstring installed = folder.File(L"app");
    CreateDirectoryW(installed.c_str(), nullptr);
    CreateDirectoryW((installed + L"\\sub").c_str(), nullptr);
    WriteBytes(installed + L"\\file.txt", "a file");
    // Wine would create it: the limit is Windows' own.
    const std::wstring name248(248 - installed.size() - 1, L'x');
    std::string script = row.script;
    for (std::size_t at = script.find("%T%"); at != std::string::npos; at = script.find("%T%")) {
      script.replace(at, 3, Narrow(installed));
    }
    const std::size_t at248 = script.find("%248%");
    if (at248 != std::string::npos) script.replace(at248, 5, Narrow(name248));
    const std::wstring scriptPath = folder.File(L"update.txt");
    WriteBytes(scriptPath, script);

    const TargetFoldersResult result = CreateTargetFolders(scriptPath);
    std::vector<std::wstring> created;
    for (const std::wstring& path : result.Created) {
      created.push_back(path.substr(0, installed.size() + 1) == installed + L"\\"
                            ? path.substr(installed.size() + 1)
                            : L"<" + path + L">");
    }
    EXPECT_EQ(created, row.created) << row.row;
    EXPECT_EQ(result.Error, row.error) << row.row;
    const std::wstring failed =
        result.Failed.empty() ? L""
        : result.Failed.substr(0, installed.size() + 1) == installed + L"\\"
            ? result.Failed.substr(installed.size() + 1)
            : L"<" + result.Failed + L">";
    EXPECT_EQ(failed, row.failed == L"%248%" ? name248 : row.failed) << row.row;
    EXPECT_EQ(result.Line, row.line) << row.row;
    EXPECT_EQ(FoldersBelow(installed), row.foldersAfter) << row.row;
    EXPECT_EQ(ReadBytes(installed + L"\\file.txt"), "a file") << row.row;
    EXPECT_EQ(ReadBytes(scriptPath), script) << row.row << ": the script is only read";
  }
}

TEST(CreateTargetFolders, SaysWhatWindowsRefuses) {
  const TempFolder folder;
  const struct {
    const char* row;
    std::string script;
    std::wstring failed;  // empty: the script itself
  } rows[] = {
      {"no script", "", L""},
      {"a character Windows forbids in a name",
       "COP C:\\s\\a " + Narrow(folder.Path()) + "\\a|b\\c.txt", folder.File(L"a|b")},
      {"a folder that cannot be made on a drive that does not exist", "COP C:\\s\\a Q:\\x\\c.txt",
       L"Q:\\x"},
  };
  for (const auto& row : rows) {
    const std::wstring scriptPath = folder.File(L"update.txt");
    DeleteFileW(scriptPath.c_str());
    if (!row.script.empty()) WriteBytes(scriptPath, row.script);
    const TargetFoldersResult result = CreateTargetFolders(scriptPath);
    EXPECT_NE(result.Error, static_cast<DWORD>(ERROR_SUCCESS)) << row.row;
    EXPECT_EQ(result.Failed, row.failed.empty() ? scriptPath : row.failed) << row.row;
    EXPECT_TRUE(result.Created.empty()) << row.row;
  }
  EXPECT_EQ(CreateTargetFolders(folder.File(L"none.txt")).Error,
            static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

#endif  // _WIN32

}  // namespace
