#include "script_tool/tree_walker/tree_compare.h"

#include <array>
#include <cstring>
#include <fstream>
#include <map>
#include <system_error>

#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script_tool/tree_walker/windows_paths.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kReadChunkBytes = 64 * 1024;

struct TreeEntry {
  fs::path Full;
  std::string Display;
  bool Folder = false;
};

// Keys compare as Windows compares paths; a name beyond Latin-1 keeps its own
// bytes, marked so that it cannot meet a folded Latin-1 name. Names are
// joined by a NUL, which sorts below every byte of a name, so that whatever
// lies in a folder follows the folder's own key at once.
constexpr char kKeySeparator = '\0';

std::string KeyOfName(const fs::path& name) {
  const std::optional<std::string> latin1 = Latin1Name(name);
  if (latin1) return FoldName(*latin1);
  return "\x01" + name.u8string();
}

using TreeEntries = std::map<std::string, TreeEntry>;

// Past the entry and, for a folder, past all it holds: a folder that one
// tree lacks is one difference, however full it is.
TreeEntries::const_iterator PastEntry(TreeEntries::const_iterator entry,
                                      const TreeEntries& entries) {
  const std::string prefix = entry->first + kKeySeparator;
  ++entry;
  while (entry != entries.end() && entry->first.compare(0, prefix.size(), prefix) == 0) ++entry;
  return entry;
}

// Every file and folder below the root, by key. Returns empty text, or what
// could not be read.
std::string ListTree(const fs::path& folder, const std::string& keyPrefix,
                     const std::string& displayPrefix,
                     TreeEntries& entries) {
  std::error_code error;
  fs::directory_iterator it(folder, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const fs::path name = it->path().filename();
    const std::string key = keyPrefix + KeyOfName(name);
    const std::string display = displayPrefix + name.u8string();
    const bool isFolder = it->is_directory(error);
    if (error) break;
    entries[key] = TreeEntry{it->path(), display, isFolder};
    if (isFolder) {
      std::string failed = ListTree(it->path(), key + kKeySeparator, display + "/", entries);
      if (!failed.empty()) return failed;
    }
  }
  if (error) return folder.u8string() + ": " + error.message();
  return {};
}

// True when both files hold the same bytes; sizes first, as most changed
// files differ in size.
bool SameContents(const fs::path& a, const fs::path& b, std::error_code& error) {
  const std::uintmax_t sizeA = fs::file_size(a, error);
  if (error) return false;
  const std::uintmax_t sizeB = fs::file_size(b, error);
  if (error || sizeA != sizeB) return false;
  std::ifstream first(a, std::ios::binary);
  std::ifstream second(b, std::ios::binary);
  if (!first || !second) {
    error = std::make_error_code(std::errc::io_error);
    return false;
  }
  std::array<char, kReadChunkBytes> bufferA;
  std::array<char, kReadChunkBytes> bufferB;
  for (;;) {
    first.read(bufferA.data(), bufferA.size());
    second.read(bufferB.data(), bufferB.size());
    const std::streamsize got = first.gcount();
    if (got != second.gcount()) return false;
    if (std::memcmp(bufferA.data(), bufferB.data(), static_cast<std::size_t>(got)) != 0) {
      return false;
    }
    if (got < static_cast<std::streamsize>(bufferA.size())) return true;
  }
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

TreeComparison CompareTrees(const fs::path& compared, const fs::path& expected) {
  TreeComparison result;
  TreeEntries have;
  TreeEntries want;
  result.Error = ListTree(compared, "", "", have);
  if (result.Error.empty()) result.Error = ListTree(expected, "", "", want);
  if (!result.Error.empty()) return result;

  using Kind = TreeDifference::Kind;
  auto haveIt = have.cbegin();
  auto wantIt = want.cbegin();
  while (haveIt != have.end() || wantIt != want.end()) {
    if (wantIt == want.end() || (haveIt != have.end() && haveIt->first < wantIt->first)) {
      result.Differences.push_back({Kind::Extra, haveIt->second.Display});
      haveIt = PastEntry(haveIt, have);
      continue;
    }
    if (haveIt == have.end() || wantIt->first < haveIt->first) {
      result.Differences.push_back({Kind::Missing, wantIt->second.Display});
      wantIt = PastEntry(wantIt, want);
      continue;
    }
    const TreeEntry& mine = haveIt->second;
    const TreeEntry& theirs = wantIt->second;
    if (mine.Folder != theirs.Folder) {
      result.Differences.push_back({Kind::FileOrFolder, mine.Display});
      haveIt = PastEntry(haveIt, have);
      wantIt = PastEntry(wantIt, want);
      continue;
    }
    ++haveIt;
    ++wantIt;
    if (mine.Folder) continue;
    ++result.FilesCompared;
    std::error_code error;
    if (!SameContents(mine.Full, theirs.Full, error)) {
      if (error) {
        result.Error = mine.Display + ": " + error.message();
        return result;
      }
      result.Differences.push_back({Kind::Contents, mine.Display});
      continue;
    }
    const WindowsFileTime mineTime = LastWriteTime(mine.Full, error);
    const WindowsFileTime theirTime = error ? 0 : LastWriteTime(theirs.Full, error);
    if (error) {
      result.Error = mine.Display + ": " + error.message();
      return result;
    }
    if (mineTime != theirTime) {
      result.Differences.push_back({Kind::Time, mine.Display, mineTime, theirTime});
    }
  }
  return result;
}

std::string CopyFileWithTime(const fs::path& from, const fs::path& to) {
  std::error_code error;
  const WindowsFileTime written = LastWriteTime(from, error);
#ifdef _WIN32
  // MinGW's copy_file refuses to overwrite ("File exists") whatever the
  // options say; CopyFileW is what the updater itself copies with.
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

std::string CopyTree(const fs::path& from, const fs::path& to) {
  std::error_code error;
  if (!fs::create_directory(to, error) || error) {
    return to.u8string() + ": " + (error ? error.message() : "exists already");
  }
  fs::directory_iterator it(from, error);
  for (; !error && it != fs::directory_iterator(); it.increment(error)) {
    const fs::path target = to / it->path().filename();
    const bool isFolder = it->is_directory(error);
    if (error) break;
    const std::string failed =
        isFolder ? CopyTree(it->path(), target) : CopyFileWithTime(it->path(), target);
    if (!failed.empty()) {
      return isFolder ? failed : it->path().u8string() + ": " + failed;
    }
  }
  if (error) return from.u8string() + ": " + error.message();
  return {};
}

std::string DisplayPath(const fs::path& relative) {
  return relative.generic_u8string();
}
