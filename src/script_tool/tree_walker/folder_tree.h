#pragma once
// A folder and everything under it, as make plans from two of them and verify
// compares two: each file and folder by its relative path, in the order
// Windows would sort the paths, with what Windows would make of each name
// (names/windows_names.h folds them), its size, kind and last-write time.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "script_tool/tree_walker/file_write_time.h"

enum class EntryKind { File, Folder, Link, Other };

// A path as the platform's calls take it: bytes on Linux, UTF-16 on Windows.
using NativePath = std::filesystem::path::string_type;

struct TreeEntry {
  EntryKind Kind = EntryKind::File;
  // The relative path as wide text (UTF-8 names on Linux decoded to code
  // points), a backslash between the names, as a script will hold it.
  std::wstring Relative;
  // Where the entry's own name starts in Relative.
  std::size_t NameStart = 0;
  // The names as Windows compares them (FoldWideName), each ended by
  // a NUL: as no name holds one, comparing two keys as texts compares them
  // name by name, and a folder's entries sort before a longer name.
  std::wstring Key;
  // The relative path for messages: UTF-8, "/" between the names.
  std::string Shown;
  NativePath Path;
  std::uintmax_t Size = 0;
  // The last-write time in the platform's own units (100 ns on Windows, 1 ns
  // on Linux): only ever compared with another of the same platform, or
  // turned into Windows' units by WindowsTimeOf (file_write_time.h).
  std::int64_t LastWrite = 0;
  // Why the entry cannot be used as it is (a name that is not UTF-8, a folder
  // that cannot be listed), or empty.
  std::string Problem;
  bool Unlisted = false;  // a folder whose entries could not be read
  bool Unstated = false;  // an entry whose kind, size and time could not be read
};

struct FolderTree {
  // Sorted by Key; entries with equal keys side by side.
  std::vector<TreeEntry> Entries;
  // Why the folder itself could not be read, or empty.
  std::string Error;
};

// Walks root without following symbolic links (a link is an entry of its own).
FolderTree ReadFolderTree(const std::filesystem::path& root);

// The text of a path for messages: UTF-8 on every platform.
std::string ShownPath(const std::filesystem::path& path);

// True when the file can be opened for reading.
bool CanRead(const NativePath& path);

// True when the two files hold the same bytes, both read to their ends;
// false as well when either cannot be read, which readable then says.
bool SameContents(const NativePath& first, const NativePath& second, bool& readable);
