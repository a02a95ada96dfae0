#include "script_tool/tree_walker/exclude_glob.h"

#include <algorithm>
#include <string>
#include <vector>

#include "names/text_conversions.h"
#include "names/windows_names.h"

namespace {

constexpr std::wstring_view kAnyFolders = L"**";

// The names of a path, folded as Windows compares them; empty names (a
// doubled or a final separator) are dropped.
std::vector<std::wstring> FoldedNames(std::wstring_view path) {
  std::vector<std::wstring> names;
  std::wstring name;
  for (const wchar_t unit : path) {
    if (unit == L'\\' || unit == L'/') {
      if (!name.empty()) names.push_back(std::move(name));
      name.clear();
    } else {
      name.push_back(FoldNameUnit(unit));
    }
  }
  if (!name.empty()) names.push_back(std::move(name));
  return names;
}

// One name against one name's pattern: "*" any run, "?" one character. On a
// mismatch the last "*" takes one character more, so no input is tried
// twice from the same place.
bool NameMatches(std::wstring_view pattern, std::wstring_view name) {
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t star = std::wstring_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && (pattern[p] == L'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (p < pattern.size() && pattern[p] == L'*') {
      star = p++;
      starName = n;
    } else if (star != std::wstring_view::npos) {
      p = star + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == L'*') ++p;
  return p == pattern.size();
}

bool NamesMatch(const std::vector<std::wstring>& pattern, std::size_t p,
                const std::vector<std::wstring>& names, std::size_t n) {
  if (p == pattern.size()) return n == names.size();
  if (pattern[p] == kAnyFolders) {
    // None, one, or more of the names.
    for (std::size_t skip = n; skip <= names.size(); ++skip) {
      if (NamesMatch(pattern, p + 1, names, skip)) return true;
    }
    return false;
  }
  return n < names.size() && NameMatches(pattern[p], names[n]) &&
         NamesMatch(pattern, p + 1, names, n + 1);
}

}  // namespace

bool ExcludeGlobMatches(std::wstring_view pattern, std::wstring_view relative) {
  return NamesMatch(FoldedNames(pattern), 0, FoldedNames(relative), 0);
}

bool PathExcluded(const std::vector<std::wstring>& patterns, std::wstring_view relative) {
  for (std::size_t end = relative.find(L'\\');; end = relative.find(L'\\', end + 1)) {
    const std::wstring_view path = relative.substr(0, end);
    for (const std::wstring& pattern : patterns) {
      if (ExcludeGlobMatches(pattern, path)) return true;
    }
    if (end == std::wstring_view::npos) return false;
  }
}

namespace {

// Whether entry lies below the folder: keys end each name with a NUL, so an
// entry below a folder starts with the folder's key.
bool IsBelow(const TreeEntry& entry, const TreeEntry& folder) {
  return entry.Key.size() > folder.Key.size() &&
         entry.Key.compare(0, folder.Key.size(), folder.Key) == 0;
}

}  // namespace

FolderTree WithoutExcluded(const FolderTree& tree, const std::vector<std::wstring>& patterns,
                           std::set<std::wstring>* excludedFiles) {
  if (patterns.empty()) return tree;
  FolderTree kept;
  kept.Error = tree.Error;
  // Backwards, so that what lies below a folder is settled before it.
  for (std::size_t i = tree.Entries.size(); i-- > 0;) {
    const TreeEntry& entry = tree.Entries[i];
    if (PathExcluded(patterns, entry.Relative)) {
      if (excludedFiles != nullptr && entry.Kind == EntryKind::File) {
        excludedFiles->insert(entry.Key);
      }
      continue;
    }
    const bool heldSomething = i + 1 < tree.Entries.size() && IsBelow(tree.Entries[i + 1], entry);
    const bool holdsSomething = !kept.Entries.empty() && IsBelow(kept.Entries.back(), entry);
    if (entry.Kind == EntryKind::Folder && heldSomething && !holdsSomething) continue;
    kept.Entries.push_back(entry);
  }
  std::reverse(kept.Entries.begin(), kept.Entries.end());
  return kept;
}

std::optional<std::vector<std::wstring>> ExcludePatternsFromUtf8(
    const std::vector<std::string>& patterns) {
  std::vector<std::wstring> wide;
  for (const std::string& pattern : patterns) {
    std::optional<std::wstring> converted = Utf8ToWide(pattern);
    if (!converted) return std::nullopt;
    wide.push_back(std::move(*converted));
  }
  return wide;
}
