#pragma once
// Update scripts generated from a grammar of the traps a hand-written or
// tool-made script falls into: line ends CR LF, LF, a lone CR and their mix;
// 0x1A; byte-order marks; blank and unknown lines; TAB, space and other bytes
// after the keyword; space separators; Latin-1 names; the same target twice,
// in another case; RUN lines that start the command-line recorder with quoted
// arguments, and RUN lines that start nothing. Each case comes from its own
// seed alone, so that a failing case can be run again by itself.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct GeneratedFile {
  std::wstring name;  // below the folder, "\" between names
  std::string bytes;
  std::uint64_t written = 0;  // last-write time, in 100 ns since 1601
};

// RUN lines in a case at most, each with a recorder of its own.
constexpr std::size_t kMostRuns = 2;

struct DifferentialCase {
  std::uint64_t seed = 0;
  std::vector<GeneratedFile> newFiles;  // the new version: the sources
  std::vector<GeneratedFile> oldFiles;  // the installed version: the targets
  // The script's bytes; @S@ stands for the folder of the new files, @A@ for
  // the installed folder, @R0@ to @R1@ for the paths of the command-line
  // recorders, one per RUN line.
  std::string script;
  // A source held open without sharing while the updater runs, so that its
  // copy fails: a name of newFiles.
  std::optional<std::wstring> heldSource;
};

// runStartsKnown: whether print says of a RUN row that it starts nothing;
// only then are RUN lines made that start nothing (a leading blank, a NUL,
// 256 units or more).
DifferentialCase GenerateCase(std::uint64_t seed, bool runStartsKnown);
