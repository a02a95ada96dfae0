#include "script_tool/script_reader/missing_folders.h"

#include <map>

#include "names/windows_names.h"
#include "updater_client/target_folders.h"

MissingFolders MissingFoldersOfTargets(
    const std::vector<std::string_view>& targets,
    const std::function<bool(const std::string& folder)>& isFolder) {
  MissingFolders missing;
  std::map<std::string, std::size_t> byKey;
  for (const devidudi::NeededFolder& needed : devidudi::MissingTargetFolders(targets, isFolder)) {
    byKey.emplace(FolderCompareKey(needed.Path), missing.Folders.size());
    missing.Folders.push_back({needed.Path, needed.Target, 0, needed.Refused});
  }
  missing.Below.assign(targets.size(), false);
  for (std::size_t t = 0; t < targets.size(); ++t) {
    for (const std::string_view folder : devidudi::FoldersAbove(targets[t])) {
      const auto found = byKey.find(FolderCompareKey(folder));
      if (found == byKey.end()) continue;
      ++missing.Folders[found->second].Targets;
      missing.Below[t] = true;
    }
  }
  return missing;
}

std::string CopTargetCount(std::size_t targets) {
  return std::to_string(targets) + (targets == 1 ? " COP target" : " COP targets");
}
