#pragma once
// Windows paths as a script holds them (Latin-1 bytes), taken apart and
// compared as Windows compares names (names/windows_names.h), and mapped onto
// the local file system: verify replays on Linux what the updater will do on
// Windows.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>


// The names of a path between its separators (\ and /, both separators to
// Windows), with empty names and "." left out, as Windows normalizes a path.
std::vector<std::string> SplitWindowsPath(std::string_view latin1);

// Where a path lies below a root: the names after the root's own, or nothing
// when the path is not below it (nor the root itself). Roots and names are
// compared as Windows compares them.
std::optional<std::vector<std::string>> NamesBelowRoot(
    const std::vector<std::string>& path, const std::vector<std::string>& root);

// What is wrong with the names below a root, as the end of a sentence that
// begins with the path ("holds ..."); empty when nothing is. A name that
// Windows would change or that leaves the root reaches another file there
// than here.
std::string ProblemOfRelativeNames(const std::vector<std::string>& names);

// One name of a script path as a name of the local file system.
std::filesystem::path LocalName(const std::string& latin1);

// A local file name in the script's Latin-1, for comparing with script names;
// nothing when the name cannot be written in Latin-1 (no script names it).
std::optional<std::string> Latin1Name(const std::filesystem::path& name);
