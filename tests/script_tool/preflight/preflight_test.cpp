// preflight under Wine, run as an unprivileged user (tests/CMakeLists.txt):
// as root Wine would ignore the read-only attribute and folder permissions.
#ifdef _WIN32

#include "script_tool/preflight/preflight_checks.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/update_messages.h"
#include "support/peer_process.h"
#include "support/test_files.h"

namespace {

// Every name below a folder with its size, attributes and last-write time.
std::map<std::wstring, std::wstring> Listing(const std::wstring& folder) {
  std::map<std::wstring, std::wstring> entries;
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return entries;
  do {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    entries[folder + L"\\" + name] =
        std::to_wstring(found.nFileSizeLow) + L" " + std::to_wstring(found.dwFileAttributes) +
        L" " + std::to_wstring(found.ftLastWriteTime.dwLowDateTime) + L" " +
        std::to_wstring(found.ftLastWriteTime.dwHighDateTime);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      const auto inner = Listing(folder + L"\\" + name);
      entries.insert(inner.begin(), inner.end());
    }
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries;
}

std::string Replace(std::string text, const std::string& mark, const std::string& by) {
  for (std::size_t at = text.find(mark); at != std::string::npos; at = text.find(mark, at)) {
    text.replace(at, mark.size(), by);
    at += by.size();
  }
  return text;
}

std::string Found(const std::vector<Finding>& findings) {
  std::string listed;
  for (const Finding& finding : findings) {
    listed += std::to_string(finding.Line) + ": [" + std::string(finding.Code) + "] " +
              finding.Message + "\n";
  }
  return listed;
}

// A target machine in a temporary folder: D is the folder, N a folder
// without write permission, B the updater's folder.
class Machine {
 public:
  Machine() {
    CreateDirectoryW(folder_.File(L"sub").c_str(), nullptr);
    CreateDirectoryW(folder_.File(L"bin").c_str(), nullptr);
    CreateDirectoryW(folder_.File(L"My Tools").c_str(), nullptr);
    CreateDirectoryW(folder_.File(L"Program Files").c_str(), nullptr);
    CreateDirectoryW(folder_.File(L"Program Files\\App").c_str(), nullptr);
    for (const wchar_t* name : {L"exists.txt", L"free.txt", L"ro.txt", L"held.txt",
                                L"bin\\tool.exe", L"My Tools\\tool.exe",
                                L"Program Files\\App\\App.exe"}) {
      WriteBytes(folder_.File(name), "data");
    }
    SetReadOnly(folder_.File(L"ro.txt"), true);
    holder_ = std::make_unique<FileHolder>(folder_.File(L"held.txt"), L"r", L"-");
  }
  ~Machine() {
    holder_.reset();
    SetReadOnly(folder_.File(L"ro.txt"), false);
  }

  std::wstring Folder() const { return folder_.Path(); }
  std::wstring File(const wchar_t* name) const { return folder_.File(name); }

  // %248% is a name that makes a folder in D 248 units long.
  std::string Script(const std::string& lines) const {
    std::string text = Replace(lines, "%D%", Narrow(folder_.Path()));
    text = Replace(text, "%248%", std::string(248 - folder_.Path().size() - 1, 'x'));
    return Replace(text, "%N%", Narrow(FixturePath(L"nowrite")));
  }

  void WriteScript(const std::string& lines) const {
    WriteBytes(folder_.File(L"upd.txt"), Script(lines));
  }

  std::vector<Finding> Preflight(const std::string& lines, bool newFolders = false) const {
    PreflightSetup setup{folder_.File(L"upd.txt"), folder_.File(L"bin")};
    setup.NewFolders = newFolders;
    return PreflightScript(ParseScriptLines(Script(lines)), setup);
  }

