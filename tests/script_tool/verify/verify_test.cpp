// devidudi-script verify on folders generated here. Longer than most files:
// the replay's tables (mapping, copying, comparing, what is kept) share the
// folder builders above them, and splitting them would repeat those.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <cctype>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "script_tool/make/make_plan.h"
#include "script_tool/script_reader/script_file.h"
#include "script_tool/verify/temporary_folder.h"
#include "script_tool/verify/verify_replay.h"
#include "support/scratch_folder.h"
#include "script_tool/tree_walker/tree_files.h"

#ifdef _WIN32
#include "support/test_files.h"
#else
#include <fcntl.h>
#include <sys/stat.h>
#endif

namespace {

namespace fs = std::filesystem;

class VerifyFolders {
 public:
  fs::path Folder(const std::string& name, const TreeSpec& files) const {
    return MakeTree(root_ / name, files);
  }
  const fs::path& Root() const { return root_; }

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
  for (const std::string& folder : report.CreatedFolders) listed += "created-folder " + folder + "; ";
  for (const TreeDifference& difference : report.Differences) {
    listed += std::string(KindWord(difference.What)) + " " + difference.Path + "; ";
  }
  for (const std::string& kept : report.Kept) listed += "kept " + kept + "; ";
  for (const TreeDifference& kept : report.KeptWithOldTime) {
    listed += "kept-with-old-time " + kept.Path + "; ";
  }
  return listed;
}

// True when a list of Differences() holds anything but what is kept.
bool ListsAFailure(const std::string& listed) {
  for (std::size_t at = 0; at < listed.size(); at = listed.find("; ", at) + 2) {
    if (listed.compare(at, 5, "kept ") != 0 && listed.compare(at, 19, "kept-with-old-time ") != 0 &&
        listed.compare(at, 15, "created-folder ") != 0) {
      return true;
    }
  }
  return false;
}

std::string FindingLines(const VerifyReport& report) {
  std::string listed;
  for (const Finding& finding : report.Findings) {
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
  const TreeSpec kOldAgain = kOld;  // NEW holding OLD's own files
  const std::string kGood0 = "COP C:\\Stage\\PexaMenu.exe\tC:\\App\\PexaMenu.exe";
  const std::string kGood1 = "COP C:\\Stage\\lib\\core.dll C:\\App\\lib\\core.dll";
  const std::string kGood2 = "COP C:\\Stage\\lib\\extra.dll\tC:\\App\\lib\\extra.dll";
  auto with = [](TreeSpec tree, const std::string& path, const TreeFile& file) {
    tree[path] = file;
    return tree;
  };
  auto without = [](TreeSpec tree, const std::string& path) {
    tree.erase(path);
    return tree;
  };
  const TreeSpec kNewReadme = with(kNew, "readme.txt", {"read me, changed", 1});
  const std::vector<std::string> kWritesReadme = {
      kGood0, kGood1, kGood2, "COP C:\\Stage\\readme.txt C:\\App\\readme.txt"};
  const std::string bigOld(100 * 1024, 'b');
  const std::string bigNew = bigOld.substr(0, bigOld.size() - 2) + "Bb";
  const struct {
    const char* why;
    TreeSpec newTree;
    std::vector<std::string> script;
    std::string differences;
    std::size_t filesCompared;  // files of the result that NEW holds too
    bool times = false;
    TreeSpec oldExtra = {};  // more files in OLD than kOld's
    bool newFolders = false;
    const char* sourceRoot = "C:\\Stage";
    const char* targetRoot = "C:\\App\\";
  } cases[] = {
      {"a correct script", kNew, {kGood0, kGood1, kGood2, "RUN C:\\App\\PexaMenu.exe"}, "", 4},
      {"names in another case, as Windows reads them", kNew,
       {"COP c:\\stage\\PEXAMENU.EXE\tc:\\app\\pexamenu.exe",
        "COP C:\\STAGE\\LIB\\Core.DLL C:\\APP\\Lib\\CORE.dll", kGood2},
       "", 4},
      {"a changed file left out", kNew, {kGood0, kGood2}, "contents lib/core.dll; ", 4},
      {"a new file left out", kNew, {kGood0, kGood1}, "missing lib/extra.dll; ", 3},
      {"the wrong file copied", kNew,
       {kGood0, "COP C:\\Stage\\lib\\extra.dll C:\\App\\lib\\core.dll", kGood2},
       "contents lib/core.dll; ", 4},
      {"a copy within the installed folder", kNew,
       {kGood0, kGood1, kGood2, "COP C:\\App\\readme.txt C:\\App\\readme.bak"},
       "extra readme.bak; ", 4},
      {"a file copied onto itself does nothing", kNew,
       {kGood0, "COP C:\\App\\readme.txt C:\\APP\\README.TXT", kGood1, kGood2}, "", 4},
      {"a file only in OLD that a COP line rewrote", without(kNew, "readme.txt"),
       {kGood0, kGood1, kGood2, "COP C:\\Stage\\lib\\extra.dll\tC:\\App\\README.TXT"},
       "extra readme.txt; ", 3},
      {"an unchanged file with a new time keeps its old one", with(kOldAgain, "PexaMenu.exe",
       {"old program", 1}), {}, "kept-with-old-time PexaMenu.exe; ", 3},
      {"an unchanged file with a new time, with --times", with(kOldAgain, "PexaMenu.exe",
       {"old program", 1}), {}, "time PexaMenu.exe; ", 3, true},
      {"half a second newer, kept", with(kOldAgain, "readme.txt", {"read me", 47, 3600000 - 500}),
       {}, "kept-with-old-time readme.txt; ", 3},
      {"half a second newer, with --times",
       with(kOldAgain, "readme.txt", {"read me", 47, 3600000 - 500}), {},
       "time readme.txt; ", 3, true},
      {"a written file with NEW's bytes but half a second off",
       with(kOldAgain, "lib/twin.dll", {"old core", 48, 500}),
       {"COP C:\\Stage\\lib\\twin.dll C:\\App\\lib\\twin.dll",
        "COP C:\\Stage\\lib\\twin.dll C:\\App\\lib\\core.dll"},
       "time lib/core.dll; ", 4},
      {"a file only in OLD", without(kOldAgain, "PexaMenu.exe"), {}, "kept PexaMenu.exe; ", 2},
      {"a file of OLD named as the start of a written one", kNewReadme, kWritesReadme,
       "kept read; ", 4, false, {{"read", {"r", 48}}}},
      {"its time, kept as the start of a written name", with(kNewReadme, "read", {"r", 40}),
       kWritesReadme, "kept-with-old-time read; ", 5, false, {{"read", {"r", 48}}}},
      {"a folder of NEW that OLD lacks", with(kOldAgain, "plugins/", {}), {},
       "missing plugins; ", 3},
      {"new folders created before the update, with --new-folders",
       with(with(kOldAgain, "plugins/a.dll", {"a", 2}), "locale/de/m\xC3\xBC.txt", {"m", 2}),
       {"COP C:\\Stage\\plugins\\a.dll C:\\App\\plugins\\a.dll",
        "COP C:\\Stage\\locale\\de\\m\xFC.txt\tC:\\App\\Locale\\de\\m\xFC.txt"},
       "created-folder plugins/; created-folder Locale/; created-folder Locale/de/; ", 5, false,
       {}, true},
      {"a folder OLD has is not created", with(kOldAgain, "lib/new/a.dll", {"a", 2}),
       {"COP C:\\Stage\\lib\\new\\a.dll C:\\App\\LIB\\new\\a.dll"},
       "created-folder LIB/new/; ", 4, false, {}, true},
      {"an empty folder of NEW stays missing, with --new-folders",
       with(kOldAgain, "plugins/", {}), {}, "missing plugins; ", 3, false, {}, true},
      {"a folder NEW lacks, created for a target", kOldAgain,
       {"COP C:\\Stage\\readme.txt C:\\App\\bak\\readme.txt"},
       "created-folder bak/; extra bak; ", 3, false, {}, true},
      {"a folder where OLD has a file",
       with(without(kOldAgain, "readme.txt"), "readme.txt/inner.txt", {"read me", 48}), {},
       "file-or-folder readme.txt; ", 2},
      {"a Latin-1 name", with(kOldAgain, "caf\xC3\xA9.txt", {"menu", 3}),
       {"COP C:\\Stage\\caf\xE9.txt\tC:\\App\\CAF\xC9.TXT"}, "", 4},
      {"equal size, other bytes near the end of a big file",
       with(kOldAgain, "big.bin", {bigNew, 50}), {}, "contents big.bin; ", 4, false,
       {{"big.bin", {bigOld, 50}}}},
      // Below both roots, the deeper one is meant: the copy of OLD.
      {"nested roots: a target below the inner root", kNew,
       {"COP C:\\U\\PexaMenu.exe\tC:\\U\\App\\PexaMenu.exe",
        "COP C:\\U\\lib\\core.dll C:\\U\\App\\lib\\core.dll",
        "COP C:\\U\\lib\\extra.dll\tC:\\U\\App\\lib\\extra.dll"},
       "", 4, false, {}, false, "C:\\U", "C:\\U\\App"},
  };
  for (const auto& c : cases) {
    const VerifyFolders folders;
    TreeSpec old = kOld;
    old.insert(c.oldExtra.begin(), c.oldExtra.end());
    const VerifySetup setup{folders.Folder("old", old), folders.Folder("new", c.newTree),
                            c.sourceRoot, c.targetRoot, c.times, c.newFolders};
    const VerifyReport report = VerifyScript(ParseScriptLines(Script(c.script)), setup);
    EXPECT_EQ(report.Error, "") << c.why;
    EXPECT_EQ(FindingLines(report), "") << c.why;
    EXPECT_EQ(Differences(report), c.differences) << c.why;
    EXPECT_EQ(report.FilesCompared, c.filesCompared) << c.why;
    EXPECT_EQ(report.ExitCode(), ListsAFailure(c.differences) ? 1 : 0)
        << c.why << ": what stays of OLD fails nothing";
  }
}

TEST(VerifyScript, ATimeDifferenceCarriesBothTimes) {
  const VerifyFolders folders;
  const VerifySetup setup{folders.Folder("old", {{"a.txt", {"a", 2}}, {"b.txt", {"b", 2}}}),
                          folders.Folder("new", {{"a.txt", {"a", 1, 500}}, {"b.txt", {"b", 0, 1}}}),
                          "C:\\S", "C:\\T"};
  for (const bool times : {false, true}) {
    VerifySetup variant = setup;
    variant.Times = times;
    const VerifyReport report = VerifyScript({}, variant);
    const std::vector<TreeDifference>& listed = times ? report.Differences : report.KeptWithOldTime;
    ASSERT_EQ(listed.size(), 2u) << Differences(report);
    EXPECT_EQ(listed[0].Path, "a.txt");
    EXPECT_EQ(listed[0].ComparedTime, kBaseTime - 2 * kUnitsPerHour) << "the result's";
    EXPECT_EQ(listed[0].ExpectedTime, kBaseTime - kUnitsPerHour - 500 * kUnitsPerMs) << "NEW's";
    EXPECT_EQ(listed[1].ExpectedTime, kBaseTime - kUnitsPerMs);
  }
}

TEST(VerifyScript, FindsWhatWouldStopTheUpdaterWithItsLine) {
  const TreeSpec kNew = {{"a.txt", {"new a", 1}}, {"sub/", {}}, {"a.txt.d/", {}}};
  const struct {
    const char* why;
    std::string line;  // the script's second line; the first is good
    std::string finding;
    const char* code;
    std::size_t column;  // 5 the source, 20 the target after it; 0 the line
    bool newFolders = false;
    std::size_t count = 1;  // findings, all on line 2; the first is checked
  } cases[] = {
      {"no separator", "COP C:\\Stage\\a.txt", "COP without a source and a target", "DV101", 0},
      {"missing source", "COP C:\\Stage\\b.txt C:\\App\\b.txt", "source \"C:\\Stage\\b.txt\" is missing",
       "DV107", 5},
      {"folder source", "COP C:\\Stage\\sub C:\\App\\b.txt",
       "is a folder: the updater stops at \"Can't access source files\"", "DV106", 5},
      {"folder target", "COP C:\\Stage\\a.txt C:\\App\\lib", "target \"C:\\App\\lib\" is a folder", "DV108",
       20},
      {"target in a missing folder", "COP C:\\Stage\\a.txt C:\\App\\new\\a.txt",
       "the folder \"C:\\App\\new\" is missing, with 1 COP target below it; the updater "
       "creates no folders (it would stop at \"Write access to file missing\"); with "
       "--new-folders verify creates it first", "DV109", 20},
      // One finding a folder, as make's DM006, not one a file.
      {"three targets in one missing folder, in any case and with either separator",
       "COP C:\\Stage\\a.txt C:\\App\\new\\a.txt\r\nCOP C:\\Stage\\a.txt C:\\App\\NEW\\b.txt\r\n"
       "COP C:\\Stage\\a.txt C:\\App\\new/c.txt",
       "the folder \"C:\\App\\new\" is missing, with 3 COP targets below it", "DV109", 20},
      {"a missing folder inside a missing folder: each once",
       "COP C:\\Stage\\a.txt C:\\App\\new\\deep\\a.txt\r\nCOP C:\\Stage\\a.txt C:\\App\\new\\b.txt",
       "the folder \"C:\\App\\new\" is missing, with 2 COP targets below it", "DV109", 20, false,
       2},
      {"target below a file", "COP C:\\Stage\\a.txt C:\\App\\readme.txt\\a.txt",
       "the folder \"C:\\App\\readme.txt\" is a file in the installed folder, with 1 COP "
       "target below it", "DV109", 20},
      {"a folder too long for Windows, without --new-folders",
       "COP C:\\Stage\\a.txt C:\\App\\" + std::string(241, 'd') + "\\a.txt",
       "the application cannot create it either: the folder's path is 248 characters long",
       "DV109", 20},
      {"target below a file, with --new-folders",
       "COP C:\\Stage\\a.txt C:\\App\\readme.txt\\sub\\a.txt",
       "the folder \"C:\\App\\readme.txt\" cannot be created before the update: a file of "
       "that name is there", "DV112", 0, true},
      {"a folder too long for Windows, with --new-folders",
       "COP C:\\Stage\\a.txt C:\\App\\" + std::string(241, 'd') + "\\a.txt",
       "cannot be created before the update: the folder's path is 248 characters long", "DV112",
       0, true},
      {"a target in NEW, with --new-folders: no folder made there",
       "COP C:\\Stage\\a.txt C:\\stage\\new\\a.txt", "lies below --source-root", "DV105", 20, true},
      {"outside both roots", "COP D:\\Stage\\a.txt C:\\App\\a.txt",
       "\"D:\\Stage\\a.txt\" lies below neither", "DV102", 5},
      {"a root itself", "COP C:\\Stage\\a.txt C:\\App", "names the root folder itself", "DV104", 20},
      {"leaves the root", "COP C:\\Stage\\..\\a.txt C:\\App\\a.txt", "holds \"..\"", "DV103", 5},
      {"a name Windows changes", "COP C:\\Stage\\a.txt. C:\\App\\a.txt", "whose last dot", "DV103", 5},
      {"a target in NEW", "COP C:\\Stage\\a.txt C:\\stage\\sub\\a.txt",
       "target \"C:\\stage\\sub\\a.txt\" lies below --source-root", "DV105", 20},
  };
  for (const auto& c : cases) {
    const VerifyFolders folders;
    const fs::path old = folders.Folder("old", kOld);
    const VerifySetup setup{old, folders.Folder("new", kNew), "C:\\Stage", "C:\\App", false,
                            c.newFolders};
    const auto lines =
        ParseScriptLines(Script({"COP C:\\Stage\\a.txt C:\\App\\a.txt", c.line, "RUN x.exe"}));
    const VerifyReport report = VerifyScript(lines, setup);
    ASSERT_EQ(report.Findings.size(), c.count) << c.why << ": " << FindingLines(report);
    for (const Finding& finding : report.Findings) EXPECT_EQ(finding.Line, 2u) << c.why;
    EXPECT_NE(report.Findings[0].Message.find(c.finding), std::string::npos)
        << c.why << ": " << report.Findings[0].Message;
    EXPECT_EQ(report.Findings[0].Code, c.code) << c.why;
    EXPECT_EQ(report.Findings[0].Column, c.column) << c.why;
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

// This process's verify scratch folders in the shared temporary folder.
// Other test programs run verify at the same time and make and remove their
// own there, which must not count.
std::set<std::string> ScratchFolders() {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(fs::temp_directory_path())) {
    const std::string name = entry.path().filename().u8string();
    if (name.rfind(TemporaryFolder::NamePrefix(), 0) == 0) names.insert(name);
  }
  return names;
}

// The scratch folders there now that were not there before.
std::string NewScratchFolders(const std::set<std::string>& before) {
  std::string left;
  for (const std::string& name : ScratchFolders()) {
    if (before.count(name) == 0) left += name + " ";
  }
  return left;
}

TEST(VerifyScript, ChangesNothingButItsOwnCopyAndRemovesIt) {
  const struct {
    const char* why;
    std::vector<std::string> script;
    std::string differences;  // empty: a finding, and nothing applied
  } cases[] = {
      {"copies into the installed folder only",
       {"COP C:\\new\\a.txt C:\\app\\a.txt", "COP C:\\new\\a.txt C:\\app\\lib\\core.dll",
        "COP C:\\new\\a.txt C:\\app\\lib\\new.dll"},
       "missing b.txt; extra lib; kept empty; kept PexaMenu.exe; kept readme.txt; "},
      {"a target in NEW", {"COP\tC:\\new\\a.txt\tC:\\new\\b.txt"}, ""},
      {"a target in NEW, in another case", {"COP C:\\new\\a.txt c:\\NEW\\B.TXT"}, ""},
      {"a target in NEW after copies into the installed folder",
       {"COP C:\\new\\a.txt C:\\app\\a.txt", "COP C:\\app\\a.txt C:\\new\\b.txt"}, ""},
      {"a target outside both roots", {"COP C:\\new\\a.txt C:\\other\\b.txt"}, ""},
      {"a target that leaves the installed folder by ..",
       {"COP C:\\new\\a.txt C:\\app\\..\\new\\b.txt"}, ""},
      {"a target that leaves NEW by .. and comes back", {"COP C:\\new\\a.txt C:\\new\\x\\..\\b.txt"},
       ""},
      {"a target by a relative path", {"COP C:\\new\\a.txt ..\\new\\b.txt"}, ""},
  };
  for (const auto& c : cases) {
    const VerifyFolders folders;
    const fs::path old = folders.Folder("old", kOld);
    const fs::path newTree =
        folders.Folder("new", {{"a.txt", {"new", 1}}, {"b.txt", {"keep", 1}}});
    fs::create_directories(folders.Root() / "other");
    // A read-only file of OLD is read-only in verify's copy as well, which
    // must still go in the end.
    const fs::perms writable = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(old / "readme.txt", writable, fs::perm_options::remove);
    const auto before = Snapshot(old);
    const auto newBefore = Snapshot(newTree);
    const auto besideBefore = Snapshot(folders.Root());
    const std::set<std::string> scratchBefore = ScratchFolders();
    const VerifyReport report =
        VerifyScript(ParseScriptLines(Script(c.script)), {old, newTree, "C:\\new", "C:\\app"});
    if (c.differences.empty()) {
      EXPECT_EQ(report.Findings.size(), 1u) << c.why << ": " << FindingLines(report);
      EXPECT_EQ(report.ExitCode(), 1) << c.why;
    }
    EXPECT_EQ(Differences(report), c.differences) << c.why;
    EXPECT_EQ(Snapshot(old), before) << c.why;
    EXPECT_EQ(Snapshot(newTree), newBefore) << c.why;
    EXPECT_EQ(Snapshot(folders.Root()), besideBefore) << c.why << ": beside the trees";
    EXPECT_EQ(NewScratchFolders(scratchBefore), "") << c.why << ": verify's copy left behind";
    fs::permissions(old / "readme.txt", fs::perms::owner_write, fs::perm_options::add);
  }
}

// A script straight from make passes verify on the same folders with the same
// --times, over generated trees: files unchanged, rebuilt with equal bytes
// (a new time, whole hours or under a second), changed in size or in bytes
// alone, added, only in OLD, names in another case, subfolders, a folder
// only in OLD, folders only in NEW (make and verify --new-folders), names
// that start other names.
TEST(MakeThenVerify, AScriptFromMakePassesVerifyWithTheSameTimesFlag) {
  constexpr unsigned kFirstSeed = 20261208;
  constexpr int kRounds = 12;
  const char* const folders[] = {"",           "sub/",        "sub/Deep/", "Men\xC3\xBC/",
                                 "plugins/a/", "sub/Neu\xC3\xA9/"};
  const char* const stems[] = {"read", "readme", "a", "Menu", "caf\xC3\xA9", "x y"};
  const char* const extensions[] = {"", ".txt", ".dll", ".exe"};
  enum Change { Same, Rebuilt, RebuiltWithinASecond, Resized, Rewritten, Added, OnlyInOld };
  for (int round = 0; round < kRounds; ++round) {
    const unsigned seed = kFirstSeed + static_cast<unsigned>(round);
    std::mt19937 random(seed);
    auto pick = [&](const auto& list) { return list[random() % std::size(list)]; };
    TreeSpec oldFiles = {{"sub/Deep/", {}}, {"Men\xC3\xBC/", {}}, {"legacy/old.ini", {"o", 9}}};
    TreeSpec newFiles = {{"sub/Deep/", {}}, {"Men\xC3\xBC/", {}}};
    std::map<std::string, bool> folded;  // each name once, whatever its case
    bool rebuilt = false;
    for (int file = 0; file < 30; ++file) {
      const std::string path = std::string(pick(folders)) + pick(stems) + pick(extensions);
      std::string key = path;
      for (char& c : key) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      if (!folded.emplace(key, true).second) continue;
      const std::string bytes = "v" + std::to_string(random() % 1000) + std::string(random() % 40, 'z');
      const int hours = 1 + static_cast<int>(random() % 50);
      const auto change = static_cast<Change>(random() % 7);
      // Now and then NEW spells the name in another case; Windows keeps OLD's.
      std::string newPath = path;
      if (random() % 4 == 0) {
        for (std::size_t at = newPath.rfind('/') + 1; at < newPath.size(); ++at) {
          newPath[at] = static_cast<char>(std::toupper(static_cast<unsigned char>(newPath[at])));
        }
      }
      if (change != Added) oldFiles[path] = {bytes, hours};
      switch (change) {
        case Same: newFiles[newPath] = {bytes, hours}; break;
        case Rebuilt: newFiles[newPath] = {bytes, hours - 1}; break;
        case RebuiltWithinASecond: newFiles[newPath] = {bytes, hours, 500}; break;
        case Resized: newFiles[newPath] = {bytes + "+", hours}; break;
        case Rewritten: newFiles[newPath] = {"w" + bytes.substr(1), 0}; break;
        case Added: newFiles[newPath] = {bytes, hours}; break;
        case OnlyInOld: break;
      }
      rebuilt = rebuilt || change == Rebuilt || change == RebuiltWithinASecond;
    }
    const VerifyFolders trees;
    const fs::path old = trees.Folder("old", oldFiles);
    const fs::path newTree = trees.Folder("new", newFiles);
    // Every other round leaves files out, as a release leaves out its debug
    // symbols: a .dll folder may then hold nothing that is compared.
    const std::vector<std::wstring> excludes =
        round % 2 == 1 ? std::vector<std::wstring>{L"**/*.DLL", L"legacy"}
                       : std::vector<std::wstring>{};
    for (const bool times : {false, true}) {
      const std::string row = "seed " + std::to_string(seed) + (times ? " with --times" : "") +
                              (excludes.empty() ? "" : " with --exclude");
      MakeRequest request;
      request.OldFolder = old;
      request.NewFolder = newTree;
      request.SourceRoot = L"C:\\Update";
      request.TargetRoot = L"C:\\Program Files\\PexaMenu\\";
      request.Times = times;
      request.NewFolders = true;
      request.Excludes = excludes;
      const MakeOutcome made = MakeScript(request);
      ASSERT_TRUE(made.Errors.empty()) << row << ": " << made.Errors[0].File << ": "
                                       << made.Errors[0].Message;
      const auto lines = ParseScriptLines(made.Script.Bytes());
      const VerifySetup setup{old,  newTree, "C:\\Update", "C:\\Program Files\\PexaMenu\\",
                              times, /*NewFolders=*/true, excludes};
      const VerifyReport report = VerifyScript(lines, setup);
      EXPECT_EQ(report.Error, "") << row;
      EXPECT_EQ(FindingLines(report), "") << row;
      EXPECT_EQ(report.Differences.size(), 0u) << row << ": " << Differences(report);
      EXPECT_EQ(report.ExitCode(), 0) << row;
      if (times) {
        EXPECT_TRUE(report.KeptWithOldTime.empty()) << row << ": " << Differences(report);
      } else if (rebuilt) {
        // The flag has teeth: the same script asked for NEW's times fails.
        VerifySetup strict = setup;
        strict.Times = true;
        EXPECT_EQ(VerifyScript(lines, strict).ExitCode(), 1) << row << " checked with --times";
      }
    }
  }
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
