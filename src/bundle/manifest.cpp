#include "bundle/manifest.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace {

constexpr std::string_view kFirstLine = "devidudi-manifest 1";
constexpr std::string_view kScriptPrefix = "script ";
constexpr std::string_view kSourceRootPrefix = "source-root ";
constexpr std::size_t kSha256HexDigits = 64;

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// A size as the format writes it: decimal digits, no sign, no leading zero
// (but "0" itself), within 64 bits. A second spelling of one size would let
// two manifests of the same files differ.
bool ParseSize(std::string_view text, std::uint64_t& size) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
  if (!std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return false;
  }
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), size);
  return error == std::errc() && end == text.data() + text.size();
}

// A path the bundle can hold: relative, '/' between names, none of them empty,
// "." or "..", so that no line reaches a file outside the bundle.
bool IsPathWithinBundle(std::string_view path) {
  if (path.empty() || path.find('\\') != std::string_view::npos) return false;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = path.find('/', start);
    const std::string_view name = path.substr(start, end - start);
    if (name.empty() || name == "." || name == "..") return false;
    if (end == std::string_view::npos) return true;
    start = end + 1;
  }
}

}  // namespace

std::string LowercaseHex(const unsigned char* bytes, std::size_t size) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string text;
  text.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0x0F];
  }
  return text;
}

bool IsSha256Hex(std::string_view text) {
  return text.size() == kSha256HexDigits &&
         std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

std::string ManifestText(const std::string& scriptName, const std::string& sourceRoot,
                         std::vector<ManifestEntry> entries) {
  // std::string compares as unsigned bytes (char_traits<char>::lt).
  std::sort(entries.begin(), entries.end(),
            [](const ManifestEntry& a, const ManifestEntry& b) { return a.Path < b.Path; });
  std::string text = std::string(kFirstLine) + '\n';
  text += std::string(kScriptPrefix) + scriptName + '\n';
  text += std::string(kSourceRootPrefix) + sourceRoot + '\n';
  for (const ManifestEntry& entry : entries) {
    text += entry.Sha256 + ' ' + std::to_string(entry.Size) + ' ' + entry.Path + '\n';
  }
  return text;
}

ParsedManifest ParseManifest(std::string_view bytes) {
  ParsedManifest parsed;
  auto problem = [&parsed](std::size_t line, std::string message) {
    parsed.Problems.push_back({line, std::move(message)});
  };
  std::set<std::string> paths;
  std::size_t number = 0;
  std::size_t at = 0;
  while (at < bytes.size()) {
    ++number;
    const std::size_t end = bytes.find('\n', at);
    const bool ended = end != std::string_view::npos;
    const std::string_view line = bytes.substr(at, ended ? end - at : std::string_view::npos);
    at = ended ? end + 1 : bytes.size();
    if (!ended) problem(number, "the last line does not end in LF");
    if (line.find('\r') != std::string_view::npos) {
      problem(number, "holds a CR: the manifest's lines end in LF alone");
      continue;
    }
    if (number == 1) {
      if (line != kFirstLine) problem(number, "is not \"devidudi-manifest 1\"");
      continue;
    }
    if (number == 2) {
      if (StartsWith(line, kScriptPrefix) && line.size() > kScriptPrefix.size()) {
        parsed.ScriptName = std::string(line.substr(kScriptPrefix.size()));
      } else {
        problem(number, "is not \"script NAME\"");
      }
      continue;
    }
    if (number == 3) {
      if (StartsWith(line, kSourceRootPrefix)) {
        parsed.SourceRoot = std::string(line.substr(kSourceRootPrefix.size()));
        parsed.HasSourceRoot = true;
      } else {
        problem(number, "is not \"source-root PATH\"");
      }
      continue;
    }
    const std::size_t firstSpace = line.find(' ');
    const std::size_t secondSpace =
        firstSpace == std::string_view::npos ? firstSpace : line.find(' ', firstSpace + 1);
    if (secondSpace == std::string_view::npos) {
      problem(number, "is not \"SHA-256 SIZE PATH\"");
      continue;
    }
    ManifestEntry entry;
    const std::string_view hash = line.substr(0, firstSpace);
    const std::string_view size = line.substr(firstSpace + 1, secondSpace - firstSpace - 1);
    entry.Path = std::string(line.substr(secondSpace + 1));
    if (!IsSha256Hex(hash)) {
      problem(number, "the hash field \"" + std::string(hash) +
                          "\" is not 64 lowercase hex digits");
      continue;
    }
    if (!ParseSize(size, entry.Size)) {
      problem(number, "the size field \"" + std::string(size) +
                          "\" is not a decimal number without leading zeros");
      continue;
    }
    if (!IsPathWithinBundle(entry.Path)) {
      problem(number, "the path \"" + entry.Path +
                          "\" does not name a file within the bundle ('/' between names, no "
                          "empty, \".\" or \"..\" name)");
      continue;
    }
    if (!paths.insert(entry.Path).second) {
      problem(number, "lists " + entry.Path + " a second time");
      continue;
    }
    // Sorted as make writes it, so that one set of files has one manifest.
    if (!parsed.Entries.empty() && entry.Path < parsed.Entries.back().Path) {
      problem(number, "is out of order: " + entry.Path + " sorts before " +
                          parsed.Entries.back().Path + " (paths sorted as bytes)");
      continue;
    }
    entry.Sha256 = std::string(hash);
    parsed.Entries.push_back(std::move(entry));
    parsed.EntryLines.push_back(number);
  }
  if (number < 3) problem(number + 1, "the manifest ends before its three header lines");
  return parsed;
}
