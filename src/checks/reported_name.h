#pragma once
// The text by which a check names the script line that stopped it. Empty text
// means "all is well" to the caller, so a reported name is never empty.

#include <string>

#include "script/file_command.h"

// A Copy whose line had no separator carries no paths at all.
inline constexpr char kCopyWithoutTarget[] = "COP line without a target";
inline constexpr char kCopyWithEmptySource[] = "COP line with an empty source";
inline constexpr char kCopyWithEmptyTarget[] = "COP line with an empty target";

// The command's target as stored; for a Copy with fewer than two arguments
// its source when there is one.
std::string ReportedTarget(const FileCommand& copy);

// The command's source as stored.
std::string ReportedSource(const FileCommand& copy);
