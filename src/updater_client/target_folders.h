#pragma once
// The folders an update script's copies need and the installed version lacks.
// The updater creates no folders (a copy into a missing one stops it at
// "Write access to file missing"); the application that starts it runs with
// the same rights and creates them first, with CreateTargetFolders, just
// before LaunchUpdater.
//
// Which folders those are is a pure rule over the script's target paths
// (MissingTargetFolders), shared by the library, devidudi-script verify (which
// creates them in its copy of the installed folder) and preflight (which
// notes each as created by the application).

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace devidudi {

// The folders above a copy target, from the root down, each as the leading
// part of the target's own bytes ("C:\App\plugins" for
// "C:\App\plugins\a.dll"). The root itself is never among them: not a drive
// ("C:\"), not a share ("\\server\share"), not a verbatim prefix's
// ("\\?\C:\", "\\?\UNC\server\share"). Empty names (doubled separators) give
// no folder of their own. Nothing for a path that is not a full path: a
// relative target is resolved against the updater's current folder, which
// the script does not name.
std::vector<std::string_view> FoldersAbove(std::string_view target);

// One folder a copy target needs.
struct NeededFolder {
  std::string Path;  // Latin-1 script bytes, as the first target that needs it spells it
  std::size_t Target = 0;  // index of that target in the list given
  // Why Windows creates no such folder, whatever the disk holds: its path is
  // too long for CreateDirectoryW (FindNewFolderLengthProblem's clause,
  // UTF-8). Empty when it may be created.
  std::string Refused;
};

// The folders to create, in order, so that every target's folder exists: for
// each target in turn, each folder above it from the root down that
// isFolder(path) denies, each once (names compared as Windows compares them).
// Below a missing folder everything is missing, so isFolder is asked only of
// folders that may exist, and of each only once. A file standing where a
// folder must be is not a folder: it is listed, and creating it fails. A
// folder Windows refuses is listed with Refused said: the application then
// creates none of them, so that the installed folder is left as it was.
std::vector<NeededFolder> MissingTargetFolders(
    const std::vector<std::string_view>& targets,
    const std::function<bool(const std::string& folder)>& isFolder);

#ifdef _WIN32

// What CreateTargetFolders did.
struct TargetFoldersResult {
  // The folders created, in the order they were created (wide, as given to
  // CreateDirectoryW).
  std::vector<std::wstring> Created;
  // ERROR_SUCCESS when every COP target's folder exists now. Otherwise the
  // Windows error of the first step that failed, and nothing was tried after
  // it:
  //   the script could not be opened or read: the error of that (Failed is
  //     the script path);
  //   a COP target is not a full path, or holds a NUL byte:
  //     ERROR_BAD_PATHNAME, before any folder is created (Failed is the
  //     target);
  //   a folder to create has a path of kMaxNewFolderUnits (248) units or
  //     more, not verbatim, which CreateDirectoryW refuses on Windows though
  //     Wine creates it: ERROR_FILENAME_EXCED_RANGE, before any folder is
  //     created (Failed is the folder);
  //   CreateDirectoryW failed (a file in the way gives ERROR_ALREADY_EXISTS,
  //     a forbidden character or a device name what Windows says of it,
  //     missing rights ERROR_ACCESS_DENIED): its error (Failed is the folder).
  DWORD Error = ERROR_SUCCESS;
  std::wstring Failed;
  // The script's line, counted from 1, of the target that failed or needed
  // the folder that failed; 0 for the script itself.
  std::size_t Line = 0;
};

// Reads the script at scriptPath as the updater reads it (its text mode and
// its line grammar) and creates, for every COP line in order, each missing
// folder above the target, from the root down; folders that exist are left
// alone, and nothing else is changed. Call it right before LaunchUpdater on
// the same script: the updater copies into the folders then. A script
// written by UpdateScript or devidudi-script make holds full paths only.
TargetFoldersResult CreateTargetFolders(const std::wstring& scriptPath);

#endif  // _WIN32

}  // namespace devidudi
