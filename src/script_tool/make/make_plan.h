#pragma once
// What devidudi-script make does, apart from its command line: compares the
// installed version (OLD) with the new one (NEW) and writes, in memory, the
// script that turns one into the other, with the plan that explains it and
// everything the format cannot do.

#include <filesystem>
#include <string>
#include <vector>

#include "script_tool/bundle/bundle_writer.h"
#include "script_tool/findings/finding.h"
#include "script_tool/tree_walker/tree_progress.h"
#include "updater_client/updater_client.h"

struct MakeRequest {
  std::filesystem::path OldFolder;
  std::filesystem::path NewFolder;
  // Windows paths on the machine that runs the update: where the new files
  // will lie, and the installed folder they replace files in.
  std::wstring SourceRoot;
  std::wstring TargetRoot;
  // Command lines for RUN lines after the copies, in this order.
  std::vector<std::wstring> Runs;
  // Also copy a file whose contents are equal but whose last-write time is not.
  bool Times = false;
  // Patterns of relative paths to leave out (exclude_glob.h): neither copied
  // nor kept, in NEW or OLD.
  std::vector<std::wstring> Excludes;
  // Write the script even where NEW has folders OLD lacks: the application
  // creates them before it starts the updater (CreateTargetFolders). Without
  // it such a folder is an error.
  bool NewFolders = false;
};

// One file of the plan, or a folder the application must create (with
// --new-folders, before the files in it). Copied files carry what differs, as
// rsync itemizes.
struct PlanItem {
  enum class Action { Copy, KeepOnlyInOld, CreateFolder };
  Action What = Action::Copy;
  bool Added = false;  // not in OLD at all
  bool SizeDiffers = false;
  bool BytesDiffer = false;  // same size, other bytes
  bool TimeDiffers = false;
  std::string Path;  // relative, "/" between names, UTF-8; a folder's ends in "/"
};

struct MakeOutcome {
  // The script; meaningful only when Errors is empty and no folder was
  // unreadable.
  devidudi::UpdateScript Script;
  std::vector<PlanItem> Plan;
  // The file of NEW each COP line copies, in the script's order: a bundle's
  // payload.
  std::vector<BundledFile> Copied;
  std::size_t Unchanged = 0;
  // Files left out by Excludes, each path counted once.
  std::size_t Excluded = 0;
  // Each about one path, which its File names as the user gave it (or
  // "--run 2" for a command line), at line 0: a code of make's
  // (finding_codes.h), or lint's when the check of the written script found
  // it.
  std::vector<Finding> Errors;
  std::vector<Finding> Warnings;
  // OLD or NEW, or a folder under one, could not be listed.
  bool FolderUnreadable = false;
};

// Reads both folders and compares them, then checks the script with lint's
// rules (make_self_check.h): errors refuse it, warnings are told. Never
// writes anything. progress, when given, hears of each file of NEW as it is
// compared, of all of NEW's.
MakeOutcome MakeScript(const MakeRequest& request, const TreeProgressReport& progress = {});

// The plan's code for one item: five characters, as in "+" new, "s" size,
// "c" contents, "t" time, "cd+++" a folder to create (see make's --help).
std::string PlanCode(const PlanItem& item);

// The reminder that the application must create the plan's new folders
// before it starts the updater, a line for standard error; empty when the
// plan has none.
std::string NewFoldersReminder(const MakeOutcome& outcome);
