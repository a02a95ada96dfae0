#include "script_tool/windows_paths.h"

#include "script/widen_text.h"

namespace {

constexpr unsigned char kDivisionSign = 0xF7;
constexpr unsigned char kSmallYWithDiaeresis = 0xFF;
constexpr unsigned char kCaseDistance = 0x20;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

}  // namespace

std::string FoldLatin1Name(std::string_view latin1) {
  std::string folded(latin1);
  for (char& c : folded) {
    const auto byte = static_cast<unsigned char>(c);
    const bool asciiSmall = byte >= 'a' && byte <= 'z';
    const bool latin1Small =
        byte >= 0xE0 && byte != kDivisionSign && byte != kSmallYWithDiaeresis;
    if (asciiSmall || latin1Small) c = static_cast<char>(byte - kCaseDistance);
  }
  return folded;
}

std::vector<std::string> SplitWindowsPath(std::string_view latin1) {
  std::vector<std::string> names;
  std::size_t start = 0;
  while (start <= latin1.size()) {
    std::size_t end = start;
    while (end < latin1.size() && !IsSeparator(latin1[end])) ++end;
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
    if (FoldLatin1Name(path[i]) != FoldLatin1Name(root[i])) return std::nullopt;
  }
  return std::vector<std::string>(path.begin() + root.size(), path.end());
}

std::string ProblemOfRelativeNames(const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    if (name == "..") return "holds \"..\", which leaves the root";
    // Windows drops trailing dots and blanks from a name, so such a name
    // reaches a different file there than here.
    if (name.back() == '.' || name.back() == ' ') {
      return "holds the name \"" + Latin1ToUtf8(name) +
             "\", whose last dot or blank Windows drops";
    }
    if (name.find('\0') != std::string::npos) return "holds a NUL byte";
  }
  return {};
}

std::optional<std::string> Utf8ToLatin1(std::string_view utf8) {
  std::string latin1;
  latin1.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    const auto byte = static_cast<unsigned char>(utf8[i]);
    if (byte < 0x80) {
      latin1 += utf8[i];
      continue;
    }
    // Only the two-byte forms of U+0080 to U+00FF are Latin-1.
    if ((byte != 0xC2 && byte != 0xC3) || i + 1 >= utf8.size()) return std::nullopt;
    const auto next = static_cast<unsigned char>(utf8[++i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    latin1 += static_cast<char>(((byte & 0x03) << 6) | (next & 0x3F));
  }
  return latin1;
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
  std::string latin1;
  for (const wchar_t unit : name.native()) {
    if (unit > 0xFF) return std::nullopt;
    latin1 += static_cast<char>(unit);
  }
  return latin1;
#else
  return Utf8ToLatin1(name.native());
#endif
}