 private:
  TempFolder folder_;
  std::unique_ptr<FileHolder> holder_;
};

// A finding as a case expects it: its line, its code, words of its message.
struct Expected {
  std::size_t line;
  const char* code;
  std::string words;
};

TEST(Preflight, FindsWhatTheUpdaterWouldStopAtAndChangesNothing) {
  const struct {
    const char* why;
    std::string script;  // lines joined by CR LF; %D% the folder, %N% no write
    std::vector<Expected> findings;
    bool newFolders = false;  // the application's folders are DP181, info
    std::vector<const wchar_t*> planted = {};  // more files in D, for this case alone
  } cases[] = {
      {"a good script",
       "COP %D%\\exists.txt\t%D%\\new.txt\r\nCOP %D%\\exists.txt %D%\\free.txt\r\n"
       "RUN cmd /c exit\r\n",
       {}},
      {"missing source", "COP %D%\\none.txt %D%\\free.txt", {{1, "DP106", "is missing"}}},
      {"folder source", "COP %D%\\sub %D%\\free.txt",
       {{1, "DP107", "is a folder: the updater stops at \"Can't access source files\""}}},
      {"folder target", "COP %D%\\exists.txt %D%\\sub", {{1, "DP108", "is a folder"}}},
      {"read-only target", "COP %D%\\exists.txt %D%\\ro.txt", {{1, "DP109", "is read-only"}}},
      {"target in use", "COP %D%\\exists.txt %D%\\held.txt", {{1, "DP110", "is in use"}}},
      {"target in a missing folder", "COP %D%\\exists.txt %D%\\none\\new.txt",
       {{1, "DP112",
         "none\" is missing, with 1 COP target below it; the updater creates no folders: it "
         "stops at \"Write access to file missing\"; the application must create it before it "
         "starts the updater (CreateTargetFolders): with --new-folders preflight takes it"}}},
      // One finding a folder, as make's DM006, not one a file.
      {"targets in missing folders, each folder once, at its first line",
       "COP %D%\\exists.txt %D%\\none\\a.txt\r\nCOP %D%\\exists.txt %D%\\free.txt\r\n"
       "COP %D%\\exists.txt %D%\\NONE\\deep\\b.txt\r\nCOP %D%\\exists.txt %D%\\none/c.txt\r\n"
       "COP %D%\\exists.txt %D%\\other\\d.txt",
       {{1, "DP112", "none\" is missing, with 3 COP targets below it"},
        {3, "DP112", "deep\" is missing, with 1 COP target below it"},
        {5, "DP112", "other\" is missing, with 1 COP target below it"}}},
      {"a file where a target's folder must be",
       "COP %D%\\exists.txt %D%\\exists.txt\\a.txt",
       {{1, "DP112", "exists.txt\" is a file here, with 1 COP target below it"}}},
      {"a folder too long for Windows, without --new-folders",
       "COP %D%\\exists.txt %D%\\%248%\\a.txt",
       {{1, "DP112", "the application cannot create it either: the folder's path is 248"}}},
      {"with --new-folders, each missing folder once, told as info",
       "COP %D%\\exists.txt %D%\\none\\deep\\new.txt\r\nCOP %D%\\exists.txt %D%\\NONE\\b.txt\r\n"
       "COP %D%\\exists.txt %D%\\free.txt\r\nCOP %D%\\exists.txt %D%\\none/deep/c.txt",
       {{1, "DP181", "none\" is missing: created by the application"},
        {1, "DP181", "deep\" is missing: created by the application"}},
       true},
      {"with --new-folders, a file where a folder must be",
       "COP %D%\\exists.txt %D%\\exists.txt\\x\\new.txt",
       {{1, "DP119", "exists.txt\" cannot be created by the application: a file of that name is there"},
        {1, "DP112", "exists.txt\" is a file here, with 1 COP target below it"},
        {1, "DP112", "x\" is missing, with 1 COP target below it; the updater creates no "
                     "folders: it stops at \"Write access to file missing\", and the "
                     "application's creating of folders stops before it (DP119)"}},
       true},
      {"with --new-folders, a folder too long for Windows: none is created",
       "COP %D%\\exists.txt %D%\\none\\a.txt\r\nCOP %D%\\exists.txt %D%\\%248%\\a.txt",
       {{1, "DP112", "none\" is missing, with 1 COP target below it"},
        {2, "DP119", "cannot be created by the application: the folder's path is 248"},
        {2, "DP112", " is missing, with 1 COP target below it"}},
       true},
      {"target in a folder without write access", "COP %D%\\exists.txt\t%N%\\new.txt",
       {{1, "DP113", "cannot be created in"}}},
      // It may be written, but the copy's temporary file cannot be made there.
      {"an existing target there", "COP %D%\\exists.txt\t%N%\\upd.txt",
       {{1, "DP120", "does not let a file be created, though the target may be written"}}},
      {"no separator", "COP%D%\\exists.txt", {{1, "DP104", "COP without a source and a target"}}},
      {"every problem at once, each with its line",
       "COP %D%\\none.txt %D%\\held.txt\r\nRUN %D%\\none.exe\r\nCOP %D%\\exists.txt %D%\\ro.txt",
       {{1, "DP106", "is missing"},
        {1, "DP110", "is in use"},
        {2, "DP118", "is not found"},
        {3, "DP109", "is read-only"}}},
      {"a program in the updater's folder, .exe appended", "RUN tool /x", {}},
      {"a program in a system folder", "RUN cmd.exe /c exit", {}},
      {"a full path, .exe appended", "RUN %D%\\bin\\tool /x", {}},
      {"an unquoted path with blanks, by the longer name", "RUN %D%\\My Tools\\tool.exe /x", {}},
      {"an unquoted path, first word missing", "RUN %D%\\My Tools\\none.exe /x",
       {{1, "DP118", "nor any longer name"}}},
      // CreateProcessW tries "%D%\Program" (with ".exe") before the whole path.
      {"an unquoted path with blanks, no shorter name is a file",
       "RUN %D%\\Program Files\\App\\App.exe /unquoted", {}},
      {"an unquoted path with blanks, a shorter name up to a blank is a file",
       "RUN %D%\\Program Files\\App\\App.exe /unquoted",
       {{1, "DP122", "\\Program.exe\", not the program it names"}},
       false,
       {L"Program.exe"}},
      {"a quoted path with blanks, a shorter name is a file",
       "RUN \"%D%\\Program Files\\App\\App.exe\" /quoted", {}, false, {L"Program.exe"}},
      {"an unquoted path with blanks, the second name tried is a file",
       "RUN %D%\\Program Files\\My App\\App.exe /unquoted",
       {{1, "DP122",
         "\\Program Files\\My\" with \".exe\" added; put the program's path in quotation marks "
         "(RUN \""}},
       false,
       {L"Program Files\\My.exe"}},
      // The program named is cmd: what follows a switch is an argument.
      {"a program without blanks, a later word with an extension",
       "RUN cmd /c exit C:\\x\\post.cmd", {}},
      {"a quoted program that does not exist", "RUN \"%D%\\My Tools\\none.exe\" /x",
       {{1, "DP118", "is not found"}}},
      {"a program in the script's folder only", "RUN upd.txt", {{1, "DP118", "is not found"}}},
      {"a command line too long", "RUN cmd /c rem " + std::string(250, 'x'),
       {{1, "DP116", "the updater starts none of 256 or more"}}},
      {"an empty command line", "RUN ", {{1, "DP117", "the command line is empty"}}},
      {"a command line after a blank", "RUN  cmd /c exit",
       {{1, "DP117", "starts with a space, before any program name"}}},
  };
  for (const auto& c : cases) {
    const Machine machine;
    machine.WriteScript(c.script);
    for (const wchar_t* name : c.planted) WriteBytes(machine.File(name), "MZ planted");
    const auto before = Listing(machine.Folder());
    const auto noWriteBefore = Listing(FixturePath(L"nowrite"));
    const std::vector<Finding> findings = machine.Preflight(c.script, c.newFolders);

    EXPECT_EQ(findings.size(), c.findings.size()) << c.why << "\n" << Found(findings);
    for (std::size_t i = 0; i < findings.size() && i < c.findings.size(); ++i) {
      EXPECT_EQ(findings[i].Line, c.findings[i].line) << c.why << "\n" << Found(findings);
      EXPECT_EQ(findings[i].Code, c.findings[i].code) << c.why << "\n" << Found(findings);
      EXPECT_NE(findings[i].Message.find(c.findings[i].words), std::string::npos)
          << c.why << "\n" << Found(findings);
    }
    EXPECT_EQ(Listing(machine.Folder()), before) << c.why << ": something was changed";
    EXPECT_EQ(Listing(FixturePath(L"nowrite")), noWriteBefore) << c.why;
  }
}

TEST(Preflight, ChecksTheScriptsFolderAsTheUpdaterProbesIt) {
  const TempFolder folder;
  const std::wstring readOnlyScript = folder.File(L"upd.txt");
  WriteBytes(readOnlyScript, "");
  SetReadOnly(readOnlyScript, true);
  const std::wstring script = folder.File(L"script.txt");
  WriteBytes(script, "");
  // Wine lets no folder refuse deletion alone: the probe's deletion fails
  // here instead, and the probe stays as it would stay in such a folder.
  const auto undeletable = [](const std::wstring&) { return false; };
  const struct {
    const char* why;
    std::wstring script;
    std::string words;
    const char* code;
    bool (*deleteProbe)(const std::wstring&);
  } cases[] = {
      {"a folder without write access", FixturePath(L"nowrite\\upd.txt"),
       "does not let the updater create its probe file", "DP101", nullptr},
      {"a read-only script", readOnlyScript, "the script is read-only", "DP103", nullptr},
      {"a folder where a file can be created but not deleted", script,
       "\"Delete access to folder missing\"", "DP102", undeletable},
  };
  for (const auto& c : cases) {
    const auto before = Listing(FolderText(c.script));
    PreflightSetup setup{c.script, FolderText(c.script)};
    setup.DeleteProbe = c.deleteProbe;
    const auto findings = PreflightScript({}, setup);
    ASSERT_EQ(findings.size(), 1u) << c.why << "\n" << Found(findings);
    EXPECT_EQ(findings[0].Line, 0u) << c.why;
    EXPECT_EQ(findings[0].Code, c.code) << c.why;
    EXPECT_NE(findings[0].Message.find(c.words), std::string::npos) << c.why << "\n"
                                                                    << Found(findings);
    auto after = Listing(FolderText(c.script));
    if (c.deleteProbe != nullptr) {
      // The one probe left behind is named, so that the user can delete it.
      std::vector<std::wstring> added;
      for (const auto& [path, facts] : after) {
        if (before.count(path) == 0) added.push_back(path);
      }
      ASSERT_EQ(added.size(), 1u) << c.why;
      const std::wstring name = added[0].substr(added[0].rfind(L'\\') + 1);
      EXPECT_NE(findings[0].Message.find(Narrow(name)), std::string::npos)
          << c.why << "\n" << Found(findings);
      EXPECT_TRUE(DeleteFileW(added[0].c_str())) << c.why;
      after.erase(added[0]);
    }
    EXPECT_EQ(after, before) << c.why;
  }
  SetReadOnly(readOnlyScript, false);
}

}  // namespace

#endif  // _WIN32
