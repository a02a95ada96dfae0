#pragma once

#include <cstdint>

#include "script/file_command.h"

// Copies the Copy's Arguments[0] over its Arguments[1] and carries the
// source's file times over. The target is replaced only by a complete copy.
// Returns 0 on success, or the Windows error code of the step that failed,
// the target then as it was.
std::int32_t ExecuteCopy(const FileCommand& copy);
