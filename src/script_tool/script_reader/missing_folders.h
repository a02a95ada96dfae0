#pragma once
// The folders a script's COP targets need and the installed folder lacks,
// each once with how many targets lie below it: what verify (DV109) and
// preflight (DP112) report without --new-folders, one finding a folder, as
// make reports each folder of NEW that OLD lacks once (DM006), rather than
// one a file.

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct MissingFolder {
  std::string Path;             // Latin-1 script bytes, as the first target below it spells it
  std::size_t FirstTarget = 0;  // index of that target in the list given
  std::size_t Targets = 0;      // how many targets of the list lie below it, at any depth
  // Why Windows would create no such folder (its length), as
  // devidudi::NeededFolder says it; empty when it may be created.
  std::string Refused;
};

struct MissingFolders {
  std::vector<MissingFolder> Folders;
  // For each target given: whether some folder of Folders lies above it. A
  // target that is not a full path has none.
  std::vector<bool> Below;
};

// The folders of CreateTargetFolders' rule (devidudi::MissingTargetFolders:
// each folder above a target, from the root down, that isFolder denies, and
// every folder below it, each once, names compared as Windows compares
// them), in its order.
MissingFolders MissingFoldersOfTargets(
    const std::vector<std::string_view>& targets,
    const std::function<bool(const std::string& folder)>& isFolder);

// "1 COP target", "12 COP targets".
std::string CopTargetCount(std::size_t targets);
