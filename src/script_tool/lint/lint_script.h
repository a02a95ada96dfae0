#pragma once
// A script as the lint rules see it: the file's bytes, the lines the updater
// will read (parsed with its own grammar), and the facts several rules share,
// worked out once.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script/file_command.h"
#include "script_tool/script_reader/script_file.h"

// How a line ended in the file. The updater reads both endings alike; only
// a mix of them is worth a word.
enum class LineEnd { None, LineFeed, CarriageReturnLineFeed };

// What is wrong with a line's keyword, when anything is. Such a line needs
// rewriting, so the other line rules leave it alone.
enum class KeywordFault {
  None,
  WrongCase,  // "cop", "Run": of neither kind, the line does nothing
  // "CPO", "RUM": the line does nothing; or "COPY a b", "RUNS x", RUN"x":
  // the byte in the separator's place is skipped, and what is left fails.
  Misspelt,
  // "COPYa<TAB>b", "RUNXa.exe": the byte in the separator's place is
  // skipped, and the rest is carried out as written. The line is sound to
  // the other rules.
  NotASeparator,
};

inline bool IsSoundKeyword(KeywordFault fault) {
  return fault == KeywordFault::None || fault == KeywordFault::NotASeparator;
}

struct LintLine {
  ReadLine Line;
  LineEnd End = LineEnd::None;
  KeywordFault Keyword = KeywordFault::None;
  bool HasHighBytes = false;    // a byte 0x80 or above
  bool HasNulBytes = false;
  bool HasCarriageReturns = false;
};

struct LintScript {
  std::string_view Bytes;  // the file as it is, which the lines view
  std::vector<LintLine> Lines;
  bool Utf8Mark = false;
  // "UTF-16 LE", "UTF-32 BE", ...: a mark after which nothing reads as the
  // updater's text; empty for none. Without a mark, UTF-16 that its NULs
  // give away is named here too, and WideMarkMissing says so.
  std::string_view WideMark;
  bool WideMarkMissing = false;
  // Why the file is no text at all (file_kind.h), or empty.
  std::string NotText;
  // Where the first 0x1A stands in Bytes, or npos.
  std::size_t EndOfData = std::string_view::npos;
};

LintScript ReadLintScript(std::string_view fileBytes);

// What is wrong with the line's keyword, by the grammar's own keyword match.
KeywordFault DiagnoseKeyword(const ReadLine& line);

// A COP or RUN line whose byte in the separator's place, skipped by the
// grammar, is neither a TAB nor a space.
inline bool HasStrayByteAfterKeyword(const ReadLine& line) {
  if (line.Command.Kind == CommandKind::Unrecognized || line.Text.size() <= kSkippedByteIndex) {
    return false;
  }
  const char skipped = line.Text[kSkippedByteIndex];
  return skipped != '\t' && skipped != ' ';
}

// The column (from 1) of the byte at index in the line's Text.
inline std::size_t ColumnOf(const ReadLine& line, std::size_t index) {
  return line.ColumnOffset + index + 1;
}

// The line and column (from 1) of a byte of the file.
struct FilePosition {
  std::size_t Line = 1;
  std::size_t Column = 1;
};
FilePosition PositionOfByte(std::string_view fileBytes, std::size_t offset);

// Where part, a view into line.Text (as the command's arguments are),
// starts in it.
inline std::size_t IndexInLine(const ReadLine& line, std::string_view part) {
  return static_cast<std::size_t>(part.data() - line.Text.data());
}

// A path of a COP line: its text and where it starts in the line's Text.
struct CopyPath {
  const ReadLine& Line;
  std::string_view Text;
  std::size_t Index;
  bool IsTarget;
};

// Calls visit(CopyPath) for the source and the target of a COP line that
// has both, neither of them empty, and whose keyword is sound.
template <typename Visitor>
void ForEachCopyPath(const LintLine& lintLine, Visitor&& visit) {
  const ReadLine& line = lintLine.Line;
  if (!IsSoundKeyword(lintLine.Keyword) || line.Command.Kind != CommandKind::Copy ||
      line.Command.ArgumentCount != 2) {
    return;
  }
  const std::string_view source = line.Command.Arguments[0];
  const std::string_view target = line.Command.Arguments[1];
  if (!source.empty()) visit(CopyPath{line, source, IndexInLine(line, source), false});
  if (!target.empty()) visit(CopyPath{line, target, IndexInLine(line, target), true});
}

// The same for every line of the script, in order.
template <typename Visitor>
void ForEachCopyPath(const LintScript& script, Visitor&& visit) {
  for (const LintLine& lintLine : script.Lines) ForEachCopyPath(lintLine, visit);
}
