#pragma once
// The patterns of make's and verify's --exclude, matched against a relative path as Windows
// compares names: letters in any case (Windows' own folding), "/" and "\"
// alike. "*" stands for any run of characters within one name, "?" for one
// character, and a name "**" for any number of folders, none included:
// "**/*.pdb" is every .pdb, "config/user.ini" one file, "logs" or "logs/**"
// a folder and all it holds.

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/tree_walker/folder_tree.h"

// Whether the pattern matches the whole relative path (names between "\" or
// "/"). Neither holds a "." or ".." name.
bool ExcludeGlobMatches(std::wstring_view pattern, std::wstring_view relative);

// The patterns as given on the command line (UTF-8), wide; nothing when one
// is not UTF-8.
std::optional<std::vector<std::wstring>> ExcludePatternsFromUtf8(
    const std::vector<std::string>& patterns);

// Whether make leaves the entry at relative out: a pattern matches its path
// or the path of a folder above it.
bool PathExcluded(const std::vector<std::wstring>& patterns, std::wstring_view relative);

// The tree without the entries the patterns leave out, each file left out
// added to excludedFiles (by its key) when that is given. A folder that held
// something and holds nothing once the patterns have taken their part
// ("debug" of "**/*.pdb") goes too: it is the left-out files' folder, not an
// empty one of the release.
FolderTree WithoutExcluded(const FolderTree& tree, const std::vector<std::wstring>& patterns,
                           std::set<std::wstring>* excludedFiles = nullptr);
