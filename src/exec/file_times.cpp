#include "exec/file_times.h"

#include <windows.h>

#include "platform/scoped_handle.h"

void CarryFileTimesOver(const std::wstring& source, const std::wstring& target) {
  const ScopedHandle from(CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
  FILETIME created, accessed, written;
  const bool haveTimes =
      from.IsValid() && GetFileTime(from.Get(), &created, &accessed, &written);

  // FILE_WRITE_ATTRIBUTES alone: enough to set times, even on a file whose
  // contents this process could not write.
  const ScopedHandle to(CreateFileW(target.c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                    nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  if (haveTimes && to.IsValid()) {
    SetFileTime(to.Get(), &created, &accessed, &written);
  }
}
