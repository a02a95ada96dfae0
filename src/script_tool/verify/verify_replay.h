#pragma once
// The work behind `devidudi-script verify`: a script applied as the updater
// would apply it, to a temporary copy of the installed folder (OLD), with the
// result compared to the new version (NEW). OLD itself is only read.

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "script_tool/findings/finding.h"
#include "script_tool/script_reader/script_file.h"
#include "script_tool/tree_walker/tree_compare.h"

struct VerifySetup {
  std::filesystem::path Old;  // the installed version, never changed
  std::filesystem::path New;  // the version the script must produce
  // Windows paths on the target machine, Latin-1 like the script: a script
  // path below SourceRoot names a file of NEW, one below TargetRoot a file of
  // the installed folder.
  std::string SourceRoot;
  std::string TargetRoot;
  // Also hold every file that no COP line writes to NEW's last-write time,
  // as make's --times copies such files. Without it such a file may keep
  // OLD's time: the bytes are what count there.
  bool Times = false;
  // Create the folders COP targets need in the copy before the script runs,
  // as the application does with CreateTargetFolders (target_folders.h):
  // each missing folder above a target that lies in the installed folder.
  // Only those: a folder of NEW that no target needs (an empty one) stays
  // missing from the result, as it will from the installed folder.
  bool NewFolders = false;
  // Paths make --exclude left out (exclude_glob.h): not compared, in NEW or
  // the result.
  std::vector<std::wstring> Excludes = {};
  // Where the files below SourceRoot are taken from, when not from New: a
  // bundle's payload, which must then give New.
  std::filesystem::path Sources = {};
};

struct ListedRun {
  std::size_t Line = 0;
  std::string CommandLine;  // UTF-8
  std::size_t Column = 0;   // where the command line starts
};

struct VerifyReport {
  // Why a folder could not be read or copied; then nothing else was done.
  std::string Error;
  // What would stop the updater before it copies anything, and what cannot
  // be mapped onto the two folders. With any of these nothing is applied
  // and the trees are not compared.
  std::vector<Finding> Findings;
  // RUN lines, in order; listed, never started.
  std::vector<ListedRun> Runs;
  // How the result differs from NEW. A file the script wrote must match NEW
  // in its last-write time as well, since the updater carries the time over.
  std::vector<TreeDifference> Differences;
  // Files that no COP line wrote, with NEW's bytes but another last-write
  // time (Kind Time, with both times): they keep OLD's time, which fails
  // nothing unless Times is set (then they are Differences).
  std::vector<TreeDifference> KeptWithOldTime;
  // Files and folders of OLD that NEW lacks and that no COP line wrote: the
  // format has no delete, so they stay in the installed folder. `make` lists
  // each as *kept, with one warning; here they are listed and do not fail
  // the script.
  std::vector<std::string> Kept;
  // With NewFolders: the folders created before the script ran, in order,
  // below the target root as the script spells them, each name followed by
  // "/", UTF-8.
  std::vector<std::string> CreatedFolders;
  std::size_t FilesCompared = 0;

  // 0 when the result equals NEW (what is kept aside), 1 for findings or
  // differences, 2 when a folder could not be read.
  int ExitCode() const;
};

// The temporary copy lies in the system's temporary folder and is removed
// before this returns. Nothing outside it is ever written: a COP line whose
// target does not lie in the installed folder is a finding, not applied.
// progress, when given, hears of each file as OLD is copied and as the
// result is compared with NEW.
enum class VerifyStep { CopyingOld, Comparing };
using VerifyProgress = std::function<void(VerifyStep step, const TreeProgress& progress)>;
VerifyReport VerifyScript(const std::vector<ScriptLine>& lines, const VerifySetup& setup,
                          const VerifyProgress& progress = {});
