#pragma once
// A script as the toolkit reads it: its bytes, from a file or standard input,
// and its lines as the updater will read and parse them. lint, print, verify
// and preflight all read the lines through ForEachReadLine, on the updater's
// own text mode (ForEachScriptLine) and grammar (ParseLine).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script/file_command.h"
#include "script/text_mode.h"

// The bytes of the file with this UTF-8 name, or of standard input for "-".
// Error is empty when the bytes were read, and otherwise says why not in a
// sentence fit for standard error ("no such file", "is a folder", ...).
struct InputBytes {
  std::string Bytes;
  std::string Error;
};
InputBytes ReadInputBytes(const std::string& name);

// One line as the updater reads it, its text and its arguments views into
// the file's bytes: no copy of any line, and no allocation per line.
struct ReadLine {
  // Counted from 1, as an editor counts lines: each LF of the file ends one.
  std::size_t Number = 0;
  // The bytes of the line as the updater reads them, without the line end.
  std::string_view Text;
  // Where Text starts in the file's line, in bytes: 3 on a first line behind
  // a byte-order mark, 0 elsewhere. Text[i] is at column ColumnOffset + i + 1.
  std::size_t ColumnOffset = 0;
  ParsedLine Command;
};

// Calls visit(ReadLine) for every line the updater will read, in order.
template <typename Visitor>
void ForEachReadLine(std::string_view fileBytes, Visitor&& visit) {
  const bool marked = fileBytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark;
  std::size_t number = 0;
  ForEachScriptLine(fileBytes, [&](std::string_view text) {
    ++number;
    const std::size_t columnOffset = number == 1 && marked ? kUtf8ByteOrderMark.size() : 0;
    visit(ReadLine{number, text, columnOffset, ParseLine(text)});
  });
}

// How many lines the updater will read.
std::size_t CountScriptLines(std::string_view fileBytes);

// A line of ForEachReadLine that owns its bytes, with the command as the
// updater builds it.
struct ScriptLine {
  std::size_t Number = 0;
  std::string Text;
  std::size_t ColumnOffset = 0;
  FileCommand Command;
};

// Every line the updater will read, in order, each with its command.
std::vector<ScriptLine> ParseScriptLines(std::string_view fileBytes);

// The targets of the COP lines that have a source and a target, in order,
// each with its line's number: what the folders an application creates
// before the update are found from (updater_client/target_folders.h).
struct CopyTargets {
  std::vector<std::string_view> Targets;  // views into the lines' commands
  std::vector<std::size_t> Lines;
};
CopyTargets CopyTargetsOf(const std::vector<ScriptLine>& lines);

// The column (in bytes from 1) where a line's argument starts: 0 the source
// of a COP or the command line of a RUN, 1 the target of a COP. 0 for an
// argument the line does not have.
std::size_t ArgumentColumn(const ScriptLine& line, std::size_t argument);
