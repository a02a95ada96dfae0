#include "updater_client/verify_update.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "bundle/manifest.h"
#include "bundle/p256_encoding.h"
#include "exec/brief_hold.h"
#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "platform/full_path.h"
#include "script/file_command.h"
#include "script/text_mode.h"
#include "script/widen_text.h"
#include "updater_client/cng_hash.h"
#include "updater_client/updater_client.h"

namespace devidudi {

namespace {

// A manifest of a million files is some 100 MB; one larger than this is no
// manifest make writes, and is not read into memory.
constexpr std::uint64_t kMostManifestBytes = 256ull << 20;
// A DER P-256 signature is 72 bytes at most.
constexpr std::uint64_t kMostSignatureBytes = 1024;
constexpr DWORD kReadChunkBytes = 1 << 20;

std::wstring Widened(std::string_view utf8) {
  return Utf8ToWide(utf8).value_or(WidenText(std::string(utf8)));
}

std::wstring Decimal(std::uint64_t value) { return std::to_wstring(value); }

// '/' between names, as MANIFEST writes them, to '\'.
std::wstring WindowsSeparators(std::wstring path) {
  for (wchar_t& unit : path) {
    if (unit == L'/') unit = L'\\';
  }
  return path;
}

// A path as Windows finds a file by it: resolved, then folded.
std::wstring PathKey(const std::wstring& fullPath) { return FoldWideName(fullPath); }

// Opens a file to read it whole, others allowed to read but not to change it
// while it is hashed; a brief hold by another process is waited out.
OwnedHandle OpenForReading(const std::wstring& path, DWORD& error) {
  OwnedHandle file;
  error = RetryWhileHeld([&] {
    file.Reset(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    return file.IsValid() ? ERROR_SUCCESS : GetLastError();
  });
  return file;
}

// The file's size and SHA-256 (hex), read once; its bytes kept when keep is
// given. ERROR_SUCCESS or the system's error. chunk is the read buffer, made
// once for every file: a fresh megabyte a file cost more than the reading.
struct HashedFile {
  DWORD Error = ERROR_SUCCESS;
  std::uint64_t Size = 0;
  std::string Sha256;
};

HashedFile HashFile(const std::wstring& path, std::uint64_t expectedSize, std::string* keep,
                    std::string& chunk) {
  HashedFile result;
  const OwnedHandle file = OpenForReading(path, result.Error);
  if (!file.IsValid()) return result;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) {
    result.Error = GetLastError();
    return result;
  }
  result.Size = static_cast<std::uint64_t>(size.QuadPart);
  // A size that differs is told without reading the file.
  if (expectedSize != result.Size) return result;
  // No one can write the file while it is open with read sharing alone, so
  // its size stays: exactly that many bytes are read, and no last read
  // is needed to find the end.
  CngSha256 hash;
  for (std::uint64_t left = result.Size; left > 0;) {
    const DWORD wanted = static_cast<DWORD>(std::min<std::uint64_t>(left, chunk.size()));
    DWORD read = 0;
    if (!::ReadFile(file.Get(), chunk.data(), wanted, &read, nullptr)) {
      result.Error = GetLastError();
      return result;
    }
    if (read == 0) {
      result.Error = ERROR_HANDLE_EOF;
      return result;
    }
    hash.Update(chunk.data(), read);
    if (keep != nullptr) keep->append(chunk.data(), read);
    left -= read;
  }
  const std::optional<Sha256Digest> digest = hash.Finish();
  if (!digest) {
    result.Error = ERROR_INVALID_FUNCTION;
    return result;
  }
  result.Sha256 = LowercaseHex(digest->data(), digest->size());
  return result;
}

// A small file whole (MANIFEST, MANIFEST.sig); ERROR_FILE_TOO_LARGE above most.
DWORD ReadSmallFile(const std::wstring& path, std::uint64_t most, std::string& bytes) {
  DWORD error = ERROR_SUCCESS;
  const OwnedHandle file = OpenForReading(path, error);
  if (!file.IsValid()) return error;
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file.Get(), &size)) return GetLastError();
  if (static_cast<std::uint64_t>(size.QuadPart) > most) return ERROR_FILE_TOO_LARGE;
  bytes.assign(static_cast<std::size_t>(size.QuadPart), '\0');
  std::size_t at = 0;
  while (at < bytes.size()) {
    DWORD read = 0;
    if (!::ReadFile(file.Get(), bytes.data() + at, static_cast<DWORD>(bytes.size() - at), &read,
                    nullptr)) {
      return GetLastError();
    }
    if (read == 0) break;
    at += read;
  }
  bytes.resize(at);
  return ERROR_SUCCESS;
}

