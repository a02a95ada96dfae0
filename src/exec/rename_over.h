#pragma once
// Putting an open temporary file in its target's place, or deleting it.

#include <windows.h>

#include <string>

#include "exec/whole_copy.h"

// Information classes of Windows 10 that winbase.h names only when built for
// it; the program is built for Windows 7 and asks for them where they exist.
inline constexpr auto kFileDispositionInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(21);
inline constexpr auto kFileRenameInfoEx = static_cast<FILE_INFO_BY_HANDLE_CLASS>(22);

// Gives the open file (opened with DELETE) the name `target`, replacing the
// file there, through the handle: no second lookup of the temporary file by
// its name. Where Windows offers it (Windows 10 1607 and later, on NTFS) the
// rename has POSIX semantics and so also replaces a target that another
// process holds open with delete sharing, as a scanner does; an older system
// or another file system refuses that class, and the plain rename is made.
// Returns ERROR_SUCCESS or the error of the rename.
DWORD RenameOver(HANDLE file, const std::wstring& target, const CopyCalls& calls);

// Deletes the open file when its handle is closed: through the handle, which
// no other process can stand in the way of while it is open without sharing.
// A read-only file loses that attribute first. Returns ERROR_SUCCESS or the
// error of the last way tried.
DWORD DeleteWhenClosed(HANDLE file, const CopyCalls& calls);
