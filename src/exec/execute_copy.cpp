#include "exec/execute_copy.h"

#include <windows.h>

#include <optional>
#include <string>

#include "exec/whole_copy.h"
#include "script/widen_text.h"

std::int32_t ExecuteCopy(const FileCommand& copy) {
  // The checks let no Copy through that lacks its two paths or holds a NUL
  // byte; the runner still never gets to copy a file these do not name.
  if (copy.Arguments.size() != 2) return ERROR_BAD_ARGUMENTS;
  const std::optional<std::wstring> source = WidenForSystem(copy.Arguments[0]);
  const std::optional<std::wstring> target = WidenForSystem(copy.Arguments[1]);
  if (!source || !target) return ERROR_INVALID_NAME;
  return static_cast<std::int32_t>(ReplaceWithCopy(*source, *target));
}
