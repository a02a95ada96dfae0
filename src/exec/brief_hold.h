#pragma once
// Outlasting another process that holds a file for a moment.
//
// Antivirus scanners, the search indexer, backup tools and Explorer's preview
// open a file for a moment after it was written or closed, and the checks
// have just opened every target for writing, which invites a scan when they
// close it. While any other process has a file open, a rename over it fails
// with ERROR_ACCESS_DENIED whatever sharing that process allowed (MS-FSCC,
// FileRenameInformation: STATUS_ACCESS_DENIED when the target is open and
// ReplaceIfExists is set), and an open without sharing fails with
// ERROR_SHARING_VIOLATION. git's compat/mingw.c retries its renames and
// deletions for the same reason.

#include <windows.h>

#include <algorithm>

// How long a step is tried again while another process blocks it. A scan or
// an indexer's read of an application's file ends within some hundreds of
// milliseconds; a program that really uses the file (PexaMenu itself, which
// the checks have already asked the user to close) does not let go within
// seconds. Two seconds outlast the first and keep the wait short before a
// real failure is told.
inline constexpr DWORD kBriefHoldMs = 2000;

// The errors a brief hold gives; every other error is final at once.
constexpr bool IsBriefHoldError(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_SHARING_VIOLATION;
}

// Runs `step`, which returns ERROR_SUCCESS or a Windows error code, until it
// succeeds, fails with an error that is not a brief hold's, or `boundMs` have
// passed since the first try; then returns the last try's code. The waits
// between tries start short and grow, so a hold of a few milliseconds costs
// about that much.
template <typename Step>
DWORD RetryWhileHeld(Step&& step, DWORD boundMs = kBriefHoldMs) {
  const ULONGLONG started = GetTickCount64();
  DWORD waitMs = 5;
  for (;;) {
    const DWORD error = step();
    if (!IsBriefHoldError(error) || GetTickCount64() - started >= boundMs) return error;
    Sleep(waitMs);
    waitMs = std::min<DWORD>(waitMs * 2, 200);
  }
}
