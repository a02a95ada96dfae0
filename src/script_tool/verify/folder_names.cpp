#include "script_tool/verify/folder_names.h"

#include <optional>
#include <system_error>

#include "names/windows_names.h"
#include "script_tool/tree_walker/windows_paths.h"

namespace fs = std::filesystem;

FolderNames::Resolved FolderNames::Resolve(const fs::path& root,
                                           const std::vector<std::string>& names) {
  Resolved resolved{root, State::Folder};
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (resolved.What != State::Folder) {
      return {resolved.Path / LocalName(names[i]), State::FolderMissing};
    }
    const fs::path parent = resolved.Path;
    resolved.Path = parent / FindName(parent, names[i]);
    std::error_code error;
    const fs::file_status status = fs::status(resolved.Path, error);
    resolved.What = !fs::exists(status)       ? State::Missing
                    : fs::is_directory(status) ? State::Folder
                                               : State::File;
    if (resolved.What == State::Missing && i + 1 < names.size()) {
      resolved.What = State::FolderMissing;
    }
  }
  return resolved;
}

void FolderNames::Added(const fs::path& file) {
  const auto folder = folders_.find(file.parent_path());
  if (folder == folders_.end()) return;
  const std::optional<std::string> latin1 = Latin1Name(file.filename());
  if (latin1) folder->second.emplace(FoldName(*latin1), file.filename());
}

fs::path FolderNames::FindName(const fs::path& folder, const std::string& latin1) {
  const fs::path asWritten = LocalName(latin1);
  std::error_code error;
  if (fs::exists(folder / asWritten, error)) return asWritten;
  const auto& names = Listing(folder);
  const auto found = names.find(FoldName(latin1));
  return found != names.end() ? found->second : asWritten;
}

const std::unordered_map<std::string, fs::path>& FolderNames::Listing(const fs::path& folder) {
  const auto known = folders_.find(folder);
  if (known != folders_.end()) return known->second;
  std::unordered_map<std::string, fs::path>& names = folders_[folder];
  std::error_code error;
  for (fs::directory_iterator it(folder, error); !error && it != fs::directory_iterator();
       it.increment(error)) {
    const std::optional<std::string> latin1 = Latin1Name(it->path().filename());
    if (latin1) names.emplace(FoldName(*latin1), it->path().filename());
  }
  return names;
}
