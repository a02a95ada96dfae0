// start_update UPDATER SCRIPT
// The part of an application that hands over an update, as the README's
// Install section shows it: creates the folders the script's copies need
// (the updater creates none), starts devidudi.exe on the script through the
// application library, and here, unlike an application, waits for it to end
// so that a caller can look at the result. Exit code: the updater's, or 1
// when the folders could not be made or the updater not started.
#include <windows.h>

#include <cstdio>

#include "updater_client/target_folders.h"
#include "updater_client/updater_client.h"

int wmain(int argc, wchar_t** argv) {
  if (argc != 3) {
    std::fwprintf(stderr, L"usage: start_update UPDATER SCRIPT\n");
    return 2;
  }
  const std::wstring updater = argv[1];
  const std::wstring script = argv[2];

  const devidudi::TargetFoldersResult folders = devidudi::CreateTargetFolders(script);
  for (const std::wstring& created : folders.Created) {
    std::wprintf(L"created %ls\n", created.c_str());
  }
  if (folders.Error != ERROR_SUCCESS) {
    std::fwprintf(stderr, L"could not create %ls (line %zu): error %lu\n", folders.Failed.c_str(),
                  folders.Line, folders.Error);
    return 1;
  }

  devidudi::LaunchResult launched = devidudi::LaunchUpdater(updater, script);
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
