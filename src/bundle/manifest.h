#pragma once
// The MANIFEST of an update bundle, as text: what make --bundle writes and
// verify --bundle reads, a pure function each way over bytes. The format is
// fixed, for the Windows side reads the same files:
//
//   devidudi-manifest 1
//   script <name of the script file in the bundle>
//   source-root <the --source-root as given>
//   <SHA-256, 64 lowercase hex digits> <size, decimal> <path, '/' between names>
//   ...
//
// LF after every line, the last too; the file lines sorted by path as bytes.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kManifestName = "MANIFEST";
inline constexpr std::string_view kManifestSignatureName = "MANIFEST.sig";
inline constexpr std::string_view kPayloadFolderName = "payload";

struct ManifestEntry {
  std::string Sha256;  // 64 lowercase hex digits
  std::uint64_t Size = 0;
  std::string Path;  // relative to the bundle, '/' between names, UTF-8
};

// The manifest's bytes. The entries are sorted here, so that the same files
// give the same bytes whatever order they were found in.
std::string ManifestText(const std::string& scriptName, const std::string& sourceRoot,
                         std::vector<ManifestEntry> entries);

// One line that is not as the format says, with its number (from 1).
struct ManifestProblem {
  std::size_t Line = 0;
  std::string Message;
};

struct ParsedManifest {
  std::string ScriptName;  // empty when line 2 is not a script line
  std::string SourceRoot;
  bool HasSourceRoot = false;
  std::vector<ManifestEntry> Entries;
  std::vector<std::size_t> EntryLines;  // the line of each entry
  std::vector<ManifestProblem> Problems;
};

// Every line is read, a malformed one is a problem and left out of Entries.
ParsedManifest ParseManifest(std::string_view bytes);

// True for 64 lowercase hex digits.
bool IsSha256Hex(std::string_view text);

// A digest's bytes as lowercase hex digits, two a byte, as MANIFEST writes them.
std::string LowercaseHex(const unsigned char* bytes, std::size_t size);
