#pragma once
// Proves write and delete access to the script's folder with a real file
// before anything else is touched.

#include <string>

// The probe lies beside the script: the script path with "copyFilr.scp"
// appended, no separator between them (upd.txt gets upd.txtcopyFilr.scp).
std::wstring ProbeFilePath(const std::wstring& scriptPath);

struct FolderAccess {
  bool Writable = false;   // the probe already existed or could be created
  bool Deletable = false;  // the probe could be deleted; never without Writable
};

// Creates the probe as a copy of the script (failing if it exists) and deletes
// it again. A probe left over from an earlier run counts as proof of write
// access and is deleted as well. A probe that cannot be deleted stays behind.
FolderAccess ProbeScriptFolder(const std::wstring& scriptPath);
