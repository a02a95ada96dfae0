#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "script_tool/script_file.h"
#include "script_tool/verify_replay.h"
#include "names/text_conversions.h"
#include "script_tool/windows_paths.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

TEST(WindowsPaths, NamesBelowRootCompareAsWindowsDoes) {
  const struct {
    std::string path, root;
    bool below;
    std::vector<std::string> names;
  } cases[] = {
      {"C:\\App\\a.txt", "C:\\App", true, {"a.txt"}},
      {"c:\\APP\\Sub\\a.txt", "C:\\app\\", true, {"Sub", "a.txt"}},
      {"C:/App//sub\\.\\a", "C:\\App", true, {"sub", "a"}},
      {"C:\\App\\\xE9t\xE9", "C:\\App", true, {"\xE9t\xE9"}},
      {"C:\\\xC9T\xC9\\x", "c:\\\xE9t\xE9", true, {"x"}},
      {"C:\\Apps\\a.txt", "C:\\App", false, {}},
      {"D:\\App\\a.txt", "C:\\App", false, {}},
      {"C:\\App", "C:\\App", true, {}},
      {"a.txt", "C:\\App", false, {}},
      {"C:\\App\\a", "", false, {}},
  };
  for (const auto& c : cases) {
    const auto names = NamesBelowRoot(SplitWindowsPath(c.path), SplitWindowsPath(c.root));
    ASSERT_EQ(names.has_value(), c.below) << c.path << " below " << c.root;
    if (names) {
      EXPECT_EQ(*names, c.names) << c.path << " below " << c.root;
    }
  }
}

TEST(WindowsPaths, Latin1AndUtf8) {
  const struct {
    std::string utf8;
    bool latin1;
    std::string bytes;
  } cases[] = {
      {"plain", true, "plain"},
      {"caf\xC3\xA9", true, "caf\xE9"},
      {"\xC3\xBF\xC2\x80", true, "\xFF\x80"},
      {"\xE2\x82\xAC", false, ""},     // the euro sign lies beyond Latin-1
      {"\xC5\x93", false, ""},         // so does the oe ligature
      {"\xC3", false, ""},             // cut short
      {"\xC3\x41", false, ""},         // not UTF-8
  };
  for (const auto& c : cases) {
    const auto latin1 = Utf8ToLatin1(c.utf8);
    ASSERT_EQ(latin1.has_value(), c.latin1) << c.utf8;
    if (!latin1) continue;
    EXPECT_EQ(*latin1, c.bytes) << c.utf8;
    EXPECT_EQ(Latin1ToUtf8(*latin1), c.utf8) << c.utf8;
  }
}

// A file of a tree: its contents and how many hours before the base time it
// was last written.
struct TreeFile {
  std::string contents;
  int hoursOld = 0;
};
using TreeSpec = std::map<std::string, TreeFile>;  // UTF-8 path with "/" -> file

const fs::file_time_type kBaseTime =
    std::chrono::time_point_cast<fs::file_time_type::duration>(fs::file_time_type::clock::now());

class VerifyFolders {
 public:
  fs::path Folder(const std::string& name, const TreeSpec& files) const {
    const fs::path folder = root_ / name;
    fs::create_directories(folder);
    for (const auto& [path, file] : files) {
      const fs::path full = folder / fs::u8path(path);
      if (path.back() == '/') {
        fs::create_directories(full);
        continue;
      }
      fs::create_directories(full.parent_path());
      std::ofstream(full, std::ios::binary) << file.contents;
      fs::last_write_time(full, kBaseTime - std::chrono::hours(file.hoursOld));
    }
    return folder;
  }

 private:
  const ScratchFolder scratch_{"verify-test"};
  const fs::path& root_ = scratch_.Path();
};

std::string Script(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const std::string& line : lines) bytes += line + "\r\n";
  return bytes;
}

std::string Differences(const VerifyReport& report) {
  std::string listed;
  for (const TreeDifference& difference : report.Differences) {
    listed += std::string(KindWord(difference.What)) + " " + difference.Path + "; ";
  }
  for (const std::string& kept : report.Kept) listed += "kept " + kept + "; ";
  return listed;
}

std::string FindingLines(const VerifyReport& report) {
  std::string listed;
  for (const LineFinding& finding : report.Findings) {
    listed += std::to_string(finding.Line) + ": " + finding.Message + "; ";
  }
  return listed;
}

const TreeSpec kOld = {
    {"PexaMenu.exe", {"old program", 48}},
    {"readme.txt", {"read me", 48}},
    {"lib/core.dll", {"old core", 48}},
    {"empty/", {}},
};

