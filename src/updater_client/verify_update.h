#pragma once
// The application's check of an update bundle (devidudi-script make --bundle)
// before it applies it. A download cut short, a proxy that rewrites a file, a
// file planted beside the others or a manifest edited after it was signed
// must never reach the installed folder: VerifyUpdate finds each, and the
// application then neither creates folders nor starts the updater.
//
// The order of an update is three calls:
//   VerifyUpdate(bundleFolder, publicKeyPem)   the bundle is what was signed
//   CreateTargetFolders(verdict.ScriptPath)     the folders the copies need
//   LaunchUpdater(updaterPath, verdict.ScriptPath)
//
// The bundle is checked where it lies, and the updater copies from there: the
// script's COP sources must be files of the bundle's payload folder, so the
// release is made with --source-root naming the folder the application puts
// the bundle in, followed by \payload. Keep that folder writable by the
// application's user alone (below %LOCALAPPDATA% or %ProgramData% with the
// application's own rights): what another user changes after the check is
// not checked.
//
// Windows' CNG (bcrypt.dll) does the hashing and the signature; link bcrypt.

#include <windows.h>

#include <cstddef>
#include <string>
#include <string_view>

namespace devidudi {

enum class BundleProblem {
  None,
  KeyUnusable,         // the public key given is no PEM P-256 public key
  ManifestUnreadable,  // MANIFEST is missing, cannot be read, or is too large
  SignatureNotValid,   // MANIFEST.sig missing, empty, damaged, or not of MANIFEST by the key
  ManifestMalformed,   // a line of MANIFEST is not as its format says
  FolderUnreadable,    // the bundle's folder, or one below it, cannot be listed
  FileMissing,         // MANIFEST lists a file the bundle lacks or that cannot be read
  FileNotPlain,        // MANIFEST lists a folder or a link
  SizeDiffers,         // a listed file's size is not MANIFEST's
  HashDiffers,         // a listed file's SHA-256 is not MANIFEST's
  FileNotListed,       // a file of the bundle that MANIFEST does not list
  SourceNotListed,     // a COP source of the script that is no listed file of payload
};

// What VerifyUpdate found: the first problem, or the bundle's script.
struct BundleVerdict {
  BundleProblem Problem = BundleProblem::None;
  // The file at fault, a full path (the bundle's folder for FolderUnreadable
  // and KeyUnusable).
  std::wstring File;
  // MANIFEST's line at fault, or the script's for SourceNotListed, from 1;
  // 0 where no line is.
  std::size_t Line = 0;
  std::wstring Expected;  // what MANIFEST, the signature or the rule asks
  std::wstring Found;     // what the bundle holds
  // The system's error where a file or folder could not be opened or read,
  // or the signature not checked at all; ERROR_SUCCESS otherwise.
  DWORD Error = ERROR_SUCCESS;
  // When accepted: the bundle's script, as MANIFEST names it, a full path.
  std::wstring ScriptPath;

  bool Accepted() const { return Problem == BundleProblem::None; }
};

// Checks, in this order, stopping at the first problem: that publicKeyPem
// (PEM "PUBLIC KEY", as `openssl pkey -pubout` writes it) is a P-256 key;
// that MANIFEST.sig is its ECDSA signature of MANIFEST's bytes; that every
// line of MANIFEST is well formed; each listed file's size, then its
// SHA-256; that the bundle holds no file MANIFEST does not list; and that
// every COP source of the script is a file of the payload that MANIFEST
// lists (names compared as Windows compares them). Each file is read with
// others allowed to read it but not to change it, and a file another
// process holds for a moment (an antivirus scan) is waited for briefly.
// Changes nothing.
BundleVerdict VerifyUpdate(const std::wstring& bundleFolder, std::string_view publicKeyPem);

// The verdict as one or two sentences for the application's message ("The
// update bundle is damaged: ..."); empty when accepted.
std::wstring DescribeBundleProblem(const BundleVerdict& verdict);

}  // namespace devidudi
