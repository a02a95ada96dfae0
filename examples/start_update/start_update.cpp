// start_update UPDATER BUNDLE PUBLIC_KEY.pem
// The part of an application that hands over an update, as the README's
// application example shows it: checks the update bundle (make --bundle)
// against the application's public key, creates the folders the script's
// copies need (the updater creates none), and starts devidudi.exe on the
// bundle's script, all through the application library; here, unlike an
// application, it then waits for the updater to end so that a caller can
// look at the result. A bundle that is refused is neither applied nor
// touched. Exit code: the updater's; 1 when the folders could not be made or
// the updater not started; 2 for wrong usage or a key file that cannot be
// read; 4 when the bundle is refused.
#include <windows.h>

#include <cstdio>
#include <string>

#include "updater_client/target_folders.h"
#include "updater_client/updater_client.h"
#include "updater_client/verify_update.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitRefused = 4;

// An application builds its public key in; the example reads it from a file.
bool ReadKeyFile(const std::wstring& path, std::string& text) {
  const devidudi::OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                               nullptr, OPEN_EXISTING, 0, nullptr));
  if (!file.IsValid()) return false;
  char chunk[4096];
  DWORD read = 0;
  while (ReadFile(file.Get(), chunk, sizeof chunk, &read, nullptr) && read > 0) {
    text.append(chunk, read);
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    std::fwprintf(stderr, L"usage: start_update UPDATER BUNDLE PUBLIC_KEY.pem\n");
    return kExitUsage;
  }
  const std::wstring updater = argv[1];
  const std::wstring bundle = argv[2];
  std::string publicKey;
  if (!ReadKeyFile(argv[3], publicKey)) {
    std::fwprintf(stderr, L"could not read %ls: error %lu\n", argv[3], GetLastError());
    return kExitUsage;
  }

  const devidudi::BundleVerdict verdict = devidudi::VerifyUpdate(bundle, publicKey);
  if (!verdict.Accepted()) {
    std::fwprintf(stderr, L"%ls\n", devidudi::DescribeBundleProblem(verdict).c_str());
    return kExitRefused;
  }
  std::wprintf(L"verified %ls\n", bundle.c_str());

  const devidudi::TargetFoldersResult folders = devidudi::CreateTargetFolders(verdict.ScriptPath);
  for (const std::wstring& created : folders.Created) {
    std::wprintf(L"created %ls\n", created.c_str());
  }
  if (folders.Error != ERROR_SUCCESS) {
    std::fwprintf(stderr, L"could not create %ls (line %zu): error %lu\n", folders.Failed.c_str(),
                  folders.Line, folders.Error);
    return 1;
  }

  devidudi::LaunchResult launched = devidudi::LaunchUpdater(updater, verdict.ScriptPath);
  if (!launched.Process.IsValid()) {
    std::fwprintf(stderr, L"could not start %ls: error %lu\n", updater.c_str(), launched.Error);
    return 1;
  }
  // A message box left open (a file that stays in use) would hold the
  // updater for good; a caller of this example wants an end.
  constexpr DWORD kLongestUpdateMs = 10 * 60 * 1000;
  if (WaitForSingleObject(launched.Process.Get(), kLongestUpdateMs) != WAIT_OBJECT_0) {
    std::fwprintf(stderr, L"devidudi.exe is still running after 10 minutes\n");
    return 1;
  }
  DWORD exitCode = 1;
  GetExitCodeProcess(launched.Process.Get(), &exitCode);
  std::wprintf(L"devidudi.exe ended with exit code %lu\n", exitCode);
  return static_cast<int>(exitCode);
}
