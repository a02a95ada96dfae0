#include "checks/blocked_target.h"

#include <windows.h>

#include <optional>

#include "checks/reported_name.h"
#include "platform/scoped_handle.h"
#include "script/widen_text.h"

namespace {

constexpr std::int32_t kWriteAccessMissing = 1;
constexpr std::int32_t kAccessGranted = 0;

}  // namespace

// A missing target is created to prove that it can be, and deleted again as
// its handle closes: FILE_FLAG_DELETE_ON_CLOSE deletes it also when the
// updater is killed in between, since the system closes a killed process's
// handles. So the checks leave no empty file behind, whether the update then
// goes on, stops at a question or fails. The handle asks for DELETE, as the
// copy's temporary file does.
std::int32_t TargetAccessCode(std::string name) {
  const std::optional<std::wstring> path = WidenForSystem(name);
  if (!path) return kWriteAccessMissing;
  // Twice at most: a target made by another process between the two calls
  // is then opened as an existing one.
  for (int attempt = 0; attempt < 2; ++attempt) {
    const ScopedHandle existing(CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (existing.IsValid()) return kAccessGranted;
    if (GetLastError() != ERROR_FILE_NOT_FOUND) return kWriteAccessMissing;
    const ScopedHandle created(CreateFileW(path->c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                           CREATE_NEW,
                                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                                           nullptr));
    if (created.IsValid()) return kAccessGranted;
    if (GetLastError() != ERROR_FILE_EXISTS) return kWriteAccessMissing;
  }
  return kWriteAccessMissing;
}

std::string FindBlockedTargetIn(const std::vector<FileCommand>& commands,
                                const TargetAccessTest& accessCode,
                                std::int32_t& reportedCode) {
  for (const FileCommand& command : commands) {
    if (command.Kind != CommandKind::Copy) continue;
    if (command.Arguments.size() < 2) {
      // Nothing to test: such a line names no target at all.
      reportedCode = kWriteAccessMissing;
      return ReportedTarget(command);
    }
    const std::string& target = command.Arguments[1];
    if (command.Arguments.size() == 2 && accessCode(target) <= 0) continue;
    // Tested once more, so that a target freed in the meantime is reported
    // with 0 rather than as still blocked. For a Copy with extra arguments
    // this is the only test.
    reportedCode = accessCode(target);
    return ReportedTarget(command);
  }
  return {};
}

std::string FindBlockedTarget(const std::vector<FileCommand>& commands,
                              std::int32_t& accessCode) {
  return FindBlockedTargetIn(commands, TargetAccessCode, accessCode);
}
