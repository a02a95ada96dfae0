// The one tree walker under make and verify: what it lists, in which order,
// and what the comparison built on it finds between two trees.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "script_tool/tree_walker/file_write_time.h"
#include "script_tool/tree_walker/folder_tree.h"
#include "script_tool/tree_walker/tree_compare.h"
#include "script_tool/tree_walker/tree_files.h"
#include "script_tool/tree_walker/windows_paths.h"
#include "support/scratch_folder.h"

namespace {

namespace fs = std::filesystem;

std::string Listed(const FolderTree& tree) {
  std::string text;
  for (const TreeEntry& entry : tree.Entries) {
    text += entry.Shown + (entry.Kind == EntryKind::Folder ? "/ " : " ");
  }
  return text;
}

std::string Differences(const TreeComparison& comparison) {
  std::string text;
  for (const TreeDifference& difference : comparison.Differences) {
    text += std::string(KindWord(difference.What)) + " " + difference.Path + "; ";
  }
  return text;
}

TEST(TreeWalker, ListsAndComparesAsWindowsSeesTheTrees) {
  const std::string big(70'000, 'x');  // longer than one chunk of the compare
  const struct {
    const char* why;
    TreeSpec compared, expected;
    std::string listed;  // the compared tree, in the walker's order
    std::string differences;
    std::size_t filesCompared;
  } cases[] = {
      {"names that differ in case only are one name",
       {{"Readme.TXT", {"a"}}, {"SUB/x.dll", {"b"}}},
       {{"README.txt", {"a"}}, {"sub/X.DLL", {"b"}}},
       "Readme.TXT SUB/ SUB/x.dll ",
       "",
       2},
      {"Latin-1 letters fold as Windows folds them",
       {{"\xC3\x84rger.txt", {"a"}}, {"\xC3\xBF.txt", {"b"}}},
       {{"\xC3\xA4RGER.TXT", {"a"}}, {"\xC5\xB8.txt", {"b"}}},
       "\xC3\x84rger.txt \xC3\xBF.txt ",
       "",
       2},
      {"a folder's entries follow it, before a longer name",
       {{"a.txt", {"1"}}, {"a/z.txt", {"2"}}, {"B/", {""}}},
       {{"a.txt", {"1"}}, {"a/z.txt", {"2"}}, {"b/", {""}}},
       "a/ a/z.txt a.txt B/ ",
       "",
       2},
      {"the same size with another last byte, past the first chunk",
       {{"big.bin", {big + "y"}}},
       {{"big.bin", {big + "z"}}},
       "big.bin ",
       "contents big.bin; ",
       1},
      {"a file that is the start of the other",
       {{"a.txt", {"abc"}}},
       {{"a.txt", {"abcd"}}},
       "a.txt ",
       "contents a.txt; ",
       1},
      {"the same bytes, 100 ns later",
       {{"a.txt", {"abc", 0, 0, -1}}},
       {{"a.txt", {"abc"}}},
       "a.txt ",
       "time a.txt; ",
       1},
      {"a missing file and an extra folder, however full, one difference each",
       {{"extra/one.txt", {"1"}}, {"extra/two/three.txt", {"3"}}},
       {{"gone.txt", {"g"}}},
       "extra/ extra/one.txt extra/two/ extra/two/three.txt ",
       "extra extra; missing gone.txt; ",
       0},
      {"a file where the other tree has a folder",
       {{"data", {"file"}}},
       {{"data/inner.txt", {"i"}}},
       "data ",
       "file-or-folder data; ",
       0},
  };
  for (const auto& c : cases) {
    const ScratchFolder scratch("devidudi-walker");
    const fs::path compared = scratch.Path() / "compared";
    const fs::path expected = scratch.Path() / "expected";
    MakeTree(compared, c.compared);
    MakeTree(expected, c.expected);

    const FolderTree tree = ReadFolderTree(compared);
    EXPECT_EQ(tree.Error, "") << c.why;
    EXPECT_EQ(Listed(tree), c.listed) << c.why;

    const TreeComparison comparison = CompareTrees(compared, expected);
    EXPECT_EQ(comparison.Error, "") << c.why;
    EXPECT_EQ(Differences(comparison), c.differences) << c.why;
    EXPECT_EQ(comparison.FilesCompared, c.filesCompared) << c.why;
  }
}

TEST(TreeWalker, EntryTimesAreTheFileTimesToTheHundredNanoseconds) {
  const ScratchFolder scratch("devidudi-walker");
  MakeTree(scratch.Path(), {{"a.txt", {"a", 0, 0, -1}}, {"b.txt", {"b", 0, 0, 1}}});
  const FolderTree tree = ReadFolderTree(scratch.Path());
  ASSERT_EQ(tree.Entries.size(), 2u);
  EXPECT_EQ(WindowsTimeOf(tree.Entries[0].LastWrite), kBaseTime + 1);
  EXPECT_EQ(WindowsTimeOf(tree.Entries[1].LastWrite), kBaseTime - 1);
  EXPECT_EQ(tree.Entries[0].Size, 1u);
}

TEST(TreeWalker, ContentsAreComparedToTheEndOfBothFiles) {
  const ScratchFolder scratch("devidudi-walker");
  MakeTree(scratch.Path(), {{"short", {"abc"}}, {"long", {"abcd"}}, {"same", {"abc"}}});
  const auto native = [&](const char* name) { return (scratch.Path() / name).native(); };
  bool readable = false;
  EXPECT_FALSE(SameContents(native("short"), native("long"), readable));
  EXPECT_TRUE(readable);
  EXPECT_FALSE(SameContents(native("long"), native("short"), readable));
  EXPECT_TRUE(readable);
  EXPECT_TRUE(SameContents(native("short"), native("same"), readable));
  EXPECT_TRUE(readable);
  EXPECT_FALSE(SameContents(native("short"), native("absent"), readable));
  EXPECT_FALSE(readable);
}

}  // namespace

namespace {

// Every report of a walk, "done/total folder; " each.
std::string Heard(const std::vector<std::string>& reports) {
  std::string text;
  for (const std::string& report : reports) text += report + "; ";
  return text;
}

// Each file is told once, in order, with its folder, and folders alone are
// not counted; the comparison knows its total, the copy does not.
TEST(TreeWalker, ProgressTellsOfEachFileWithItsFolder) {
  const ScratchFolder scratch("devidudi-walker");
  const TreeSpec tree = {{"a.txt", {"a"}}, {"empty/", {}}, {"locale/de/b.txt", {"b"}},
                         {"locale/de/c.txt", {"c"}}, {"locale/e.txt", {"e"}}};
  const fs::path expected = MakeTree(scratch.Path() / "expected", tree);
  const fs::path compared = MakeTree(scratch.Path() / "compared", tree);
  std::vector<std::string> reports;
  const TreeProgressReport listen = [&](const TreeProgress& progress) {
    reports.push_back(std::to_string(progress.Done) + "/" + std::to_string(progress.Total) + " " +
                      std::string(progress.Folder));
  };

  ASSERT_EQ(CompareTrees(compared, expected, listen).Error, "");
  EXPECT_EQ(Heard(reports), "1/4 ; 2/4 locale/de; 3/4 locale/de; 4/4 locale; ");

  // The copy goes in the system's order, and counts without a total.
  reports.clear();
  ASSERT_EQ(CopyTree(expected, scratch.Path() / "copy", listen), "");
  std::vector<std::string> counts;
  std::vector<std::string> folders;
  for (const std::string& report : reports) {
    counts.push_back(report.substr(0, report.find(' ')));
    folders.push_back(report.substr(report.find(' ') + 1));
  }
  std::sort(folders.begin(), folders.end());
  EXPECT_EQ(Heard(counts), "1/0; 2/0; 3/0; 4/0; ");
  EXPECT_EQ(Heard(folders), "; locale; locale/de; locale/de; ");
}

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

TEST(FileTimeText, ShowsUtcTo100Nanoseconds) {
  const struct {
    WindowsFileTime time;
    const char* text;
  } cases[] = {
      {0, "1601-01-01T00:00:00.0000000Z"},
      {116444736000000000, "1970-01-01T00:00:00.0000000Z"},
      {125963012965000000, "2000-02-29T12:34:56.5000000Z"},
      {133801631999999999, "2024-12-31T23:59:59.9999999Z"},
      {134044736000000001, "2025-10-09T08:53:20.0000001Z"},
  };
  for (const auto& c : cases) EXPECT_EQ(FileTimeText(c.time), c.text) << c.time;
}

}  // namespace
