#include "script/folder_probe.h"

#include <windows.h>
#include <shlwapi.h>

std::wstring ProbeFilePath(const std::wstring& scriptPath) {
  return scriptPath + L"copyFilr.scp";
}

FolderAccess ProbeScriptFolder(const std::wstring& scriptPath) {
  const std::wstring probe = ProbeFilePath(scriptPath);
  FolderAccess access;
  access.Writable =
      PathFileExistsW(probe.c_str()) ||
      CopyFileW(scriptPath.c_str(), probe.c_str(), /*bFailIfExists=*/TRUE);
  // The copy takes the script's attributes over, so a read-only script gives
  // a read-only probe that DeleteFileW refuses: the folder then counts as not
  // deletable, and the update stops before it could fail to delete the script.
  access.Deletable = access.Writable && DeleteFileW(probe.c_str());
  return access;
}
