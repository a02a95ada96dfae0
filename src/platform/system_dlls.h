#pragma once
// DeviDudi runs from the application's own folder, where anybody who could
// drop a file there could plant a DLL. These keep every DLL it loads to the
// system folder.

#include <windows.h>

// From now on, DLLs load from System32 only, not from the program's folder or
// the current directory. Does nothing on a Windows without the call (Windows
// 7 before KB2533623); the program's own loads name full paths regardless.
void LoadDllsFromSystemFolderOnly();

// Loads a DLL by its full path in the system folder; null when it fails.
HMODULE LoadSystemDll(const wchar_t* fileName);
