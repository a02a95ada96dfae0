#pragma once
// What a replaced file keeps of the file it replaces: who owns it and who may
// use it.
//
// The copy renames a new file into the target's place, and a new file gets
// the folder's inherited access list and the updater's user as its owner. An
// access list an installer set on the target (a settings file made writable
// for all users, say) would be gone after one update. ReplaceFileW keeps it
// by opening the replacement for WRITE_DAC "so that it can preserve all
// attributes and ACLs" (ReplaceFile, lpReplacementFileName); the copy does
// the same through the temporary file's handle before the rename.

#include <windows.h>

#include <string>
#include <vector>

// The target's owner, group and access list (DACL, with whether it inherits
// from the folder), as a self-relative security descriptor; empty when the
// target does not exist yet. Returns ERROR_SUCCESS or the error of the read.
// Any handle that passed the write check may read them: FILE_GENERIC_WRITE
// holds READ_CONTROL.
DWORD ReadSecurityToKeep(const std::wstring& target, std::vector<BYTE>& descriptor);

// Gives the open file (opened with WRITE_DAC and READ_CONTROL) the access
// list of `descriptor`, and its owner and group where Windows lets this
// process: an owner other than the user may be set only by a process that
// holds the restore privilege, which an updater run with the user's rights
// does not; the file then keeps the user as owner, as ReplaceFileW leaves it.
// Returns ERROR_SUCCESS or the error of setting the access list. Nothing for
// an empty descriptor.
DWORD GiveKeptSecurity(HANDLE file, const std::vector<BYTE>& descriptor);
