#include <windows.h>

#include <optional>
#include <string>

#include "platform/scoped_handle.h"
#include "script/file_command.h"
#include "script/widen_text.h"

namespace {

// Gives the new target the source's creation, last-access and last-write
// times. Silent by design: a file whose times could not be carried over is
// still a good copy. The source is opened once more with no sharing, so while
// any other process holds it open the target keeps the times the copy gave it.
void CarryFileTimesOver(const std::wstring& source, const std::wstring& target) {
  const ScopedHandle from(CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  FILETIME created, accessed, written;
  const bool haveTimes =
      from.IsValid() && GetFileTime(from.Get(), &created, &accessed, &written);

  const ScopedHandle to(CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                    nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (haveTimes && to.IsValid()) {
    SetFileTime(to.Get(), &created, &accessed, &written);
  }
}

}  // namespace

std::int32_t FileCommand::ExecuteCopy() const {
  // The checks let no Copy through that lacks its two paths or holds a NUL
  // byte; the runner still never gets to copy a file these do not name.
  if (Arguments.size() != 2) return ERROR_BAD_ARGUMENTS;
  const std::optional<std::wstring> source = WidenForSystem(Arguments[0]);
  const std::optional<std::wstring> target = WidenForSystem(Arguments[1]);
  if (!source || !target) return ERROR_INVALID_NAME;

  if (!CopyFileW(source->c_str(), target->c_str(), /*bFailIfExists=*/FALSE)) {
    const DWORD error = GetLastError();
    return static_cast<std::int32_t>(error);
  }
  CarryFileTimesOver(*source, *target);
  return 0;
}
