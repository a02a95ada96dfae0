#pragma once
// The folder verify applies a script in: a fresh one in the system's
// temporary folder, removed with everything in it when its owner goes.

#include <filesystem>
#include <string>

class TemporaryFolder {
 public:
  TemporaryFolder();
  TemporaryFolder(const TemporaryFolder&) = delete;
  TemporaryFolder& operator=(const TemporaryFolder&) = delete;
  ~TemporaryFolder();
  // Every folder this process makes starts with it: the process id tells
  // whose a folder left by a killed verify was.
  static std::string NamePrefix();
  // Empty when no folder could be made.
  const std::filesystem::path& Path() const { return path_; }

 private:
  std::filesystem::path path_;
};
