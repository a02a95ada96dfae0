#pragma once
// Replacing a file with a complete copy of another, or not at all.

#include <windows.h>

#include <string>

// Replaces `target` with a complete copy of `source`, carrying the source's
// three file times over, or leaves the target as it was. Returns
// ERROR_SUCCESS, or the Windows error code of the step that failed. A
// read-only target is refused with ERROR_ACCESS_DENIED. The times are
// carried only when no other process holds the source open; otherwise the
// target gets the source's last-write time alone, as CopyFileW gives it.
DWORD ReplaceWithCopy(const std::wstring& source, const std::wstring& target);
