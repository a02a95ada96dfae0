#pragma once

#include <string>

// True when the file could be opened for writing with no sharing at all, and
// so is held by no other process. The handle is closed at once; nothing is
// written. A name holding a NUL byte cannot be opened.
bool CanOpenExclusively(std::string name);
