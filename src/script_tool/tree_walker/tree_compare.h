#pragma once
// Two folder trees, walked as make walks them (folder_tree.h), compared as an
// installed copy of a program is judged: the same files, with the same
// contents and last-write times. Names are matched as Windows matches them
// (case-insensitively), since the trees stand for folders on Windows.

#include <filesystem>
#include <string>
#include <vector>

#include "script_tool/tree_walker/file_write_time.h"
#include "script_tool/tree_walker/tree_progress.h"

struct TreeDifference {
  enum class Kind {
    Contents,   // a file of both trees, with other bytes
    Time,       // a file of both trees, with the same bytes but another time
    Missing,    // in the expected tree only
    Extra,      // in the compared tree only
    FileOrFolder,  // a file in one tree where the other has a folder
  };
  Kind What = Kind::Contents;
  // Below the tree's root, names separated by "/", as the compared tree
  // spells them (the expected tree for Missing).
  std::string Path;
  // For Time: the last-write times of the compared and the expected file.
  WindowsFileTime ComparedTime = 0;
  WindowsFileTime ExpectedTime = 0;
};

// The word for a kind in lists and in JSON: "contents", "time", ...
const char* KindWord(TreeDifference::Kind kind);

// Every difference between the two trees, in the order of their paths.
// Error is empty when both trees could be read to the end.
struct TreeComparison {
  std::vector<TreeDifference> Differences;
  std::size_t FilesCompared = 0;
  std::string Error;
};
// report, when given, hears of each file compared, of all of expected's.
// A path the patterns leave out (exclude_glob.h) is not compared, in either
// tree.
TreeComparison CompareTrees(const std::filesystem::path& compared,
                            const std::filesystem::path& expected,
                            const TreeProgressReport& report = {},
                            const std::vector<std::wstring>& excludes = {});

// Copies a tree into a folder that does not exist yet, each file with its
// last-write time. Returns empty text, or what could not be copied. report,
// when given, hears of each file copied (the total is not known).
std::string CopyTree(const std::filesystem::path& from, const std::filesystem::path& to,
                     const TreeProgressReport& report = {});

// Copies one file's contents over another's, and its last-write time to the
// 100 ns, as the updater's copy does. Returns empty text, or why the copy failed.
std::string CopyFileWithTime(const std::filesystem::path& from,
                             const std::filesystem::path& to);

// A file's path as a list shows it: "/" between names, UTF-8.
std::string DisplayPath(const std::filesystem::path& relative);
