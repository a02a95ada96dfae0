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
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "names/text_conversions.h"
#include "updater_client/target_folders.h"
#include "updater_client/updater_client.h"
#include "updater_client/verify_update.h"

namespace {

constexpr int kExitUsage = 2;
constexpr int kExitRefused = 4;

// An application builds its public key in; the example reads it from a file.
bool ReadKeyFile(const std::wstring& path, std::string& text) {
  std::ifstream in(std::filesystem::path(path), std::ios::binary);
  text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.is_open() && !in.bad();
}

// One line in UTF-8: the runtime's wide printing would write the ANSI code
// page, where a name like "Menüs" comes out damaged.
void Say(FILE* stream, const std::wstring& line) {
  const std::string text = WideToUtf8(line) + "\n";
  std::fwrite(text.data(), 1, text.size(), stream);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc != 4) {
    Say(stderr, L"usage: start_update UPDATER BUNDLE PUBLIC_KEY.pem");
    return kExitUsage;
  }
  const std::wstring updater = argv[1];
  const std::wstring bundle = argv[2];
  std::string publicKey;
  if (!ReadKeyFile(argv[3], publicKey)) {
    Say(stderr, L"could not read " + std::wstring(argv[3]));
    return kExitUsage;
  }

  const devidudi::BundleVerdict verdict = devidudi::VerifyUpdate(bundle, publicKey);
  if (!verdict.Accepted()) {
    Say(stderr, devidudi::DescribeBundleProblem(verdict));
    return kExitRefused;
  }
  Say(stdout, L"verified " + bundle);

  const devidudi::TargetFoldersResult folders = devidudi::CreateTargetFolders(verdict.ScriptPath);
  for (const std::wstring& created : folders.Created) {
    Say(stdout, L"created " + created);
  }
  if (folders.Error != ERROR_SUCCESS) {
    Say(stderr, L"could not create " + folders.Failed + L" (line " + std::to_wstring(folders.Line) +
                    L"): error " + std::to_wstring(folders.Error));
    return 1;
  }

  devidudi::LaunchResult launched = devidudi::LaunchUpdater(updater, verdict.ScriptPath);
  if (!launched.Process.IsValid()) {
    Say(stderr, L"could not start " + updater + L": error " + std::to_wstring(launched.Error));
    return 1;
  }
  // A message box left open (a file that stays in use) would hold the
  // updater for good; a caller of this example wants an end.
  constexpr DWORD kLongestUpdateMs = 10 * 60 * 1000;
  if (WaitForSingleObject(launched.Process.Get(), kLongestUpdateMs) != WAIT_OBJECT_0) {
    Say(stderr, L"devidudi.exe is still running after 10 minutes");
    return 1;
  }
  DWORD exitCode = 1;
  GetExitCodeProcess(launched.Process.Get(), &exitCode);
  Say(stdout, L"devidudi.exe ended with exit code " + std::to_wstring(exitCode));
  return static_cast<int>(exitCode);
}
