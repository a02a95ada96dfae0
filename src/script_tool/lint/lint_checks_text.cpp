// The rules on bytes and encoding: what a text editor may have put into the
// file that the updater reads differently from the writer.
#include <string>

#include "script/text_mode.h"
#include "script_tool/lint/lint_checks.h"
#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script_tool/findings/quoted.h"
#include "script_tool/script_reader/visible_text.h"

namespace {

bool IsWordBoundary(char byte) {
  return byte == ' ' || byte == '\t' || byte == '\\' || byte == '/' || byte == '"';
}

// The name or word around index: what a reader recognises in a message.
std::string_view WordAround(std::string_view text, std::size_t index) {
  std::size_t start = index;
  while (start > 0 && !IsWordBoundary(text[start - 1])) --start;
  std::size_t end = index;
  while (end < text.size() && !IsWordBoundary(text[end])) ++end;
  return text.substr(start, end - start);
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

void CheckUtf8Sequences(const LintLine& lintLine, FindingSink& sink) {
  const std::size_t start = NamesStart(lintLine);
  if (!lintLine.HasHighBytes || start == std::string_view::npos) return;
  const ReadLine& line = lintLine.Line;
  for (std::size_t i = start; i < line.Text.size(); ++i) {
    // An ASCII byte (a sequence of one) reads the same either way.
    const std::size_t length = Utf8SequenceLength(line.Text, i);
    if (length < 2) continue;
    const std::string_view word = WordAround(line.Text, i);
    // The word's own bytes, which are UTF-8: what the writer saw.
    sink.Add(line.Number, ColumnOf(line, i), ColumnOf(line, i) + length,
             QuotedUtf8(word) + " is read as " + QuotedText(word));
    break;
  }
}

void CheckLatin1Characters(const LintLine& lintLine, FindingSink& sink) {
  if (!lintLine.HasHighBytes) return;
  const ReadLine& line = lintLine.Line;
  for (std::size_t i = 0; i < line.Text.size(); ++i) {
    const std::size_t length = Utf8SequenceLength(line.Text, i);
    if (length > 0) {
      i += length - 1;
    } else if (static_cast<unsigned char>(line.Text[i]) >= 0xA0) {
      sink.Add(line.Number, ColumnOf(line, i), ColumnOf(line, i) + 1,
               QuotedText(WordAround(line.Text, i)));
      break;
    }
  }
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
