#pragma once

#include <string>
#include <vector>

#include "script/file_command.h"

// True when a file of that name exists, whatever its state: one that is
// locked or cannot be read still counts (that shows in the copy). A folder
// never does: it can never be the source of a copy. The name goes to the
// system as it stands, neither completed nor normalised; one holding a NUL
// byte names nothing that exists.
bool SourceExists(std::string name);

// The first Copy source that does not exist, or empty text.
std::string FindMissingSource(const std::vector<FileCommand>& commands);
