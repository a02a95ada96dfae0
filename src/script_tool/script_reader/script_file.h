#pragma once
// A script as the toolkit reads it: its bytes, from a file or standard input,
// and its lines as the updater will read and parse them.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script/file_command.h"

// The bytes of the file with this UTF-8 name, or of standard input for "-".
// Error is empty when the bytes were read, and otherwise says why not in a
// sentence fit for standard error ("no such file", "is a folder", ...).
struct InputBytes {
  std::string Bytes;
  std::string Error;
};
InputBytes ReadInputBytes(const std::string& name);

// One line of the script as the updater reads it (through the text mode),
// parsed with the updater's own grammar.
struct ScriptLine {
  // Counted from 1, as an editor counts lines: each LF of the file ends one.
  std::size_t Number = 0;
  // The bytes of the line as the updater reads them, without the line end.
  std::string Text;
  // Where Text starts in the file's line, in bytes: 3 on a first line behind
  // a byte-order mark, 0 elsewhere. Text[i] is at column ColumnOffset + i + 1.
  std::size_t ColumnOffset = 0;
  FileCommand Command;
};

// Every line the updater will read, in order, each with its command.
std::vector<ScriptLine> ParseScriptLines(std::string_view fileBytes);
