#include "checks/busy_target.h"

#include <windows.h>
#include <shlwapi.h>

#include <optional>
#include <utility>

#include "checks/reported_name.h"
#include "platform/scoped_handle.h"
#include "script/widen_text.h"

namespace {

// A name that a NUL byte would cut short names no file that exists here.
bool TargetExists(const std::string& name) {
  const std::optional<std::wstring> path = WidenForSystem(name);
  return path && PathFileExistsW(path->c_str());
}

}  // namespace

DWORD ExclusiveOpenError(std::string name) {
  const std::optional<std::wstring> path = WidenForSystem(name);
  if (!path) return ERROR_INVALID_NAME;
  const ScopedHandle file(CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  return file.IsValid() ? ERROR_SUCCESS : GetLastError();
}

bool CanOpenExclusively(std::string name) {
  // Any reason the open fails counts alike: another process holding the file,
  // the image of a running program, a read-only file, a folder of that name.
  return ExclusiveOpenError(std::move(name)) == ERROR_SUCCESS;
}

std::string FindBusyTarget(const std::vector<FileCommand>& commands) {
  for (const FileCommand& command : commands) {
    if (command.Kind != CommandKind::Copy) continue;
    if (command.Arguments.size() != 2) return ReportedTarget(command);
    const std::string& target = command.Arguments[1];
    // A target that does not exist yet cannot be in use.
    if (!TargetExists(target)) continue;
    if (!CanOpenExclusively(target)) return ReportedTarget(command);
  }
  return {};
}
