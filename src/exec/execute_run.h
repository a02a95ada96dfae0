#pragma once

#include <cstdint>

#include "script/file_command.h"

// Starts the Run's Arguments[0] as a process and does not wait for it. Always
// returns 0: a program that cannot be started is passed over without a word.
std::int32_t ExecuteRun(const FileCommand& run);
