#pragma once
// Replacing a file with a complete copy of another, or not at all.

#include <windows.h>

#include <string>

// The system calls whose order makes a copy durable: the data written, then
// flushed to the disk, then the rename. The program uses the system's own;
// a test passes recorders that call them and note the order.
struct CopyCalls {
  BOOL(WINAPI* writeFile)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED) = WriteFile;
  BOOL(WINAPI* flushFileBuffers)(HANDLE) = FlushFileBuffers;
  BOOL(WINAPI* setFileInformationByHandle)(HANDLE, FILE_INFO_BY_HANDLE_CLASS, LPVOID,
                                           DWORD) = SetFileInformationByHandle;
};

// Replaces `target` with a complete copy of `source`, carrying the source's
// three file times over, or leaves the target as it was. Returns
// ERROR_SUCCESS, or the Windows error code of the step that failed. A
// read-only target is refused with ERROR_ACCESS_DENIED. An existing target
// keeps its access list (and its owner where Windows allows, see
// kept_security.h) and its hidden and system attributes. The times are
// carried only when no other process holds the source open; otherwise the
// target gets the source's last-write time alone, as CopyFileW gives it.
DWORD ReplaceWithCopy(const std::wstring& source, const std::wstring& target,
                      const CopyCalls& calls = CopyCalls{});
