#pragma once
// What the helper programs share: they tell their test that they are ready
// through a named event, and end when told to through another one, or when
// the test process itself has gone, so that no helper outlives a failed test.

#include <windows.h>

#include <cwchar>

namespace peer {

enum ExitCode : int { kStopped = 0, kBadArguments = 2, kCannotOpen = 3, kTimedOut = 4 };

// Upper bound on a helper's life, in case its test forgot it.
constexpr DWORD kLongestLifeMs = 5 * 60 * 1000;

inline void SignalReady(const wchar_t* readyEvent) {
  const HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEvent);
  if (ready != nullptr) {
    SetEvent(ready);
    CloseHandle(ready);
  }
}

// Waits until the stop event is set, the parent process has ended or
// `longestMs` have passed.
inline int WaitForStop(const wchar_t* stopEvent, const wchar_t* parentPid,
                       DWORD longestMs = kLongestLifeMs) {
  const HANDLE stop = OpenEventW(SYNCHRONIZE, FALSE, stopEvent);
  const HANDLE parent =
      OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(std::wcstoul(parentPid, nullptr, 10)));
  HANDLE waits[2];
  DWORD count = 0;
  if (stop != nullptr) waits[count++] = stop;
  if (parent != nullptr) waits[count++] = parent;
  DWORD result = WAIT_OBJECT_0;
  if (count > 0) result = WaitForMultipleObjects(count, waits, FALSE, longestMs);
  if (stop != nullptr) CloseHandle(stop);
  if (parent != nullptr) CloseHandle(parent);
  return result == WAIT_TIMEOUT && longestMs == kLongestLifeMs ? kTimedOut : kStopped;
}

}  // namespace peer