TEST(VerifyScript, AppliesTheScriptAndListsEveryDifference) {
  const TreeSpec kNew = {
      {"PexaMenu.exe", {"new program", 1}},
      {"readme.txt", {"read me", 48}},
      {"lib/core.dll", {"new core", 1}},
      {"lib/extra.dll", {"added", 2}},
      {"empty/", {}},
  };
  const std::string kGood0 = "COP C:\\Stage\\PexaMenu.exe\tC:\\App\\PexaMenu.exe";
  const std::string kGood1 = "COP C:\\Stage\\lib\\core.dll C:\\App\\lib\\core.dll";
  const std::string kGood2 = "COP C:\\Stage\\lib\\extra.dll\tC:\\App\\lib\\extra.dll";
  const struct {
    const char* why;
    TreeSpec newTree;
    std::vector<std::string> script;
    std::string differences;
  } cases[] = {
      {"a correct script", kNew, {kGood0, kGood1, kGood2, "RUN C:\\App\\PexaMenu.exe"}, ""},
      {"names in another case, as Windows reads them", kNew,
       {"COP c:\\stage\\PEXAMENU.EXE\tc:\\app\\pexamenu.exe",
        "COP C:\\STAGE\\LIB\\Core.DLL C:\\APP\\Lib\\CORE.dll", kGood2},
       ""},
      {"a changed file left out", kNew, {kGood0, kGood2}, "contents lib/core.dll; "},
      {"a new file left out", kNew, {kGood0, kGood1}, "missing lib/extra.dll; "},
      {"the wrong file copied", kNew,
       {kGood0, "COP C:\\Stage\\lib\\extra.dll C:\\App\\lib\\core.dll", kGood2},
       "contents lib/core.dll; "},
      {"a copy within the installed folder", kNew,
       {kGood0, kGood1, kGood2, "COP C:\\App\\readme.txt C:\\App\\readme.bak"},
       "extra readme.bak; "},
      {"a file only in OLD that a COP line rewrote",
       {{"PexaMenu.exe", {"new program", 1}}, {"lib/core.dll", {"new core", 1}},
        {"lib/extra.dll", {"added", 2}}, {"empty/", {}}},
       {kGood0, kGood1, kGood2, "COP C:\\Stage\\lib\\extra.dll\tC:\\App\\README.TXT"},
       "extra readme.txt; "},
      {"an unchanged file with a new time",
       {{"PexaMenu.exe", {"old program", 1}}, {"readme.txt", {"read me", 48}},
        {"lib/core.dll", {"old core", 48}}, {"empty/", {}}},
       {},
       "time PexaMenu.exe; "},
      {"a file only in OLD",
       {{"readme.txt", {"read me", 48}}, {"lib/core.dll", {"old core", 48}}, {"empty/", {}}},
       {},
       "kept PexaMenu.exe; "},
      {"a folder of NEW that OLD lacks", {{"PexaMenu.exe", {"old program", 48}},
       {"readme.txt", {"read me", 48}}, {"lib/core.dll", {"old core", 48}}, {"empty/", {}},
       {"plugins/", {}}},
       {},
       "missing plugins; "},
      {"a folder where OLD has a file", {{"PexaMenu.exe", {"old program", 48}},
       {"readme.txt/inner.txt", {"read me", 48}}, {"lib/core.dll", {"old core", 48}},
       {"empty/", {}}},
       {},
       "file-or-folder readme.txt; "},
      {"a Latin-1 name", {{"PexaMenu.exe", {"old program", 48}}, {"readme.txt", {"read me", 48}},
       {"lib/core.dll", {"old core", 48}}, {"empty/", {}}, {"caf\xC3\xA9.txt", {"menu", 3}}},
       {"COP C:\\Stage\\caf\xE9.txt\tC:\\App\\CAF\xC9.TXT"},
       ""},
  };
  for (const auto& c : cases) {
    const VerifyFolders folders;
    const VerifySetup setup{folders.Folder("old", kOld), folders.Folder("new", c.newTree),
                            "C:\\Stage", "C:\\App\\"};
    const VerifyReport report = VerifyScript(ParseScriptLines(Script(c.script)), setup);
    EXPECT_EQ(report.Error, "") << c.why;
    EXPECT_EQ(FindingLines(report), "") << c.why;
    EXPECT_EQ(Differences(report), c.differences) << c.why;
    EXPECT_EQ(report.ExitCode(), report.Differences.empty() ? 0 : 1) << c.why;
    EXPECT_EQ(report.ExitCode(), c.differences.find("kept") == 0 || c.differences.empty() ? 0 : 1)
        << c.why << ": what stays of OLD fails nothing";
  }
}

