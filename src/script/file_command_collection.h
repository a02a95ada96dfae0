#pragma once
// The whole update script in memory, with what the probe of its folder found.
// The checks over its commands are in checks/, the execution in exec/.

#include <cstdint>
#include <vector>

#include "script/file_command.h"

class FileCommandCollection {
 public:
  // Probes the script's folder, then reads the script into Commands. Reports
  // nothing: a failure shows only as a flag of 0 or a short or empty list.
  explicit FileCommandCollection(const wchar_t* scriptPath);

  // Every line of the script as a command, in file order.
  std::vector<FileCommand> Commands;
  std::int32_t FolderWritable = 0;   // non-zero: the probe existed or was made
  std::int32_t FolderDeletable = 0;  // non-zero: the probe could be deleted
};
