#include "script_tool/tree_walker/windows_paths.h"

#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script/widen_text.h"

std::vector<std::string> SplitWindowsPath(std::string_view latin1) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= latin1.size()) {
    std::size_t end = start;
    while (end < latin1.size() && !IsPathSeparator(latin1[end])) ++end;
    const std::string_view name = latin1.substr(start, end - start);
    if (!name.empty() && name != ".") names.emplace_back(name);
    start = end + 1;
  }
  return names;
}

std::optional<std::vector<std::string>> NamesBelowRoot(
    const std::vector<std::string>& path, const std::vector<std::string>& root) {
  if (root.empty() || path.size() < root.size()) return std::nullopt;
  for (std::size_t i = 0; i < root.size(); ++i) {
    if (FoldName(path[i]) != FoldName(root[i])) return std::nullopt;
  }
  return std::vector<std::string>(path.begin() + root.size(), path.end());
}

std::string ProblemOfRelativeNames(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (name == "..") return "holds \"..\", which leaves the root";
    // Windows drops trailing dots and blanks from a name (and refuses a
    // TAB), so such a name reaches a different file there than here.
    if (EndsNameBadly(name)) {
      return "holds the name \"" + Latin1ToUtf8(name) +
             "\", whose last dot, blank or TAB Windows drops or refuses";
    }
    if (name.find('\0') != std::string::npos) return "holds a NUL byte";
  }
  return {};
}

std::filesystem::path LocalName(const std::string& latin1) {
#ifdef _WIN32
  return std::filesystem::path(WidenText(latin1));
#else
  return std::filesystem::u8path(Latin1ToUtf8(latin1));
#endif
}

std::optional<std::string> Latin1Name(const std::filesystem::path& name) {
#ifdef _WIN32
  return WideToLatin1(name.native());
#else
  return Utf8ToLatin1(name.native());
#endif
}
