#include "script_tool/folder_tree.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <system_error>

#include "script_tool/make_text.h"

namespace fs = std::filesystem;

namespace {

// Files are compared this many bytes at a time.
constexpr std::size_t kCompareChunkBytes = 64 * 1024;

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

    std::error_code error;
    const fs::file_type type = found.symlink_status(error).type();
    if (type == fs::file_type::regular) {
      entry.Kind = EntryKind::File;
      entry.Size = found.file_size(error);
      if (!error) entry.LastWrite = found.last_write_time(error);
      if (error) entry.Problem = "cannot be read: " + error.message();
    } else if (type == fs::file_type::directory) {
      entry.Kind = EntryKind::Folder;
    } else if (type == fs::file_type::symlink) {
      entry.Kind = EntryKind::Link;
    } else {
      entry.Kind = EntryKind::Other;
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

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using OpenFile = std::unique_ptr<std::FILE, FileCloser>;

OpenFile OpenForReading(const fs::path& path) {
#ifdef _WIN32
  OpenFile file(_wfopen(path.c_str(), L"rb"));
#else
  OpenFile file(std::fopen(path.c_str(), "rb"));
#endif
  // Read straight into our own chunks; the stream's buffer would copy twice.
  if (file) std::setvbuf(file.get(), nullptr, _IONBF, 0);
  return file;
}

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

bool SameContents(const fs::path& first, const fs::path& second, bool& readable) {
  readable = false;
  const OpenFile a = OpenForReading(first);
  const OpenFile b = OpenForReading(second);
  if (!a || !b) return false;
  std::vector<char> chunkA(kCompareChunkBytes);
  std::vector<char> chunkB(kCompareChunkBytes);
  for (;;) {
    const std::size_t readA = std::fread(chunkA.data(), 1, chunkA.size(), a.get());
    const std::size_t readB = std::fread(chunkB.data(), 1, chunkB.size(), b.get());
    if (std::ferror(a.get()) || std::ferror(b.get())) return false;
    if (readA != readB || !std::equal(chunkA.begin(), chunkA.begin() + readA, chunkB.begin())) {
      readable = true;
      return false;
    }
    if (readA == 0) {
      readable = true;
      return true;
    }
  }
}