TEST(VerifyScript, FindsWhatWouldStopTheUpdaterWithItsLine) {
  const TreeSpec kNew = {{"a.txt", {"new a", 1}}, {"sub/", {}}, {"a.txt.d/", {}}};
  const struct {
    const char* why;
    std::string line;  // the script's second line; the first is good
    std::string finding;
  } cases[] = {
      {"no separator", "COP C:\\Stage\\a.txt", "COP without a source and a target"},
      {"missing source", "COP C:\\Stage\\b.txt C:\\App\\b.txt", "source \"C:\\Stage\\b.txt\" is missing"},
      {"folder source", "COP C:\\Stage\\sub C:\\App\\b.txt", "is a folder, not a file"},
      {"folder target", "COP C:\\Stage\\a.txt C:\\App\\lib", "target \"C:\\App\\lib\" is a folder"},
      {"target in a missing folder", "COP C:\\Stage\\a.txt C:\\App\\new\\a.txt",
       "the folder of target \"C:\\App\\new\\a.txt\" is missing"},
      {"target below a file", "COP C:\\Stage\\a.txt C:\\App\\readme.txt\\a.txt",
       "the folder of target"},
      {"outside both roots", "COP D:\\Stage\\a.txt C:\\App\\a.txt",
       "\"D:\\Stage\\a.txt\" lies below neither"},
      {"a root itself", "COP C:\\Stage\\a.txt C:\\App", "names the root folder itself"},
      {"leaves the root", "COP C:\\Stage\\..\\a.txt C:\\App\\a.txt", "holds \"..\""},
      {"a name Windows changes", "COP C:\\Stage\\a.txt. C:\\App\\a.txt", "whose last dot"},
      {"onto itself", "COP C:\\App\\readme.txt C:\\APP\\README.TXT", "onto itself"},
  };
  for (const auto& c : cases) {
    const VerifyFolders folders;
    const fs::path old = folders.Folder("old", kOld);
    const VerifySetup setup{old, folders.Folder("new", kNew), "C:\\Stage", "C:\\App"};
    const auto lines =
        ParseScriptLines(Script({"COP C:\\Stage\\a.txt C:\\App\\a.txt", c.line, "RUN x.exe"}));
    const VerifyReport report = VerifyScript(lines, setup);
    ASSERT_EQ(report.Findings.size(), 1u) << c.why << ": " << FindingLines(report);
    EXPECT_EQ(report.Findings[0].Line, 2u) << c.why;
    EXPECT_NE(report.Findings[0].Message.find(c.finding), std::string::npos)
        << c.why << ": " << report.Findings[0].Message;
    EXPECT_EQ(report.Runs.size(), 1u) << c.why << ": RUN lines are listed all the same";
    EXPECT_TRUE(report.Differences.empty()) << c.why << ": nothing applied, nothing compared";
    EXPECT_EQ(report.ExitCode(), 1) << c.why;
  }
}

// Every file below a folder with its contents and last-write time.
std::map<std::string, std::pair<std::string, fs::file_time_type>> Snapshot(const fs::path& root) {
  std::map<std::string, std::pair<std::string, fs::file_time_type>> files;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    std::string contents;
    if (entry.is_regular_file()) {
      std::ifstream in(entry.path(), std::ios::binary);
      contents.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    files[entry.path().generic_u8string()] = {contents, fs::last_write_time(entry.path())};
  }
  return files;
}

std::size_t ScratchFoldersLeft() {
  std::size_t count = 0;
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
    count += entry.path().filename().u8string().rfind("devidudi-verify-", 0) == 0;
  }
  return count;
}

TEST(VerifyScript, ChangesNothingButItsOwnCopyAndRemovesIt) {
  const VerifyFolders folders;
  const fs::path old = folders.Folder("old", kOld);
  const fs::path newTree = folders.Folder("new", {{"readme.txt", {"changed", 1}}, {"b/", {}}});
  const auto before = Snapshot(old);
  const auto newBefore = Snapshot(newTree);
  const std::size_t scratchBefore = ScratchFoldersLeft();
  const VerifyReport report = VerifyScript(
      ParseScriptLines(Script({"COP C:\\S\\readme.txt C:\\T\\readme.txt",
                               "COP C:\\S\\readme.txt C:\\T\\lib\\core.dll",
                               "COP C:\\S\\readme.txt C:\\T\\lib\\new.dll"})),
      {old, newTree, "C:\\S", "C:\\T"});
  EXPECT_EQ(Differences(report),
            "missing b; extra lib; kept empty; kept PexaMenu.exe; ");
  EXPECT_EQ(Snapshot(old), before);
  EXPECT_EQ(Snapshot(newTree), newBefore);
  EXPECT_EQ(ScratchFoldersLeft(), scratchBefore);
}

TEST(VerifyScript, AFolderThatCannotBeReadIsNoFinding) {
  const VerifyFolders folders;
  const fs::path old = folders.Folder("old", kOld);
  const struct {
    const char* why;
    fs::path old, newTree;
  } cases[] = {
      {"no OLD", old / "absent", old},
      {"NEW is a file", old, old / "readme.txt"},
  };
  for (const auto& c : cases) {
    const VerifyReport report = VerifyScript({}, {c.old, c.newTree, "C:\\S", "C:\\T"});
    EXPECT_NE(report.Error, "") << c.why;
    EXPECT_EQ(report.ExitCode(), 2) << c.why;
  }
}

}  // namespace
