// The release workflow end to end, as a release engineer and the application
// run it: `devidudi-script make` writes the script from the old and the new
// version, `verify` proves it on a copy, `preflight` checks the machine, and
// the application starts the real devidudi.exe on it through the launcher.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/peer_process.h"
#include "support/test_files.h"
#include "updater_client/target_folders.h"
#include "updater_client/updater_client.h"

namespace {

constexpr ULONGLONG kOldTime = 127000000000000000ULL;
constexpr ULONGLONG kNewTime = 133000000000000000ULL;
// The updater waits 5 s before its checks; this bounds the whole update.
constexpr DWORD kUpdateWaitMs = 60000;

struct ToolRun {
  DWORD exitCode = STILL_ACTIVE;
  std::string output;  // standard output and standard error together
};

// Runs devidudi-script.exe beside the test with the arguments, its output
// going to a file in folder.
ToolRun RunTool(const TempFolder& folder, const std::wstring& arguments) {
  static int runs = 0;
  const std::wstring outputPath = folder.File(L"tool-output-" + std::to_wstring(++runs) + L".txt");
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  const HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (output == INVALID_HANDLE_VALUE) return {};
  std::wstring commandLine = L"\"" + HelperPath(L"devidudi-script.exe") + L"\" " + arguments;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = output;
  startup.hStdError = output;
  PROCESS_INFORMATION process{};
  ToolRun run;
  if (CreateProcessOnceMore(commandLine, TRUE, CREATE_NO_WINDOW, startup, process)) {
    CloseHandle(process.hThread);
    WaitForSingleObject(process.hProcess, kUpdateWaitMs);
    GetExitCodeProcess(process.hProcess, &run.exitCode);
    CloseHandle(process.hProcess);
  }
  CloseHandle(output);
  run.output = ReadBytes(outputPath);
  return run;
}

std::wstring Q(const std::wstring& text) { return L"\"" + text + L"\""; }

// An installed PexaMenu 1.0 (old\, copied to app\) and its 2.0 (new\): one
// file changed, one added, one the same, one changed in a subfolder, and one
// that only 1.0 has.
struct Release {
  TempFolder folder;
  // A folder without a name, a file with one. A folder's path has no final
  // backslash: before a closing quote, the runtime would read it as a quote.
  std::wstring Old(const std::wstring& name = L"") const { return In(L"old", name); }
  std::wstring New(const std::wstring& name = L"") const { return In(L"new", name); }
  std::wstring App(const std::wstring& name = L"") const { return In(L"app", name); }
  std::wstring In(const std::wstring& root, const std::wstring& name) const {
    return folder.File(name.empty() ? root : root + L"\\" + name);
  }
  std::wstring Script() const { return folder.File(L"update.txt"); }
  const std::vector<std::wstring> newFiles = {L"PexaMenu.exe", L"menu.txt", L"same.txt",
                                              L"data\\prices.csv"};

