// A DLL planted beside a program to prove it is never loaded: on loading it
// leaves "<its own path>.loaded" behind. It exports InitCommonControls so
// that a program importing it by mistake would not fail to start.
#include <windows.h>

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  wchar_t marker[MAX_PATH];
  const DWORD length = GetModuleFileNameW(self, marker, MAX_PATH - 8);
  if (length == 0 || length >= MAX_PATH - 8) return TRUE;
  lstrcpyW(marker + length, L".loaded");
  const HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return TRUE;
}

extern "C" __declspec(dllexport) void WINAPI InitCommonControls() {}
