// hold_file ACCESS SHARE PATH READY-EVENT STOP-EVENT PARENT-PID [HOLD-MS]
// Opens PATH with ACCESS (r, w or rw) and the share mode SHARE (- for none,
// or any of the letters r, w, d), tells the test it is ready, and keeps the
// file open until told to stop, or for HOLD-MS milliseconds at most, as a
// scanner holds a file for a moment.
#include <windows.h>

#include <stdlib.h>  // __argc, __wargv

#include <cstdlib>
#include <cwchar>

#include "peer_signals.h"

namespace {

DWORD AccessFrom(const wchar_t* letters) {
  DWORD access = 0;
  if (std::wcschr(letters, L'r')) access |= GENERIC_READ;
  if (std::wcschr(letters, L'w')) access |= GENERIC_WRITE;
  return access;
}

DWORD ShareFrom(const wchar_t* letters) {
  DWORD share = 0;
  if (std::wcschr(letters, L'r')) share |= FILE_SHARE_READ;
  if (std::wcschr(letters, L'w')) share |= FILE_SHARE_WRITE;
  if (std::wcschr(letters, L'd')) share |= FILE_SHARE_DELETE;
  return share;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc != 7 && __argc != 8) return peer::kBadArguments;
  wchar_t** args = __wargv;
  const HANDLE file = CreateFileW(args[3], AccessFrom(args[1]), ShareFrom(args[2]),
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return peer::kCannotOpen;
  peer::SignalReady(args[4]);
  const DWORD holdMs =
      __argc == 8 ? std::wcstoul(args[7], nullptr, 10) : peer::kLongestLifeMs;
  const int result = peer::WaitForStop(args[5], args[6], holdMs);
  CloseHandle(file);
  return result;
}
