#include "script_tool/tree_walker/folder_tree.h"

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <system_error>
#include <type_traits>

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "names/text_conversions.h"
#include "names/windows_names.h"

namespace fs = std::filesystem;

namespace {

// Files are compared this many bytes at a time.
constexpr std::size_t kCompareChunkBytes = 64 * 1024;

// One entry of a folder as listed, before make looks at its name.
struct Listed {
  NativePath path;
  NativePath name;
  EntryKind kind = EntryKind::Other;
  std::uintmax_t size = 0;
  std::int64_t lastWrite = 0;
  std::error_code error;  // the entry's status could not be read
};

#ifdef _WIN32

std::optional<std::wstring> DecodedName(const NativePath& name) { return name; }
std::string ShownName(const NativePath& name) { return WideToUtf8(name); }

struct SearchCloser {
  void operator()(HANDLE search) const { FindClose(search); }
};

// With FindFirstFileExW, which gives each entry's attributes, size and
// last-write time with its name. The runtime's stat would give the time in
// whole seconds, while the updater copies it to 100 ns.
std::error_code ListFolder(const NativePath& folder, const std::function<void(Listed&&)>& onEntry) {
  WIN32_FIND_DATAW found{};
  const HANDLE first = FindFirstFileExW((folder + L"\\*").c_str(), FindExInfoBasic, &found,
                                        FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (first == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    return std::error_code(static_cast<int>(error), std::system_category());
  }
  const std::unique_ptr<void, SearchCloser> search(first);
  do {
    Listed listed;
    listed.name = found.cFileName;
    if (listed.name == L"." || listed.name == L"..") continue;
    listed.path = folder + L"\\" + listed.name;
    const DWORD attributes = found.dwFileAttributes;
    listed.kind = (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ? EntryKind::Link
                  : (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0   ? EntryKind::Folder
                  : (attributes & FILE_ATTRIBUTE_DEVICE) != 0      ? EntryKind::Other
                                                                   : EntryKind::File;
    listed.size = (static_cast<std::uintmax_t>(found.nFileSizeHigh) << 32) | found.nFileSizeLow;
    listed.lastWrite = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
        found.ftLastWriteTime.dwLowDateTime);
    onEntry(std::move(listed));
  } while (FindNextFileW(search.get(), &found));
  const DWORD error = GetLastError();
  return error == ERROR_NO_MORE_FILES
             ? std::error_code()
             : std::error_code(static_cast<int>(error), std::system_category());
}

class ReadableFile {
 public:
  explicit ReadableFile(const NativePath& path) : file_(_wfopen(path.c_str(), L"rb")) {
    // Read straight into our own chunks; the stream's buffer would copy twice.
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
  }
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;
  ~ReadableFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool IsOpen() const { return file_ != nullptr; }
  // Fills into as far as the file goes: fewer bytes only at its end. False
  // when the file cannot be read.
  bool ReadUpTo(char* into, std::size_t bytes, std::size_t& got) {
    got = std::fread(into, 1, bytes, file_);
    return std::ferror(file_) == 0;
  }

 private:
  std::FILE* file_;
};

#else

// Linux names are bytes; a release tree's names are taken as UTF-8, the one
// encoding that can name every character of a Windows name.
std::optional<std::wstring> DecodedName(const NativePath& name) { return Utf8ToWide(name); }
std::string ShownName(const NativePath& name) { return name; }

struct DirCloser {
  void operator()(DIR* folder) const { closedir(folder); }
};

// With the system's own calls: one fstatat an entry, relative to the folder,
// where the library would build and parse a path and make a call for each of
// type, size and time. Over a release tree of many small files these are
// most of make's time.
std::error_code ListFolder(const NativePath& folder, const std::function<void(Listed&&)>& onEntry) {
  const std::unique_ptr<DIR, DirCloser> listing(opendir(folder.c_str()));
  if (!listing) return std::error_code(errno, std::generic_category());
  for (;;) {
    errno = 0;
    const dirent* const found = readdir(listing.get());
    if (found == nullptr) break;
    Listed listed;
    listed.name = found->d_name;
    if (listed.name == "." || listed.name == "..") continue;
    listed.path = folder + "/" + listed.name;
    struct stat status {};
    if (fstatat(dirfd(listing.get()), found->d_name, &status, AT_SYMLINK_NOFOLLOW) != 0) {
      listed.error = std::error_code(errno, std::generic_category());
    } else {
      listed.kind = S_ISREG(status.st_mode)   ? EntryKind::File
                    : S_ISDIR(status.st_mode) ? EntryKind::Folder
                    : S_ISLNK(status.st_mode) ? EntryKind::Link
                                              : EntryKind::Other;
      listed.size = static_cast<std::uintmax_t>(status.st_size);
      listed.lastWrite =
          static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 + status.st_mtim.tv_nsec;
    }
    onEntry(std::move(listed));
  }
  return errno == 0 ? std::error_code() : std::error_code(errno, std::generic_category());
}

class ReadableFile {
 public:
  explicit ReadableFile(const NativePath& path) : file_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  ReadableFile(const ReadableFile&) = delete;
  ReadableFile& operator=(const ReadableFile&) = delete;
  ~ReadableFile() {
    if (file_ >= 0) close(file_);
  }
  bool IsOpen() const { return file_ >= 0; }
  // Fills into as far as the file goes: fewer bytes only at its end. False
  // when the file cannot be read.
  bool ReadUpTo(char* into, std::size_t bytes, std::size_t& got) {
    got = 0;
    while (got < bytes) {
      const ssize_t read_now = read(file_, into + got, bytes - got);
      if (read_now < 0 && errno == EINTR) continue;
      if (read_now < 0) return false;
      if (read_now == 0) break;
      got += static_cast<std::size_t>(read_now);
    }
    return true;
  }

 private:
  int file_;
};

#endif

// A name that is not UTF-8 keeps its own bytes in the key, behind a mark, so
// that two such names in one folder stay two.
std::wstring UndecodedKey(const NativePath& name) {
  std::wstring key(1, L'\x01');
  for (const NativePath::value_type unit : name) {
    key.push_back(static_cast<wchar_t>(static_cast<std::make_unsigned_t<NativePath::value_type>>(unit)));
  }
  return key;
}

struct Walker {
  FolderTree& tree;
  // Of the folder being listed: its relative path with a backslash at the
  // end, its key and its shown path with "/" at the end (all empty at the root).
  std::wstring relative;
  std::wstring key;
  std::string shown;

  // The folder's own entry is at folderIndex; the root has none.
  void Walk(const NativePath& folder, std::size_t folderIndex) {
    const std::error_code error =
        ListFolder(folder, [this](Listed&& listed) { Add(std::move(listed)); });
    if (error && folderIndex < tree.Entries.size()) {
      tree.Entries[folderIndex].Unlisted = true;
      tree.Entries[folderIndex].Problem = "cannot be listed: " + error.message();
    } else if (error) {
      tree.Error = error.message();
    }
  }

  void Add(Listed&& listed) {
    TreeEntry entry;
    const std::optional<std::wstring> decoded = DecodedName(listed.name);
    if (!decoded) entry.Problem = "the name is not UTF-8";
    // A Linux name may hold a backslash; to Windows it separates two names.
    if (decoded && decoded->find(L'\\') != std::wstring::npos) {
      entry.Problem = "holds a backslash, which Windows reads as a folder separator";
    }
    const std::wstring name = decoded.value_or(L"?");
    entry.Relative = relative + name;
    entry.NameStart = relative.size();
    entry.Key = key + (decoded ? FoldWideName(name) : UndecodedKey(listed.name));
    entry.Key.push_back(L'\0');
    entry.Shown = shown + ShownName(listed.name);
    entry.Kind = listed.kind;
    entry.Size = listed.size;
    entry.LastWrite = listed.lastWrite;
    if (listed.error) {
      entry.Problem = "cannot be read: " + listed.error.message();
      entry.Unstated = true;
    }
    entry.Path = std::move(listed.path);
    tree.Entries.push_back(std::move(entry));

    const TreeEntry& added = tree.Entries.back();
    if (added.Kind == EntryKind::Folder && decoded && !listed.error) {
      Walker inner{tree, added.Relative + L'\\', added.Key, added.Shown + '/'};
      inner.Walk(NativePath(added.Path), tree.Entries.size() - 1);
    }
  }
};

}  // namespace

std::string ShownPath(const fs::path& path) { return path.u8string(); }

FolderTree ReadFolderTree(const fs::path& root) {
  FolderTree tree;
  std::error_code error;
  const fs::file_status status = fs::status(root, error);
  if (!fs::exists(status)) {
    tree.Error = "no such folder";
    return tree;
  }
  if (!fs::is_directory(status)) {
    tree.Error = "is not a folder";
    return tree;
  }
  Walker walker{tree, {}, {}, {}};
  walker.Walk(root.native(), static_cast<std::size_t>(-1));
  std::sort(tree.Entries.begin(), tree.Entries.end(), [](const TreeEntry& a, const TreeEntry& b) {
    const int order = a.Key.compare(b.Key);
    return order != 0 ? order < 0 : a.Relative < b.Relative;
  });
  return tree;
}

bool CanRead(const NativePath& path) { return ReadableFile(path).IsOpen(); }

bool SameContents(const NativePath& first, const NativePath& second, bool& readable) {
  readable = false;
  ReadableFile a(first);
  ReadableFile b(second);
  if (!a.IsOpen() || !b.IsOpen()) return false;
  // Made once: zeroing two fresh chunks for every pair of files would cost
  // more than reading most of them. The toolkit compares on one thread.
  static std::vector<char> chunkA(kCompareChunkBytes);
  static std::vector<char> chunkB(kCompareChunkBytes);
  // To the end of both, whatever size they were listed with: a file that
  // grows meanwhile is not taken for its first bytes.
  for (;;) {
    std::size_t gotA = 0;
    std::size_t gotB = 0;
    if (!a.ReadUpTo(chunkA.data(), chunkA.size(), gotA) ||
        !b.ReadUpTo(chunkB.data(), chunkB.size(), gotB)) {
      return false;
    }
    if (gotA != gotB || !std::equal(chunkA.begin(), chunkA.begin() + gotA, chunkB.begin())) {
      readable = true;
      return false;
    }
    if (gotA == 0) {
      readable = true;
      return true;
    }
  }
}
