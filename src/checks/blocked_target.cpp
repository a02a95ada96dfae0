#include "checks/blocked_target.h"

#include <windows.h>

#include <optional>

#include "checks/reported_name.h"
#include "platform/scoped_handle.h"
#include "script/file_command_collection.h"
#include "script/widen_text.h"

namespace {

constexpr std::int32_t kWriteAccessMissing = 1;
constexpr std::int32_t kAccessGranted = 0;

}  // namespace

std::int32_t TargetAccessCode(std::string name) {
  const std::optional<std::wstring> path = WidenForSystem(name);
  if (!path) return kWriteAccessMissing;
  const ScopedHandle file(CreateFileW(path->c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  return file.IsValid() ? kAccessGranted : kWriteAccessMissing;
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

std::string FileCommandCollection::FindBlockedTarget(
    std::int32_t& accessCode) const {
  return FindBlockedTargetIn(Commands, TargetAccessCode, accessCode);
}
