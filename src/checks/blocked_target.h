#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "script/file_command.h"

// Opens the file for writing with no sharing, or, when it does not exist,
// creates it empty and deletes it again; no folder is ever created. Returns
// 1 when that fails for any reason, 0 otherwise. Nothing created stays
// behind, even when the process is killed. A name holding a NUL byte gives 1
// without a system call.
std::int32_t TargetAccessCode(std::string name);

// The first Copy target that cannot be opened for writing with no sharing,
// or created (and deleted again) when missing, or empty text. With a name,
// accessCode is 1 when the target still failed a second test and 0 when it
// had become free; it is left alone after a pass.
std::string FindBlockedTarget(const std::vector<FileCommand>& commands,
                              std::int32_t& accessCode);

using TargetAccessTest = std::function<std::int32_t(const std::string&)>;

// FindBlockedTarget over a list, with the per-file test given: lets a test
// decide what the file system would say on each call. A failing target is
// tested a second time and that second code is the one reported.
std::string FindBlockedTargetIn(const std::vector<FileCommand>& commands,
                                const TargetAccessTest& accessCode,
                                std::int32_t& reportedCode);
