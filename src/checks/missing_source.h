#pragma once

#include <string>

// True when a file or folder of that name exists. The name goes to the system
// as it stands, neither completed nor normalised; one holding a NUL byte
// names nothing that exists.
bool SourceExists(std::string name);
