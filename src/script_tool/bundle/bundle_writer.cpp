#include "script_tool/bundle/bundle_writer.h"

#include <fstream>
#include <random>
#include <system_error>

#include "bundle/manifest.h"
#include "script_tool/bundle/manifest_signature.h"
#include "script_tool/tree_walker/file_write_time.h"

namespace fs = std::filesystem;

namespace {

// Big enough that a read costs little beside the hashing, small enough to
// stay in the cache while it is hashed and written.
constexpr std::size_t kCopyBufferBytes = 1 << 20;

// Why a write failed, or empty.
std::string WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  return out ? std::string() : path.u8string() + ": cannot be written";
}

// Copies from to to, reading each part once and hashing it from the buffer
// it is written from. Why it failed, or empty.
std::string CopyAndHash(const fs::path& from, const fs::path& to, std::vector<char>& buffer,
                        ManifestEntry& entry) {
  std::ifstream in(from, std::ios::binary);
  if (!in) return from.u8string() + ": cannot be read";
  std::ofstream out(to, std::ios::binary | std::ios::trunc);
  if (!out) return to.u8string() + ": cannot be written";
  Sha256 hash;
  std::uint64_t size = 0;
  while (in) {
    in.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
    const std::size_t got = static_cast<std::size_t>(in.gcount());
    if (got == 0) break;
    hash.Update(buffer.data(), got);
    out.write(buffer.data(), static_cast<std::streamsize>(got));
    size += got;
  }
  if (in.bad()) return from.u8string() + ": cannot be read";
  out.close();
  if (!out) return to.u8string() + ": cannot be written";
  entry.Sha256 = hash.FinishHex();
  if (entry.Sha256.empty()) return "SHA-256 failed";
  entry.Size = size;
  std::error_code error;
  const WindowsFileTime written = LastWriteTime(from, error);
  if (!error) error = SetLastWriteTime(to, written);
  if (error) return to.u8string() + ": its last-write time cannot be set: " + error.message();
  return {};
}

// A folder beside the bundle's, named after it, that no other run takes.
fs::path MakeSibling(const fs::path& folder, std::error_code& error) {
  std::random_device random;
  const fs::path parent = folder.parent_path().empty() ? fs::path(".") : folder.parent_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        parent / ("." + folder.filename().u8string() + ".ddu-bundle-" + std::to_string(random()));
    if (fs::create_directory(candidate, error) && !error) return candidate;
  }
  if (!error) error = std::make_error_code(std::errc::file_exists);
  return {};
}

// Writes everything into building; why it failed, or empty.
std::string Fill(const BundleRequest& request, const fs::path& building, BundleOutcome& outcome) {
  std::vector<ManifestEntry> entries;
  std::vector<char> buffer(kCopyBufferBytes);
  const fs::path payload = building / std::string(kPayloadFolderName);
  std::error_code error;
  // There even when nothing is copied: the application unpacks it as it is.
  fs::create_directory(payload, error);
  if (error) return payload.u8string() + ": " + error.message();
  for (const BundledFile& file : request.Files) {
    const fs::path to = payload / fs::u8path(file.Path);
    fs::create_directories(to.parent_path(), error);
    if (error) return to.parent_path().u8string() + ": " + error.message();
    ManifestEntry entry;
    entry.Path = std::string(kPayloadFolderName) + "/" + file.Path;
    const std::string failed = CopyAndHash(fs::path(file.From), to, buffer, entry);
    if (!failed.empty()) return failed;
    entries.push_back(std::move(entry));
  }
  std::string failed = WriteFile(building / fs::u8path(request.ScriptName), request.ScriptBytes);
  if (!failed.empty()) return failed;
  entries.push_back({Sha256Hex(request.ScriptBytes), request.ScriptBytes.size(),
                     request.ScriptName});
  for (const ManifestEntry& entry : entries) outcome.Bytes += entry.Size;
  outcome.Files = entries.size();
  const std::string manifest =
      ManifestText(request.ScriptName, request.SourceRoot, std::move(entries));
  failed = WriteFile(building / std::string(kManifestName), manifest);
  if (!failed.empty()) return failed;
  if (!request.PrivateKeyPem) return {};
  const ManifestSignature signature = SignManifest(manifest, *request.PrivateKeyPem);
  if (!signature.Error.empty()) return "the key " + signature.Error;
  return WriteFile(building / std::string(kManifestSignatureName), signature.Der);
}

}  // namespace

std::string ProblemOfBundledScriptName(const std::string& name) {
  if (name.empty() || name == "." || name == ".." ||
      name.find_first_of("/\\") != std::string::npos) {
    return "is not a file name";
  }
  if (name == kManifestName || name == kManifestSignatureName || name == kPayloadFolderName) {
    return "is a name the bundle keeps for its own files";
  }
  return {};
}

BundleOutcome WriteBundle(const BundleRequest& request) {
  BundleOutcome outcome;
  std::error_code error;
  const bool exists = fs::exists(request.Folder, error);
  if (exists && !(fs::is_directory(request.Folder, error) && fs::is_empty(request.Folder, error))) {
    outcome.FolderTaken = true;
    outcome.Error = request.Folder.u8string() + " exists and is not an empty folder";
    return outcome;
  }
  const fs::path building = MakeSibling(request.Folder, error);
  if (building.empty()) {
    outcome.Error = "no folder could be made beside " + request.Folder.u8string() + ": " +
                    error.message();
    return outcome;
  }
  outcome.Error = Fill(request, building, outcome);
  // An empty folder in the way goes first: Windows renames no folder over
  // another.
  if (outcome.Error.empty() && exists) fs::remove(request.Folder, error);
  if (outcome.Error.empty()) {
    fs::rename(building, request.Folder, error);
    if (error) outcome.Error = request.Folder.u8string() + ": " + error.message();
  }
  if (!outcome.Error.empty()) fs::remove_all(building, error);
  return outcome;
}