struct BundleEntry {
  std::wstring Relative;  // '\' between names
  bool Plain = true;      // neither a folder nor a reparse point
};

// Every file of the bundle but MANIFEST and MANIFEST.sig, by its folded
// relative path. A reparse point (a link, a junction) is listed, not
// followed: a link could make a listed name read another file than the
// updater copies.
DWORD ListBundle(const std::wstring& folder, const std::wstring& relative,
                 std::map<std::wstring, BundleEntry>& entries, std::wstring& failed) {
  const std::wstring here = relative.empty() ? folder : folder + L'\\' + relative;
  WIN32_FIND_DATAW found{};
  const HANDLE search = FindFirstFileExW((here + L"\\*").c_str(), FindExInfoBasic, &found,
                                         FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH);
  if (search == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    failed = here;
    return error;
  }
  DWORD error = ERROR_SUCCESS;
  for (bool more = true; more && error == ERROR_SUCCESS; more = FindNextFileW(search, &found)) {
    const std::wstring name = found.cFileName;
    if (name == L"." || name == L"..") continue;
    const std::wstring path = relative.empty() ? name : relative + L'\\' + name;
    const bool isFolder = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    const bool isReparsePoint = (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
    if (isFolder && !isReparsePoint) {
      error = ListBundle(folder, path, entries, failed);
    } else if (!relative.empty() || (name != Widened(kManifestName) &&
                                     name != Widened(kManifestSignatureName))) {
      entries[FoldWideName(path)] = {path, !isReparsePoint};
    }
  }
  if (error == ERROR_SUCCESS) {
    // The loop ended at a FindNextFileW that failed: the end, or an error.
    const DWORD ended = GetLastError();
    if (ended != ERROR_NO_MORE_FILES) {
      error = ended;
      failed = here;
    }
  }
  FindClose(search);
  return error;
}

BundleVerdict Problem(BundleProblem problem, std::wstring file, std::wstring expected,
                      std::wstring found, std::size_t line = 0, DWORD error = ERROR_SUCCESS) {
  BundleVerdict verdict;
  verdict.Problem = problem;
  verdict.File = std::move(file);
  verdict.Expected = std::move(expected);
  verdict.Found = std::move(found);
  verdict.Line = line;
  verdict.Error = error;
  return verdict;
}

BundleVerdict CheckSignature(const std::wstring& folder, const std::string& manifest,
                             const P256PublicKey& key) {
  const std::wstring path = folder + L'\\' + Widened(kManifestSignatureName);
  const std::wstring expected = L"an ECDSA P-256 signature of MANIFEST by the application's key";
  std::string der;
  const DWORD error = ReadSmallFile(path, kMostSignatureBytes, der);
  if (error != ERROR_SUCCESS) {
    return Problem(BundleProblem::SignatureNotValid, path, expected,
                   error == ERROR_FILE_TOO_LARGE ? L"a file too large to be one"
                                                 : L"no file that can be read",
                   0, error);
  }
  const SignatureOutcome checked = CheckDerSignature(manifest, der, key.Point);
  switch (checked.Result) {
    case SignatureCheck::Good:
      return {};
    case SignatureCheck::Empty:
      return Problem(BundleProblem::SignatureNotValid, path, expected, L"an empty file");
    case SignatureCheck::NotDer:
      return Problem(BundleProblem::SignatureNotValid, path, expected,
                     Decimal(der.size()) + L" bytes that are no DER-encoded ECDSA signature");
    case SignatureCheck::NotByKey:
      return Problem(BundleProblem::SignatureNotValid, path, expected,
                     L"a signature of other bytes or by another key: MANIFEST was changed after "
                     L"it was signed, or signed by another key");
    case SignatureCheck::KeyRefused:
      return Problem(BundleProblem::KeyUnusable, folder, L"a public key on P-256",
                     L"a point Windows does not take as a P-256 key");
    case SignatureCheck::Failed:
      break;
  }
  return Problem(BundleProblem::SignatureNotValid, path, expected,
                 L"a signature Windows could not check", 0, checked.Error);
}

// The first COP source that is no listed file of the payload.
BundleVerdict CheckSources(const std::wstring& folder, const std::wstring& scriptPath,
                           const std::string& scriptBytes, const ParsedManifest& manifest) {
  const std::wstring payload = folder + L'\\' + Widened(kPayloadFolderName);
  const std::string payloadPrefix = std::string(kPayloadFolderName) + "/";
  std::set<std::wstring> listed;
  for (const ManifestEntry& entry : manifest.Entries) {
    if (entry.Path.compare(0, payloadPrefix.size(), payloadPrefix) != 0) continue;
    const std::optional<std::wstring> full =
        FullPathOf(folder + L'\\' + WindowsSeparators(Widened(entry.Path)));
    if (full) listed.insert(PathKey(*full));
  }
  std::wstring expected = L"a file below " + payload + L" that MANIFEST lists";
  const std::optional<std::wstring> root = FullPathOf(Widened(manifest.SourceRoot));
  if (!root || PathKey(*root) != PathKey(payload)) {
    expected += L" (MANIFEST's source root is " + Widened(manifest.SourceRoot) +
                L": the bundle must lie where its payload folder is that source root)";
  }

  BundleVerdict verdict;
  std::size_t number = 0;
  ForEachScriptLine(scriptBytes, [&](std::string_view line) {
    ++number;
    if (!verdict.Accepted()) return;
    const ParsedLine parsed = ParseLine(line);
    if (parsed.Kind != CommandKind::Copy || parsed.ArgumentCount != 2) return;
    const std::string source(parsed.Arguments[0]);
    const std::optional<std::wstring> wide = WidenForSystem(source);
    const std::optional<std::wstring> full =
        wide && IsFullPath(source) ? FullPathOf(*wide) : std::nullopt;
    if (full && listed.count(PathKey(*full)) != 0) return;
    verdict = Problem(BundleProblem::SourceNotListed, scriptPath, expected,
                      WidenText(source), number);
  });
  return verdict;
}

}  // namespace

