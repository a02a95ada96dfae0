#include "script_tool/folder_tree.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "script_tool/make_text.h"

namespace fs = std::filesystem;

namespace {

// Files are compared this many bytes at a time.
constexpr std::size_t kCompareChunkBytes = 64 * 1024;

// Sets the entry's kind and, for a file, its size and last-write time,
// without following a symbolic link; the error when it cannot.
std::error_code ReadStatus(const fs::directory_entry& found, TreeEntry& entry);

#ifdef _WIN32
std::optional<std::wstring> DecodedName(const fs::path& name) { return name.wstring(); }
#else
// Linux names are bytes; a release tree's names are taken as UTF-8, the one
// encoding that can name every character of a Windows name.
std::optional<std::wstring> DecodedName(const fs::path& name) {
  return WideFromUtf8(name.native());
}
#endif

struct Walker {
  FolderTree& tree;
  std::vector<std::wstring> names;
  std::string shown;

  // The folder's own entry is at folderIndex; the root has none.
  void Walk(const fs::path& folder, std::size_t folderIndex) {
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end;
         it.increment(error)) {
      Add(*it);
    }
    if (error && folderIndex < tree.Entries.size()) {
      tree.Entries[folderIndex].Unlisted = true;
      tree.Entries[folderIndex].Problem = "cannot be listed: " + error.message();
    } else if (error) {
      tree.Error = error.message();
    }
  }

  void Add(const fs::directory_entry& found) {
    TreeEntry entry;
    entry.Path = found.path();
    const fs::path name = entry.Path.filename();
    const std::optional<std::wstring> decoded = DecodedName(name);
    if (!decoded) entry.Problem = "the name is not UTF-8";
    entry.Names = names;
    entry.Names.push_back(decoded.value_or(L"?"));
    for (const std::wstring& part : entry.Names) entry.Key.push_back(UpperCaseForWindows(part));
    entry.Shown = (shown.empty() ? "" : shown + "/") + name.u8string();

    if (const std::error_code failed = ReadStatus(found, entry)) {
      entry.Problem = "cannot be read: " + failed.message();
    }
    tree.Entries.push_back(std::move(entry));
    if (tree.Entries.back().Kind == EntryKind::Folder && decoded) {
      const std::string outer = shown;
      names.push_back(*decoded);
      shown = tree.Entries.back().Shown;
      Walk(found.path(), tree.Entries.size() - 1);
      names.pop_back();
      shown = outer;
    }
  }
};

#ifdef _WIN32

std::error_code ReadStatus(const fs::directory_entry& found, TreeEntry& entry) {
  std::error_code error;
  const fs::file_type type = found.symlink_status(error).type();
  entry.Kind = type == fs::file_type::regular     ? EntryKind::File
               : type == fs::file_type::directory ? EntryKind::Folder
               : type == fs::file_type::symlink   ? EntryKind::Link
                                                  : EntryKind::Other;
  if (!error && entry.Kind == EntryKind::File) entry.Size = found.file_size(error);
  if (!error && entry.Kind == EntryKind::File) {
    entry.LastWrite = found.last_write_time(error).time_since_epoch().count();
  }
  return error;
}

class OpenFile {
 public:
  explicit OpenFile(const fs::path& path) : file_(_wfopen(path.c_str(), L"rb")) {
    // Read straight into our own chunks; the stream's buffer would copy twice.
    if (file_ != nullptr) std::setvbuf(file_, nullptr, _IONBF, 0);
  }
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  bool IsOpen() const { return file_ != nullptr; }
  bool ReadExactly(char* into, std::size_t bytes) {
    return std::fread(into, 1, bytes, file_) == bytes;
  }

 private:
  std::FILE* file_;
};

#else

// One lstat for all, where the library would make a call for each: over a
// release tree of many small files, these calls are much of make's time.
std::error_code ReadStatus(const fs::directory_entry& found, TreeEntry& entry) {
  struct stat status {};
  if (lstat(found.path().c_str(), &status) != 0) {
    entry.Kind = EntryKind::Other;
    return std::error_code(errno, std::generic_category());
  }
  entry.Kind = S_ISREG(status.st_mode)   ? EntryKind::File
               : S_ISDIR(status.st_mode) ? EntryKind::Folder
               : S_ISLNK(status.st_mode) ? EntryKind::Link
                                         : EntryKind::Other;
  entry.Size = static_cast<std::uintmax_t>(status.st_size);
  entry.LastWrite = static_cast<std::int64_t>(status.st_mtim.tv_sec) * 1000000000 +
                    status.st_mtim.tv_nsec;
  return {};
}

class OpenFile {
 public:
  explicit OpenFile(const fs::path& path) : file_(open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;
  ~OpenFile() {
    if (file_ >= 0) close(file_);
  }
  bool IsOpen() const { return file_ >= 0; }
  bool ReadExactly(char* into, std::size_t bytes) {
    while (bytes > 0) {
      const ssize_t got = read(file_, into, bytes);
      if (got < 0 && errno == EINTR) continue;
      if (got <= 0) return false;
      into += got;
      bytes -= static_cast<std::size_t>(got);
    }
    return true;
  }

 private:
  int file_;
};

#endif

}  // namespace

std::wstring UpperCaseForWindows(const std::wstring& name) {
  std::wstring upper = name;
  for (wchar_t& character : upper) {
    if ((character >= L'a' && character <= L'z') ||
        (character >= 0xE0 && character <= 0xFE && character != 0xF7)) {
      character -= 0x20;
    } else if (character == 0xFF) {
      character = 0x178;  // LATIN CAPITAL LETTER Y WITH DIAERESIS
    } else if (character == 0xB5) {
      character = 0x39C;  // MICRO SIGN upper-cases to GREEK CAPITAL LETTER MU
    }
  }
  return upper;
}

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
  Walker walker{tree, {}, {}};
  walker.Walk(root, static_cast<std::size_t>(-1));
  std::sort(tree.Entries.begin(), tree.Entries.end(),
            [](const TreeEntry& a, const TreeEntry& b) {
              return a.Key != b.Key ? a.Key < b.Key : a.Names < b.Names;
            });
  return tree;
}

bool CanRead(const fs::path& path) { return OpenFile(path).IsOpen(); }

bool SameContents(const fs::path& first, const fs::path& second, std::uintmax_t size,
                  bool& readable) {
  readable = false;
  OpenFile a(first);
  OpenFile b(second);
  if (!a.IsOpen() || !b.IsOpen()) return false;
  // Made once: zeroing two fresh chunks for every pair of files would cost
  // more than reading most of them. The toolkit compares on one thread.
  static std::vector<char> chunkA(kCompareChunkBytes);
  static std::vector<char> chunkB(kCompareChunkBytes);
  // Both files were this long when listed; one that changes meanwhile is
  // compared as far as that size.
  for (std::uintmax_t left = size; left > 0;) {
    const std::size_t want = static_cast<std::size_t>(std::min<std::uintmax_t>(left, kCompareChunkBytes));
    if (!a.ReadExactly(chunkA.data(), want) || !b.ReadExactly(chunkB.data(), want)) return false;
    if (!std::equal(chunkA.begin(), chunkA.begin() + want, chunkB.begin())) {
      readable = true;
      return false;
    }
    left -= want;
  }
  readable = true;
  return true;
}
