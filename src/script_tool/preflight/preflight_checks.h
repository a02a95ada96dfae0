#pragma once
// The work behind `devidudi-script preflight` (Windows only): every problem
// the updater's checks would stop at on this machine, all at once and each
// with its line, found without changing anything. The only files made are
// probes of preflight's own unique names, each deleted at once.

#include <string>
#include <vector>

#include "script_tool/findings/finding.h"
#include "script_tool/script_reader/script_file.h"

struct PreflightSetup {
  // The script's full path, as the updater will be given it.
  std::wstring ScriptPath;
  // The folder of devidudi.exe: CreateProcessW looks there first for a RUN
  // line's program, since the updater is the program that starts it.
  std::wstring UpdaterFolder;
  // Deletes preflight's own probe, true on success; DeleteFileW when empty.
  // Tests put a failing one here: a folder that lets a file be created but
  // not deleted cannot be made where they run.
  bool (*DeleteProbe)(const std::wstring& path) = nullptr;
  // The application creates the missing folders above COP targets before it
  // starts the updater (CreateTargetFolders): each is a note, at the first
  // line that needs it, instead of a stop. Whether the application may
  // create it is not probed.
  bool NewFolders = false;
};

// The findings in line order, those about the script's folder (line 0)
// first. Nothing but notes when the updater would pass its checks and start
// every RUN program.
std::vector<Finding> PreflightScript(const std::vector<ScriptLine>& lines,
                                         const PreflightSetup& setup);

// The path made absolute against the current folder, each "/" made a
// backslash and "." and ".." resolved, as Windows would open it.
std::wstring FullPath(const std::wstring& path);

