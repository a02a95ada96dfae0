#pragma once
// Finds names in a folder as Windows would, whatever their case: a script
// that writes README.TXT replaces readme.txt there, and verify's copy must
// too.

#include <filesystem>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

class FolderNames {
 public:
  enum class State { File, Folder, Missing, FolderMissing };
  struct Resolved {
    std::filesystem::path Path;
    State What = State::Missing;
  };

  // The local path of the script names (Latin-1) below root, each found by
  // Windows' name fold, and what is there.
  Resolved Resolve(const std::filesystem::path& root, const std::vector<std::string>& names);

  // A file made since its folder was listed.
  void Added(const std::filesystem::path& file);

 private:
  std::filesystem::path FindName(const std::filesystem::path& folder, const std::string& latin1);
  const std::unordered_map<std::string, std::filesystem::path>& Listing(
      const std::filesystem::path& folder);

  std::map<std::filesystem::path, std::unordered_map<std::string, std::filesystem::path>>
      folders_;
};
