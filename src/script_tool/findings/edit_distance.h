#pragma once
// How far one word is from another, for the "did you mean" of a misspelt
// keyword or subcommand.

#include <cstddef>
#include <string_view>

// Damerau-Levenshtein distance (optimal string alignment): insertions,
// deletions, substitutions and swaps of two neighbours, one each.
std::size_t EditDistance(std::string_view a, std::string_view b);
