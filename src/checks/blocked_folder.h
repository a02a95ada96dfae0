#pragma once
// The folders the copies write into, proven with a real file as the script's
// folder is.
//
// A copy creates its temporary file in the target's folder and renames it
// over the target, so the folder must let the user create and delete files.
// Opening the target for writing does not show that: a folder may let the
// user write a file but not create one, and the copy would then fail
// half-way with 5.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "script/file_command.h"
#include "script/folder_probe.h"

// Creates the file at `probePath` (which must not hold anything the user
// needs) and deletes it again. The creation asks for what the copy's
// temporary file asks for and deletes the file as its handle closes, so a
// kill leaves nothing; a file already there, a temporary file an interrupted
// run left, is opened as the copy would write over it. Only where the file
// could be created but not deleted does it stay behind, as the script
// folder's probe does.
FolderAccess ProbeTargetFolder(const std::wstring& probePath);

using FolderProbeTest = std::function<FolderAccess(const std::wstring& probePath)>;

// The first folder of a copy target that fails its probe: its full path (as
// GetFullPathNameW gives it, without the last backslash) and what failed.
struct BlockedFolder {
  std::wstring Folder;
  FolderAccess Access;
};

// Probes each distinct folder of the Copy targets once, in list order, with
// the temporary file of its first target as the probe: a name the copy
// writes and removes anyway. Targets a check before stops at (no two paths,
// a NUL byte, no room for a temporary name) are passed over. Nothing when
// every folder passed.
std::optional<BlockedFolder> FindBlockedFolderIn(const std::vector<FileCommand>& commands,
                                                 const FolderProbeTest& probe);

// The same with the real probe.
std::optional<BlockedFolder> FindBlockedFolder(const std::vector<FileCommand>& commands);
