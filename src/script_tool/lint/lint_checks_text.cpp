// The rules on bytes and encoding: what a text editor may have put into the
// file that the updater reads differently from the writer.
#include <algorithm>
#include <string>
#include <unordered_map>
#include <vector>

#include "script/text_mode.h"
#include "script_tool/lint/lint_checks.h"
#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script_tool/findings/quoted.h"
#include "script_tool/script_reader/run_program.h"
#include "script_tool/script_reader/visible_text.h"

namespace {

bool IsBlank(char byte) { return byte == ' ' || byte == '\t'; }

// What ends a name within a path: a folder separator, or a quotation mark
// around the path.
bool EndsName(char byte) { return byte == '\\' || byte == '/' || byte == '"'; }

// The name of part, a view into text, that holds the byte at index: from the
// separator before it to the one after it. Blanks are part of a name.
std::string_view NameWithin(std::string_view text, std::string_view part, std::size_t index) {
  const std::size_t partStart = static_cast<std::size_t>(part.data() - text.data());
  std::size_t start = index;
  while (start > partStart && !EndsName(text[start - 1])) --start;
  std::size_t end = index;
  while (end < partStart + part.size() && !EndsName(text[end])) ++end;
  return text.substr(start, end - start);
}

// The whole name a byte of a line belongs to, as the updater hands it to
// Windows: on a COP line a name of the source or of the target; on a RUN line
// a name of the program's path (a path in quotation marks holds blanks), or
// of the argument around the byte (blanks within quotation marks belong to
// it); on any other line, which names nothing the updater uses, a name of the
// text between TABs. Made once a line, asked for each byte.
class NamesOfLine {
 public:
  explicit NamesOfLine(const ReadLine& line) : line_(line) {
    const ParsedLine& command = line.Command;
    if (command.Kind == CommandKind::Copy && command.ArgumentCount == 2) {
      parts_[0] = command.Arguments[0];
      parts_[1] = command.Arguments[1];
    } else if (command.Kind == CommandKind::Run) {
      commandLine_ = command.Arguments[0];
      program_ = FindRunProgram(commandLine_).Path;
    }
  }

  std::string_view NameAt(std::size_t index) const {
    const std::string_view text = line_.Text;
    for (const std::string_view part : {parts_[0], parts_[1], program_}) {
      if (!part.empty() && Holds(part, index)) return NameWithin(text, part, index);
    }
    if (!commandLine_.empty() && Holds(commandLine_, index)) {
      return NameWithin(text, ArgumentAround(commandLine_, index), index);
    }
    std::size_t start = index;
    while (start > 0 && text[start - 1] != '\t') --start;
    const std::size_t end = std::min(text.find('\t', index), text.size());
    return NameWithin(text, text.substr(start, end - start), index);
  }

 private:
  bool Holds(std::string_view part, std::size_t index) const {
    const std::size_t start = static_cast<std::size_t>(part.data() - line_.Text.data());
    return index >= start && index < start + part.size();
  }

  // The argument of the command line that holds index: up to a blank
  // outside quotation marks on either side.
  std::string_view ArgumentAround(std::string_view commandLine, std::size_t index) const {
    const std::size_t at = index - static_cast<std::size_t>(commandLine.data() - line_.Text.data());
    std::size_t start = 0;
    bool quoted = false;
    for (std::size_t i = 0; i < at; ++i) {
      if (commandLine[i] == '"') quoted = !quoted;
      if (!quoted && IsBlank(commandLine[i])) start = i + 1;
    }
    std::size_t end = at;
    for (; end < commandLine.size(); ++end) {
      if (commandLine[end] == '"') quoted = !quoted;
      if (!quoted && IsBlank(commandLine[end])) break;
    }
    return commandLine.substr(start, end - start);
  }

  const ReadLine& line_;
  std::string_view parts_[2];
  std::string_view commandLine_;
  std::string_view program_;
};

// One finding a name, however many lines hold it: at its first place, its
// message naming the other lines ("also on lines 7, 9, 12 and 17 more").
class OnePerName {
 public:
  // The name (a view into the script's lines) seen at this place; detail
  // makes the finding's words, asked only the first time.
  template <typename Detail>
  void Saw(std::string_view name, std::size_t line, std::size_t column, std::size_t endColumn,
           Detail&& detail) {
    const auto [found, first] = index_.try_emplace(name, names_.size());
    if (first) {
      names_.push_back({line, column, endColumn, detail(), {}});
      return;
    }
    Name& seen = names_[found->second];
    if (seen.Line != line && (seen.OtherLines.empty() || seen.OtherLines.back() != line)) {
      seen.OtherLines.push_back(line);
    }
  }

