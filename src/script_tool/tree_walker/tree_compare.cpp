#include "script_tool/tree_walker/tree_compare.h"

#include <system_error>

#include "script_tool/tree_walker/exclude_glob.h"
#include "script_tool/tree_walker/folder_tree.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

// The key's own entries end at the first that does not start with it: its
// twins (names Windows takes for the same) and, for a folder, all it holds.
// Keys end with a NUL, so a longer name never starts with a shorter one.
std::size_t PastKey(const std::vector<TreeEntry>& entries, std::size_t index, bool withContents) {
  const std::wstring& key = entries[index].Key;
  std::size_t next = index + 1;
  while (next < entries.size() &&
         (withContents ? entries[next].Key.compare(0, key.size(), key) == 0
                       : entries[next].Key == key)) {
    ++next;
  }
  return next;
}

// Why the tree cannot be compared to the end, or empty: the root or a folder
// in it could not be listed, or an entry's status could not be read.
std::string WhyUnreadable(const fs::path& root, const FolderTree& tree) {
  if (!tree.Error.empty()) return ShownPath(root) + ": " + tree.Error;
  for (const TreeEntry& entry : tree.Entries) {
    if (entry.Unlisted || entry.Unstated) {
      return ShownPath(root) + "/" + entry.Shown + ": " + entry.Problem;
    }
  }
  return {};
}

}  // namespace

const char* KindWord(TreeDifference::Kind kind) {
  switch (kind) {
    case TreeDifference::Kind::Contents: return "contents";
    case TreeDifference::Kind::Time: return "time";
    case TreeDifference::Kind::Missing: return "missing";
    case TreeDifference::Kind::Extra: return "extra";
    case TreeDifference::Kind::FileOrFolder: return "file-or-folder";
  }
  return "contents";
}

TreeComparison CompareTrees(const fs::path& compared, const fs::path& expected,
                            const TreeProgressReport& report,
                            const std::vector<std::wstring>& excludes) {
  TreeComparison result;
  const FolderTree haveTree = WithoutExcluded(ReadFolderTree(compared), excludes);
  const FolderTree wantTree = WithoutExcluded(ReadFolderTree(expected), excludes);
  result.Error = WhyUnreadable(compared, haveTree);
  if (result.Error.empty()) result.Error = WhyUnreadable(expected, wantTree);
  if (!result.Error.empty()) return result;

  using Kind = TreeDifference::Kind;
  const std::vector<TreeEntry>& have = haveTree.Entries;
  const std::vector<TreeEntry>& want = wantTree.Entries;
  std::size_t filesExpected = 0;
  if (report) {
    for (const TreeEntry& entry : want) filesExpected += entry.Kind != EntryKind::Folder;
  }
  std::size_t h = 0;
  std::size_t w = 0;
  while (h < have.size() || w < want.size()) {
    const int order = h == have.size()   ? 1
                      : w == want.size() ? -1
                                         : have[h].Key.compare(want[w].Key);
    if (order < 0) {
      result.Differences.push_back({Kind::Extra, have[h].Shown});
      h = PastKey(have, h, true);
      continue;
    }
    if (order > 0) {
      result.Differences.push_back({Kind::Missing, want[w].Shown});
      w = PastKey(want, w, true);
      continue;
    }
    const TreeEntry& mine = have[h];
    const TreeEntry& theirs = want[w];
    const bool mineIsFolder = mine.Kind == EntryKind::Folder;
    if (mineIsFolder != (theirs.Kind == EntryKind::Folder)) {
      result.Differences.push_back({Kind::FileOrFolder, mine.Shown});
      h = PastKey(have, h, true);
      w = PastKey(want, w, true);
      continue;
    }
    h = PastKey(have, h, false);
    w = PastKey(want, w, false);
    if (mineIsFolder) continue;
    ++result.FilesCompared;
    if (report) report({result.FilesCompared, filesExpected, FolderOfShownPath(mine.Shown)});
    bool readable = true;
    if (mine.Size != theirs.Size || !SameContents(mine.Path, theirs.Path, readable)) {
      if (!readable) {
        result.Error = mine.Shown + ": cannot be read";
        return result;
      }
      result.Differences.push_back({Kind::Contents, mine.Shown});
      continue;
    }
    const WindowsFileTime mineTime = WindowsTimeOf(mine.LastWrite);
    const WindowsFileTime theirTime = WindowsTimeOf(theirs.LastWrite);
    if (mineTime != theirTime) {
      result.Differences.push_back({Kind::Time, mine.Shown, mineTime, theirTime});
    }
  }
  return result;
}

std::string CopyFileWithTime(const fs::path& from, const fs::path& to) {
  std::error_code error;
  const WindowsFileTime written = LastWriteTime(from, error);
#ifdef _WIN32
  // MinGW's copy_file refuses to overwrite ("File exists") whatever the
  // options say. The updater writes a temporary file beside the target and
  // renames it over; verify needs only the end state, the target's bytes
  // and time, which CopyFileW gives.
  if (!error && !CopyFileW(from.c_str(), to.c_str(), /*bFailIfExists=*/FALSE)) {
    const DWORD failure = GetLastError();
    error = std::error_code(static_cast<int>(failure), std::system_category());
  }
  // The copy takes a read-only attribute over, and Wine (unlike Windows)
  // sets no time on a read-only file: the attribute goes back on after it.
  const DWORD attributes = error ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(to.c_str());
  const bool readOnly = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY);
  if (readOnly) SetFileAttributesW(to.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  if (!error) error = SetLastWriteTime(to, written);
  if (readOnly) SetFileAttributesW(to.c_str(), attributes);
#else
  if (!error) fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
  if (!error) error = SetLastWriteTime(to, written);
#endif
  return error ? error.message() : std::string();
}

namespace {

struct CopyProgress {
  const TreeProgressReport& Report;
  std::size_t Done = 0;
};

std::string CopyTreeBelow(const fs::path& from, const fs::path& to, const std::string& shown,
                          CopyProgress& progress) {
  std::error_code error;
  if (!fs::create_directory(to, error) || error) {
    return to.u8string() + ": " + (error ? error.message() : "exists already");
  }
  fs::directory_iterator it(from, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const fs::path target = to / it->path().filename();
    const bool isFolder = it->is_directory(error);
    if (error) break;
    const std::string name = it->path().filename().u8string();
    if (!isFolder && progress.Report) progress.Report({++progress.Done, 0, shown});
    const std::string failed =
        isFolder ? CopyTreeBelow(it->path(), target, shown.empty() ? name : shown + "/" + name,
                                 progress)
                 : CopyFileWithTime(it->path(), target);
    if (!failed.empty()) {
      return isFolder ? failed : it->path().u8string() + ": " + failed;
    }
  }
  if (error) return from.u8string() + ": " + error.message();
  return {};
}

}  // namespace

std::string CopyTree(const fs::path& from, const fs::path& to, const TreeProgressReport& report) {
  CopyProgress progress{report};
  return CopyTreeBelow(from, to, {}, progress);
}

std::string DisplayPath(const fs::path& relative) {
  return relative.generic_u8string();
}
