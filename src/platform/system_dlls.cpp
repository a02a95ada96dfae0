#include "platform/system_dlls.h"

#include <cwchar>

void LoadDllsFromSystemFolderOnly() {
  // Looked up rather than imported: an import the system lacks would stop
  // the program from loading at all.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto setDefaultDllDirectories = reinterpret_cast<SetDefaultDllDirectoriesFunction>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"),
                                             "SetDefaultDllDirectories")));
  if (setDefaultDllDirectories != nullptr) {
    setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
}

HMODULE LoadSystemDll(const wchar_t* fileName) {
  // Built in place rather than in a std::wstring: this runs inside WM_CREATE
  // on the window's thread, where nothing may throw.
  wchar_t path[MAX_PATH];
  const UINT length = GetSystemDirectoryW(path, MAX_PATH);
  const std::size_t nameLength = std::wcslen(fileName);
  // A folder too long for the buffer gives its needed size instead, which
  // fails this test as well.
  if (length == 0 || length + 1 + nameLength >= MAX_PATH) return nullptr;
  path[length] = L'\\';
  std::wmemcpy(path + length + 1, fileName, nameLength + 1);
  return LoadLibraryW(path);
}
