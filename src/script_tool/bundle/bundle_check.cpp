#include "script_tool/bundle/bundle_check.h"

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <system_error>

#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script_tool/bundle/manifest_signature.h"
#include "script_tool/findings/finding_codes.h"
#include "script_tool/findings/quoted.h"
#include "script_tool/tree_walker/windows_paths.h"

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kReadBufferBytes = 1 << 20;

std::optional<std::string> ReadWhole(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

// The file's SHA-256, read in parts; empty when it cannot be read.
std::string HashOfFile(const fs::path& path, std::vector<char>& buffer) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  Sha256 hash;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    hash.Update(buffer.data(), static_cast<std::size_t>(in.gcount()));
  }
  return in.bad() ? std::string() : hash.FinishHex();
}

// A path as Windows finds a file by it: the payload is unpacked there.
std::string Folded(const std::string& utf8) {
  const std::optional<std::string> latin1 = Utf8ToLatin1(utf8);
  return latin1 ? FoldName(*latin1) : utf8;
}

Finding FindingAbout(std::string_view code, std::string file, std::size_t line,
                     std::string message) {
  Finding finding = CodedFinding(code, line, 0, std::move(message));
  finding.File = std::move(file);
  return finding;
}

// Every file of the bundle but its manifest and signature, '/' between
// names, with what is not a plain file marked.
std::map<std::string, bool> FilesOfBundle(const fs::path& folder, std::string& error) {
  std::map<std::string, bool> files;  // path -> is a plain file
  std::error_code failed;
  for (fs::recursive_directory_iterator entry(folder, failed), end; !failed && entry != end;
       entry.increment(failed)) {
    const fs::file_status status = entry->symlink_status(failed);
    if (failed) break;
    if (fs::is_directory(status)) continue;
    const std::string path = entry->path().lexically_relative(folder).generic_u8string();
    if (path == kManifestName || path == kManifestSignatureName) continue;
    files[path] = fs::is_regular_file(status);
  }
  if (failed) error = folder.u8string() + ": " + failed.message();
  return files;
}

}  // namespace

BundleCheck CheckBundle(const fs::path& folder, const std::string& shown,
                        const std::optional<std::string>& publicKeyPem) {
  BundleCheck check;
  const std::string manifestShown = shown + "/" + std::string(kManifestName);
  const std::optional<std::string> manifest = ReadWhole(folder / std::string(kManifestName));
  if (!manifest) {
    check.Error = manifestShown + " cannot be read";
    return check;
  }
  check.Manifest = ParseManifest(*manifest);
  for (const ManifestProblem& problem : check.Manifest.Problems) {
    check.Findings.push_back(FindingAbout(verify_code::kManifestLineMalformed, manifestShown,
                                          problem.Line, problem.Message));
  }
  std::map<std::string, bool> files = FilesOfBundle(folder, check.Error);
  if (!check.Error.empty()) return check;

  std::vector<char> buffer(kReadBufferBytes);
  const std::vector<ManifestEntry>& entries = check.Manifest.Entries;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const ManifestEntry& entry = entries[i];
    const std::size_t line = check.Manifest.EntryLines[i];
    auto mismatch = [&](const std::string& message) {
      check.Findings.push_back(FindingAbout(verify_code::kManifestLineMismatch, manifestShown,
                                            line, entry.Path + ": " + message));
    };
    const auto found = files.find(entry.Path);
    if (found == files.end()) {
      mismatch("is listed but missing from the bundle");
      continue;
    }
    const bool plain = found->second;
    files.erase(found);
    if (!plain) {
      mismatch("is not a plain file");
      continue;
    }
    const fs::path path = folder / fs::u8path(entry.Path);
    std::error_code error;
    const std::uintmax_t size = fs::file_size(path, error);
    if (error) {
      mismatch("cannot be read: " + error.message());
      continue;
    }
    if (size != entry.Size) {
      mismatch("the size differs: the manifest says " + std::to_string(entry.Size) +
               " bytes, the file has " + std::to_string(size));
      continue;
    }
    const std::string hash = HashOfFile(path, buffer);
    if (hash.empty()) {
      mismatch("cannot be read");
    } else if (hash != entry.Sha256) {
      mismatch("the SHA-256 differs: the manifest says " + entry.Sha256 + ", the file has " +
               hash);
    }
  }
  for (const auto& [path, plain] : files) {
    check.Findings.push_back(FindingAbout(
        verify_code::kFileNotInManifest, shown + "/" + path, 0,
        "is in the bundle but not in its MANIFEST: nothing vouches for its bytes"));
  }

  if (!publicKeyPem) return check;
  const std::string signatureShown = shown + "/" + std::string(kManifestSignatureName);
  const std::optional<std::string> signature =
      ReadWhole(folder / std::string(kManifestSignatureName));
  const std::string refused =
      signature ? CheckManifestSignature(*manifest, *signature, *publicKeyPem)
                : std::string("is missing, or cannot be read");
  if (!refused.empty()) {
    check.Findings.push_back(
        FindingAbout(verify_code::kSignatureNotValid, signatureShown, 0, refused));
  }
  return check;
}

std::optional<Finding> SourceRootDiffers(const ParsedManifest& manifest,
                                         const std::string& sourceRoot, const std::string& shown) {
  if (!manifest.HasSourceRoot) return std::nullopt;  // the malformed line is said already
  const std::optional<std::string> made = Utf8ToLatin1(manifest.SourceRoot);
  if (made) {
    const auto below = NamesBelowRoot(SplitWindowsPath(*made), SplitWindowsPath(sourceRoot));
    if (below && below->empty()) return std::nullopt;  // the same folder
  }
  constexpr std::size_t kSourceRootLine = 3;
  return FindingAbout(verify_code::kSourceRootDiffers, shown + "/" + std::string(kManifestName),
                      kSourceRootLine,
                      "the bundle was made for the source root " + manifest.SourceRoot +
                          ", not for --source-root " + Latin1ToUtf8(sourceRoot) +
                          ": give make and verify the same root");
}

std::vector<Finding> SourcesNotInManifest(const std::vector<ScriptLine>& lines,
                                          const std::string& sourceRoot,
                                          const ParsedManifest& manifest) {
  std::set<std::string> listed;
  const std::string payload = std::string(kPayloadFolderName) + "/";
  for (const ManifestEntry& entry : manifest.Entries) {
    if (entry.Path.compare(0, payload.size(), payload) == 0) {
      listed.insert(Folded(entry.Path.substr(payload.size())));
    }
  }
  const std::vector<std::string> root = SplitWindowsPath(sourceRoot);
  std::vector<Finding> findings;
  for (const ScriptLine& line : lines) {
    const FileCommand& command = line.Command;
    if (command.Kind != CommandKind::Copy || command.Arguments.size() != 2) continue;
    const auto names = NamesBelowRoot(SplitWindowsPath(command.Arguments[0]), root);
    if (!names || names->empty()) continue;
    std::string relative;
    for (const std::string& name : *names) {
      relative += (relative.empty() ? "" : "/") + Latin1ToUtf8(name);
    }
    if (listed.count(Folded(relative)) != 0) continue;
    findings.push_back(CodedFinding(
        verify_code::kSourceNotInBundle, line.Number, ArgumentColumn(line, 0),
        "source " + Quoted(command.Arguments[0]) + " is not in the bundle: its MANIFEST lists no " +
            payload + relative));
  }
  return findings;
}
