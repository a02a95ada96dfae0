#pragma once

#include <string>

// True when a file of that name exists, whatever its state: one that is
// locked or cannot be read still counts (that shows in the copy). A folder
// never does: it can never be the source of a copy. The name goes to the
// system as it stands, neither completed nor normalised; one holding a NUL
// byte names nothing that exists.
bool SourceExists(std::string name);
