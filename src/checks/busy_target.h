#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "script/file_command.h"

// The open of the exclusive-open test below: ERROR_SUCCESS when it passed,
// or the Windows error code of the failed open (ERROR_INVALID_NAME for a name
// holding a NUL byte). preflight tells a sharing violation apart from the rest.
DWORD ExclusiveOpenError(std::string name);

// True when the file could be opened for writing with no sharing at all, and
// so is held by no other process. The handle is closed at once; nothing is
// written. A name holding a NUL byte cannot be opened.
bool CanOpenExclusively(std::string name);

// The first existing Copy target that cannot be opened exclusively (another
// process holds it, a running program's image, read-only, a folder), or
// empty text. A target that does not exist yet cannot be in use.
std::string FindBusyTarget(const std::vector<FileCommand>& commands);
