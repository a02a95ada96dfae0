#pragma once
// One line of an update script. This header and its .cpp hold the whole line
// grammar and use no Windows header, so the grammar also builds natively.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a line asks for, told by its first three bytes alone.
enum class CommandKind : std::int32_t {
  Copy = 0,  // "COP": copy Arguments[0] (source) over Arguments[1] (target)
  Run = 1,   // "RUN": start Arguments[0] as a command line
  // Any other keyword, and any line too short to carry one argument. Such a
  // command keeps its one argument, is passed over by the checks and is never
  // executed, so a stray line cannot make the updater do something.
  Unrecognized = 2,
};

// The grammar's positions, for every reader of a script: a keyword of three
// bytes, one byte that is skipped whatever it is (a space, a TAB, a letter),
// and the argument text from the byte after it.
inline constexpr std::size_t kKeywordLength = 3;
inline constexpr std::size_t kSkippedByteIndex = 3;
inline constexpr std::size_t kArgumentStart = 4;
inline constexpr std::string_view kCopyKeyword = "COP";
inline constexpr std::string_view kRunKeyword = "RUN";

// A RUN command line travels to CreateProcessW in a buffer of this many UTF-16
// units, terminator included, one unit per script byte: a longer one is never
// started, for a shortened one would start something else.
inline constexpr std::size_t kCommandLineBufferUnits = 256;
inline constexpr std::size_t kMaxCommandLineUnits = kCommandLineBufferUnits - 1;

// The kind a line's first three bytes give it, byte for byte (upper case
// only). A line too short to carry an argument is Unrecognized, unless it is
// a "COP" line, which is a Copy without arguments.
CommandKind KeywordKind(std::string_view line);

// Where a COP line's separator stands: the first TAB at kArgumentStart or
// after, or, only when there is none, the first space there; npos for none.
std::size_t CopySeparatorIndex(std::string_view line);

// Where a line's command and arguments stand in the line: the whole grammar,
// over a view of the line. FileCommand is built from it, and the toolkit reads
// a long script through it without copying one line.
struct ParsedLine {
  CommandKind Kind = CommandKind::Unrecognized;
  // 2 for a "COP" line with a separator after the keyword, 0 for one without,
  // 1 for every other line.
  std::size_t ArgumentCount = 0;
  // Views into the line given to ParseLine; the first ArgumentCount hold.
  std::string_view Arguments[2];
};
ParsedLine ParseLine(std::string_view line);

// A parsed script line. A value: copies own their argument texts, and nothing
// changes a FileCommand after construction. Consumers read the fields directly.
class FileCommand {
 public:
  // Parses one line, given without its line end. Never fails: every line
  // gives a command. A "COP" line gives two arguments when a separator
  // follows the keyword and none otherwise; every other line gives one.
  explicit FileCommand(std::string line);

  CommandKind Kind;
  // Narrow script bytes exactly as they stood in the line, NUL bytes included.
  std::vector<std::string> Arguments;
};
