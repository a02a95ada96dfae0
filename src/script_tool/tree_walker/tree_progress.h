#pragma once
// How far a long walk over a tree has come, told to whoever shows progress:
// the walks stay free of output, and a caller that wants none passes nothing.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

struct TreeProgress {
  std::size_t Done = 0;   // files done so far, the one at hand included
  std::size_t Total = 0;  // files in all; 0 when not known
  // The folder of the file at hand below the tree's root, "/" between names
  // (UTF-8); empty for the root itself.
  std::string_view Folder;
};

using TreeProgressReport = std::function<void(const TreeProgress&)>;

// The folder part of a shown relative path ("locale/de/a.txt" -> "locale/de").
inline std::string_view FolderOfShownPath(std::string_view shown) {
  const std::size_t slash = shown.rfind('/');
  return slash == std::string_view::npos ? std::string_view() : shown.substr(0, slash);
}