  Release() {
    for (const std::wstring& root : {Old(), New(), App()}) {
      CreateDirectoryW(root.c_str(), nullptr);
      CreateDirectoryW((root + L"\\data").c_str(), nullptr);
    }
    Write(Old(L"PexaMenu.exe"), "MZ old program", kOldTime);
    Write(Old(L"same.txt"), "unchanged", kOldTime);
    Write(Old(L"data\\prices.csv"), "soup;3.50", kOldTime);
    Write(Old(L"legacy.dll"), "only in 1.0: stays, for a script deletes nothing", kOldTime);
    Write(New(L"PexaMenu.exe"), "MZ new program, longer", kNewTime);
    Write(New(L"menu.txt"), "added in 2.0", kNewTime + 1);
    Write(New(L"same.txt"), "unchanged", kOldTime);
    Write(New(L"data\\prices.csv"), "soup;3.90", kNewTime + 2);
    for (const wchar_t* name : {L"PexaMenu.exe", L"same.txt", L"data\\prices.csv", L"legacy.dll"}) {
      CopyFileW(Old(name).c_str(), App(name).c_str(), FALSE);
    }
  }
  static void Write(const std::wstring& path, const std::string& bytes, ULONGLONG time) {
    WriteBytes(path, bytes);
    SetTimes(path, time, time);
  }
  std::wstring Roots() const {
    return L"--old " + Q(Old()) + L" --new " + Q(New()) + L" --source-root " + Q(New()) +
           L" --target-root " + Q(App());
  }
};

// The folder as the updater must leave it: every file of new\ in app\ with
// its contents and last-write time. Names the first file that differs.
std::wstring FirstDifference(const Release& release, const std::vector<std::wstring>& names) {
  for (const std::wstring& name : names) {
    if (!FileExists(release.App(name))) return name + L" missing";
    if (ReadBytes(release.App(name)) != ReadBytes(release.New(name))) return name + L" contents";
    if (TimesOf(release.App(name)).written != TimesOf(release.New(name)).written) {
      return name + L" last-write time";
    }
  }
  return L"";
}

TEST(ReleaseWorkflow, MadeVerifiedPreflightedScriptUpdatesTheInstalledFolder) {
  Release release;
  const ToolRun made = RunTool(release.folder, L"make " + release.Roots() + L" -o " +
                                                   Q(release.Script()));
  ASSERT_EQ(made.exitCode, 0u) << made.output;
  ASSERT_TRUE(FileExists(release.Script())) << made.output;

  const ToolRun verified =
      RunTool(release.folder, L"verify " + release.Roots() + L" " + Q(release.Script()));
  EXPECT_EQ(verified.exitCode, 0u) << verified.output;
  const ToolRun preflight = RunTool(release.folder, L"preflight " + Q(release.Script()));
  EXPECT_EQ(preflight.exitCode, 0u) << preflight.output;
  const ToolRun linted = RunTool(release.folder, L"lint " + Q(release.Script()));
  EXPECT_EQ(linted.exitCode, 0u) << linted.output;

  devidudi::LaunchResult launched =
      devidudi::LaunchUpdater(HelperPath(L"devidudi.exe"), release.Script());
  ASSERT_TRUE(launched.Process.IsValid()) << "error " << launched.Error;
  ASSERT_EQ(WaitForSingleObject(launched.Process.Get(), kUpdateWaitMs), WAIT_OBJECT_0);
  DWORD exitCode = STILL_ACTIVE;
  GetExitCodeProcess(launched.Process.Get(), &exitCode);
  EXPECT_EQ(exitCode, 0u);

  EXPECT_EQ(FirstDifference(release, release.newFiles), L"");
  EXPECT_FALSE(FileExists(release.Script())) << "the updater deletes the script it ran";
  EXPECT_EQ(ReadBytes(release.Old(L"PexaMenu.exe")), "MZ old program") << "old\\ is never changed";
}

// A 2.0 that brings folders 1.0 lacks: make --new-folders writes the script,
// verify and preflight take the folders as the application's, and the
// application creates them with CreateTargetFolders before it starts the
// real updater, which then fills them.
TEST(ReleaseWorkflow, NewFoldersAreCreatedByTheApplicationBeforeTheUpdate) {
  Release release;
  for (const wchar_t* folder : {L"plugins", L"locale", L"locale\\de"}) {
    CreateDirectoryW(release.New(folder).c_str(), nullptr);
  }
  const std::vector<std::wstring> added = {L"plugins\\extra.dll",
                                           L"locale\\de\\Men\u00FC.txt"};
  Release::Write(release.New(added[0]), "MZ a plugin", kNewTime + 3);
  Release::Write(release.New(added[1]), "Speisekarte", kNewTime + 4);
  std::vector<std::wstring> newFiles = release.newFiles;
  newFiles.insert(newFiles.end(), added.begin(), added.end());

  const std::wstring make = L"make " + release.Roots() + L" -o " + Q(release.Script());
  const ToolRun refused = RunTool(release.folder, make);
  EXPECT_EQ(refused.exitCode, 1u) << refused.output;
  EXPECT_NE(refused.output.find("--new-folders"), std::string::npos) << refused.output;
  ASSERT_FALSE(FileExists(release.Script())) << refused.output;

  const ToolRun made = RunTool(release.folder, make + L" --new-folders");
  ASSERT_EQ(made.exitCode, 0u) << made.output;
  // Standard error is in text mode on Windows: a line may end in CR LF.
  for (const char* planned : {"cd+++ locale/", "cd+++ locale/de/", "cd+++ plugins/"}) {
    const std::string line = planned;
    const bool listed = made.output.find(line + "\n") != std::string::npos ||
                        made.output.find(line + "\r\n") != std::string::npos;
    EXPECT_TRUE(listed) << planned << "\n" << made.output;
  }
  EXPECT_NE(made.output.find("CreateTargetFolders"), std::string::npos) << made.output;
  const std::wstring verify = L"verify " + release.Roots() + L" " + Q(release.Script());
  EXPECT_EQ(RunTool(release.folder, verify).exitCode, 1u) << "without the flag";
  const ToolRun verified = RunTool(release.folder, verify + L" --new-folders");
  EXPECT_EQ(verified.exitCode, 0u) << verified.output;
  const std::wstring preflight = L"preflight " + Q(release.Script());
  EXPECT_EQ(RunTool(release.folder, preflight).exitCode, 1u) << "without the flag";
  const ToolRun preflighted = RunTool(release.folder, preflight + L" --new-folders");
  EXPECT_EQ(preflighted.exitCode, 0u) << preflighted.output;
  EXPECT_NE(preflighted.output.find(": info: the folder"), std::string::npos)
      << preflighted.output;

  // The application's part.
  const devidudi::TargetFoldersResult folders = devidudi::CreateTargetFolders(release.Script());
  ASSERT_EQ(folders.Error, static_cast<DWORD>(ERROR_SUCCESS)) << Narrow(folders.Failed);
  EXPECT_EQ(folders.Created, (std::vector<std::wstring>{release.App(L"locale"),
                                                         release.App(L"locale\\de"),
                                                         release.App(L"plugins")}));
  devidudi::LaunchResult launched =
      devidudi::LaunchUpdater(HelperPath(L"devidudi.exe"), release.Script());
  ASSERT_TRUE(launched.Process.IsValid()) << "error " << launched.Error;
  ASSERT_EQ(WaitForSingleObject(launched.Process.Get(), kUpdateWaitMs), WAIT_OBJECT_0);

  EXPECT_EQ(FirstDifference(release, newFiles), L"");
  EXPECT_FALSE(FileExists(release.Script())) << "the updater ran the script to its end";
  EXPECT_EQ(NamesIn(release.App(L"locale\\de")), NamesIn(release.New(L"locale\\de")));
}

TEST(ReleaseWorkflow, HandBrokenScriptFailsVerifyAndPreflightAtItsLine) {
  Release release;
  const ToolRun made = RunTool(release.folder, L"make " + release.Roots() + L" -o " +
                                                   Q(release.Script()));
  ASSERT_EQ(made.exitCode, 0u) << made.output;

  // The second line's source is misspelt, as a hand edit would leave it.
  std::string script = ReadBytes(release.Script());
  const std::size_t secondLine = script.find("\r\n") + 2;
  const std::size_t source = script.find("\\new\\", secondLine);
  ASSERT_NE(source, std::string::npos) << script;
  script.insert(source + 5, "x");
  WriteBytes(release.Script(), script);

  const ToolRun verified =
      RunTool(release.folder, L"verify " + release.Roots() + L" " + Q(release.Script()));
  EXPECT_EQ(verified.exitCode, 1u) << verified.output;
  EXPECT_NE(verified.output.find("update.txt:2:"), std::string::npos) << verified.output;
  const ToolRun preflight = RunTool(release.folder, L"preflight " + Q(release.Script()));
  EXPECT_EQ(preflight.exitCode, 1u) << preflight.output;
  EXPECT_NE(preflight.output.find("update.txt:2:"), std::string::npos) << preflight.output;
  EXPECT_EQ(ReadBytes(release.App(L"PexaMenu.exe")), "MZ old program") << "nothing was applied";
}

}  // namespace