BundleVerdict VerifyUpdate(const std::wstring& bundleFolder, std::string_view publicKeyPem) {
  std::optional<std::wstring> folder = FullPathOf(bundleFolder);
  if (!folder) {
    return Problem(BundleProblem::FolderUnreadable, bundleFolder, L"a folder",
                   L"a path Windows does not take", 0, ERROR_BAD_PATHNAME);
  }
  while (folder->size() > 3 && (folder->back() == L'\\' || folder->back() == L'/')) {
    folder->pop_back();
  }
  const P256PublicKey key = ParseP256PublicKeyPem(publicKeyPem);
  if (!key.Problem.empty()) {
    return Problem(BundleProblem::KeyUnusable, *folder, L"a PEM public key on P-256",
                   L"a key that " + Widened(key.Problem));
  }

  const std::wstring manifestPath = *folder + L'\\' + Widened(kManifestName);
  std::string manifestBytes;
  const DWORD manifestError = ReadSmallFile(manifestPath, kMostManifestBytes, manifestBytes);
  if (manifestError != ERROR_SUCCESS) {
    return Problem(BundleProblem::ManifestUnreadable, manifestPath, L"the bundle's MANIFEST",
                   L"no file that can be read", 0, manifestError);
  }
  BundleVerdict verdict = CheckSignature(*folder, manifestBytes, key);
  if (!verdict.Accepted()) return verdict;

  const ParsedManifest manifest = ParseManifest(manifestBytes);
  if (!manifest.Problems.empty()) {
    const ManifestProblem& first = manifest.Problems.front();
    return Problem(BundleProblem::ManifestMalformed, manifestPath,
                   L"a line as the manifest's format says", Widened(first.Message), first.Line);
  }
  bool scriptListed = false;
  for (const ManifestEntry& entry : manifest.Entries) scriptListed |= entry.Path == manifest.ScriptName;
  if (!scriptListed) {
    return Problem(BundleProblem::ManifestMalformed, manifestPath,
                   L"the script it names among its files",
                   L"no line for " + Widened(manifest.ScriptName), 2);
  }

  std::map<std::wstring, BundleEntry> files;
  std::wstring failed;
  const DWORD listError = ListBundle(*folder, L"", files, failed);
  if (listError != ERROR_SUCCESS) {
    return Problem(BundleProblem::FolderUnreadable, failed, L"a folder that can be listed",
                   L"a folder that cannot", 0, listError);
  }

  std::string scriptBytes;
  std::string chunk(kReadChunkBytes, '\0');
  for (std::size_t i = 0; i < manifest.Entries.size(); ++i) {
    const ManifestEntry& entry = manifest.Entries[i];
    const std::size_t line = manifest.EntryLines[i];
    const std::wstring relative = WindowsSeparators(Widened(entry.Path));
    const std::wstring path = *folder + L'\\' + relative;
    const auto found = files.find(FoldWideName(relative));
    if (found == files.end()) {
      return Problem(BundleProblem::FileMissing, path, L"a file of " + Decimal(entry.Size) + L" bytes",
                     L"no such file", line, ERROR_FILE_NOT_FOUND);
    }
    const bool plain = found->second.Plain;
    files.erase(found);
    if (!plain) {
      return Problem(BundleProblem::FileNotPlain, path, L"a plain file", L"a link or a folder", line);
    }
    const bool isScript = entry.Path == manifest.ScriptName;
    const HashedFile read = HashFile(path, entry.Size, isScript ? &scriptBytes : nullptr, chunk);
    if (read.Error != ERROR_SUCCESS) {
      return Problem(BundleProblem::FileMissing, path, L"a file that can be read",
                     L"one that cannot", line, read.Error);
    }
    if (read.Size != entry.Size) {
      return Problem(BundleProblem::SizeDiffers, path, Decimal(entry.Size) + L" bytes",
                     Decimal(read.Size) + L" bytes", line);
    }
    if (read.Sha256 != entry.Sha256) {
      return Problem(BundleProblem::HashDiffers, path, L"SHA-256 " + Widened(entry.Sha256),
                     L"SHA-256 " + Widened(read.Sha256), line);
    }
  }
  if (!files.empty()) {
    return Problem(BundleProblem::FileNotListed, *folder + L'\\' + files.begin()->second.Relative,
                   L"only the files MANIFEST lists", L"a file it does not list");
  }

  const std::wstring scriptPath = *folder + L'\\' + WindowsSeparators(Widened(manifest.ScriptName));
  verdict = CheckSources(*folder, scriptPath, scriptBytes, manifest);
  if (verdict.Accepted()) verdict.ScriptPath = scriptPath;
  return verdict;
}

std::wstring DescribeBundleProblem(const BundleVerdict& verdict) {
  if (verdict.Accepted()) return {};
  std::wstring text = verdict.File;
  if (verdict.Line != 0) text += L", line " + Decimal(verdict.Line);
  text += L": expected " + verdict.Expected + L", found " + verdict.Found;
  if (verdict.Error != ERROR_SUCCESS) text += L" (error " + Decimal(verdict.Error) + L")";
  const wchar_t* lead = verdict.Problem == BundleProblem::KeyUnusable
                            ? L"The application's public key cannot check updates: "
                        : verdict.Problem == BundleProblem::SignatureNotValid
                            ? L"The update is not signed by the application's key: "
                            : L"The update bundle is damaged or incomplete: ";
  return lead + text + L'.';
}

}  // namespace devidudi
