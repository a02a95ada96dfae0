#include "exec/execute_run.h"

#include <windows.h>

#include <cstring>
#include <optional>
#include <string>

#include "platform/scoped_handle.h"
#include "script/widen_text.h"

std::int32_t ExecuteRun(const FileCommand& run) {
  if (run.Arguments.empty()) return 0;
  // A NUL byte would end the command line early and start something else.
  const std::optional<std::wstring> commandLine = WidenForSystem(run.Arguments[0]);
  if (!commandLine || commandLine->size() >= kCommandLineBufferUnits) return 0;

  // CreateProcessW may write into the command line it is given, so it gets a
  // writable copy rather than the string's own storage.
  wchar_t buffer[kCommandLineBufferUnits];
  std::memcpy(buffer, commandLine->c_str(), (commandLine->size() + 1) * sizeof(wchar_t));

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (CreateProcessW(nullptr, buffer, nullptr, nullptr,
                     /*bInheritHandles=*/FALSE, 0, nullptr, nullptr, &startup,
                     &process)) {
    // Started programs run on by themselves: both handles are closed at
    // once, and nothing waits for the process.
    const ScopedHandle thread(process.hThread);
    const ScopedHandle started(process.hProcess);
  }
  return 0;
}
