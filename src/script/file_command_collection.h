#pragma once
// The whole update script in memory, and the preflight checks over it.

#include <cstdint>
#include <string>
#include <vector>

#include "script/file_command.h"

class FileCommandCollection {
 public:
  // Probes the script's folder, then reads the script into Commands. Reports
  // nothing: a failure shows only as a flag of 0 or a short or empty list.
  explicit FileCommandCollection(const wchar_t* scriptPath);
  virtual ~FileCommandCollection() = default;

  // The first existing copy target that cannot be opened for writing with no
  // sharing (another process holds it, a running program's image, read-only,
  // a folder), or empty text. Defined in checks/busy_target.cpp.
  std::string FindBusyTarget() const;

  // The first copy source that does not exist, or empty text.
  // Defined in checks/missing_source.cpp.
  std::string FindMissingSource() const;

  // The first copy target that cannot be opened for writing with no
  // sharing, or created (and deleted again) when missing, or empty text.
  // With a name, accessCode is 1 when the target still failed a second test
  // and 0 when it had become free; it is left alone after a pass.
  // Defined in checks/blocked_target.cpp.
  std::string FindBlockedTarget(std::int32_t& accessCode) const;

  // Every line of the script as a command, in file order.
  std::vector<FileCommand> Commands;
  std::int32_t FolderWritable = 0;   // non-zero: the probe existed or was made
  std::int32_t FolderDeletable = 0;  // non-zero: the probe could be deleted
};