  void Report(FindingSink& sink) const {
    for (const Name& name : names_) {
      sink.Add(name.Line, name.Column, name.EndColumn, name.Detail + AlsoOnLines(name.OtherLines));
    }
  }

 private:
  struct Name {
    std::size_t Line, Column, EndColumn;
    std::string Detail;
    std::vector<std::size_t> OtherLines;  // ascending, without the first
  };

  // " (also on lines 7, 9 and 12)": up to four lines listed, beyond that
  // three and how many more.
  static std::string AlsoOnLines(const std::vector<std::size_t>& lines) {
    constexpr std::size_t kAllListedUpTo = 4;
    constexpr std::size_t kListedOfMore = 3;
    if (lines.empty()) return {};
    const std::size_t listed = lines.size() <= kAllListedUpTo ? lines.size() : kListedOfMore;
    std::string text = lines.size() == 1 ? " (also on line " : " (also on lines ";
    for (std::size_t i = 0; i < listed; ++i) {
      if (i > 0) text += i + 1 == listed && listed == lines.size() ? " and " : ", ";
      text += std::to_string(lines[i]);
    }
    if (listed < lines.size()) text += " and " + std::to_string(lines.size() - listed) + " more";
    return text + ")";
  }

  std::vector<Name> names_;
  std::unordered_map<std::string_view, std::size_t> index_;
};

// The bytes as an editor that reads UTF-8 shows them: its sequences as they
// stand, any other byte above 0x7F as the replacement character.
std::string AsUtf8Shows(std::string_view bytes) {
  std::string out;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    const std::size_t length = Utf8SequenceLength(bytes, i);
    if (length > 0) {
      out.append(bytes.substr(i, length));
      i += length - 1;
    } else {
      out += "\xEF\xBF\xBD";
    }
  }
  return out;
}

// Where the names and command lines of a sound COP or RUN line start: the
// bytes before are a keyword and a skipped byte, which name nothing. Other
// lines name nothing at all: npos.
std::size_t NamesStart(const LintLine& lintLine) {
  if (!IsSoundKeyword(lintLine.Keyword) ||
      lintLine.Line.Command.Kind == CommandKind::Unrecognized) {
    return std::string_view::npos;
  }
  return kArgumentStart;
}

}  // namespace

void CheckUtf8Mark(const LintScript& script, FindingSink& sink) {
  if (script.Utf8Mark) sink.Add(1, 1, 1 + kUtf8ByteOrderMark.size());
}

void CheckWideMark(const LintScript& script, FindingSink& sink) {
  if (script.WideMark.empty()) return;
  const std::string encoding(script.WideMark);
  if (script.WideMarkMissing) {
    sink.Add(1, 1, 3, encoding + " text without a byte-order mark (a NUL beside every letter)");
  } else {
    sink.Add(1, 1, 3, "a " + encoding + " byte-order mark");
  }
}

void CheckNotText(const LintScript& script, FindingSink& sink) {
  if (!script.NotText.empty()) sink.Add(1, 1, 1, script.NotText);
}

// The updater's checks stop at the source before they open the target, so a
// NUL in the source is what the user is asked about.
void CheckNulBytes(const LintLine& lintLine, FindingSink& sink) {
  if (!lintLine.HasNulBytes || !IsSoundKeyword(lintLine.Keyword)) return;
  const ReadLine& line = lintLine.Line;
  const ParsedLine& command = line.Command;
  std::string_view part;
  std::string effect;
  if (command.Kind == CommandKind::Run) {
    part = command.Arguments[0];
    effect = "a NUL in the command line: the updater starts nothing";
  } else if (command.Kind == CommandKind::Copy && command.ArgumentCount == 2) {
    const bool inSource = command.Arguments[0].find('\0') != std::string_view::npos;
    part = command.Arguments[inSource ? 0 : 1];
    effect = std::string("a NUL in the ") + (inSource ? "source" : "target") +
             ", which no Windows name can hold: " +
             StopsAtChecks(inSource ? kCantAccessSourceFiles : kWriteAccessToFileMissing,
                           QuotedText(part));
  }
  const std::size_t nul = part.find('\0');
  if (nul == std::string_view::npos) return;
  const std::size_t column = ColumnOf(line, IndexInLine(line, part) + nul);
  sink.Add(line.Number, column, column + 1, effect);
}

void CheckEndOfDataByte(const LintScript& script, FindingSink& sink) {
  if (script.EndOfData == std::string_view::npos) return;
  // An old editor's 0x1A as the very last byte, or before the last line end
  // alone, hides nothing.
  const std::string_view rest = script.Bytes.substr(script.EndOfData + 1);
  if (rest.find_first_not_of("\r\n\x1A") == std::string_view::npos) return;
  const FilePosition at = PositionOfByte(script.Bytes, script.EndOfData);
  sink.Add(at.Line, at.Column, at.Column + 1, std::to_string(rest.size()));
}

void CheckC1Bytes(const LintLine& lintLine, FindingSink& sink) {
  const std::size_t start = NamesStart(lintLine);
  if (!lintLine.HasHighBytes || start == std::string_view::npos) return;
  const ReadLine& line = lintLine.Line;
  for (std::size_t i = start; i < line.Text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(line.Text[i]);
    if (byte >= 0x80 && byte <= 0x9F) {
      sink.Add(line.Number, ColumnOf(line, i), ColumnOf(line, i) + 1, ByteInWords(line.Text[i]));
      break;
    }
  }
}

// A name is checked once, however many lines hold it.
void CheckUtf8Sequences(const LintScript& script, FindingSink& sink) {
  OnePerName found;
  for (const LintLine& lintLine : script.Lines) {
    const std::size_t start = NamesStart(lintLine);
    if (!lintLine.HasHighBytes || start == std::string_view::npos) continue;
    const ReadLine& line = lintLine.Line;
    const NamesOfLine names(line);
    for (std::size_t i = start; i < line.Text.size(); ++i) {
      // An ASCII byte (a sequence of one) reads the same either way.
      const std::size_t length = Utf8SequenceLength(line.Text, i);
      if (length < 2) continue;
      const std::string_view name = names.NameAt(i);
      // The name's own bytes, which are UTF-8: what the writer saw.
      found.Saw(name, line.Number, ColumnOf(line, i), ColumnOf(line, i) + length, [&] {
        return QuotedUtf8(AsUtf8Shows(name)) + " is read as " + QuotedText(name);
      });
      i = IndexInLine(line, name) + name.size();
    }
  }
  found.Report(sink);
}

void CheckLatin1Characters(const LintScript& script, FindingSink& sink) {
  OnePerName found;
  for (const LintLine& lintLine : script.Lines) {
    if (!lintLine.HasHighBytes) continue;
    const ReadLine& line = lintLine.Line;
    const NamesOfLine names(line);
    for (std::size_t i = 0; i < line.Text.size(); ++i) {
      const std::size_t length = Utf8SequenceLength(line.Text, i);
      if (length > 0) {
        i += length - 1;
      } else if (static_cast<unsigned char>(line.Text[i]) >= 0xA0) {
        const std::string_view name = names.NameAt(i);
        found.Saw(name, line.Number, ColumnOf(line, i), ColumnOf(line, i) + 1,
                  [&] { return QuotedText(name); });
        i = IndexInLine(line, name) + name.size();
      }
    }
  }
  found.Report(sink);
}

void CheckLoneCarriageReturns(const LintLine& lintLine, FindingSink& sink) {
  if (!lintLine.HasCarriageReturns) return;
  const ReadLine& line = lintLine.Line;
  const std::size_t carriageReturn = line.Text.find('\r');
  if (carriageReturn != std::string::npos) {
    sink.Add(line.Number, ColumnOf(line, carriageReturn), ColumnOf(line, carriageReturn) + 1);
  }
}

void CheckEmptyScript(const LintScript& script, FindingSink& sink) {
  if (script.Lines.empty()) sink.Add(1, 1, 1);
}

void CheckMixedLineEnds(const LintScript& script, FindingSink& sink) {
  LineEnd first = LineEnd::None;
  for (const LintLine& lintLine : script.Lines) {
    if (lintLine.End == LineEnd::None) continue;
    if (first == LineEnd::None) {
      first = lintLine.End;
    } else if (lintLine.End != first) {
      const ReadLine& line = lintLine.Line;
      const std::size_t column = ColumnOf(line, line.Text.size());
      const bool crLf = lintLine.End == LineEnd::CarriageReturnLineFeed;
      sink.Add(line.Number, column, column + (crLf ? 2 : 1),
               crLf ? "CR LF after LF" : "LF after CR LF");
      return;
    }
  }
}
