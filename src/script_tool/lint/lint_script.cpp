#include "script_tool/lint/lint_script.h"

#include <algorithm>
#include <utility>

#include "names/windows_names.h"
#include "script/text_mode.h"
#include "script_tool/findings/edit_distance.h"
#include "script_tool/lint/file_kind.h"
#include "script_tool/script_reader/run_program.h"

namespace {

// Words longer than this are not taken for a misspelt keyword.
constexpr std::size_t kLongestKeywordGuess = 6;

// Whether what is left of a COP or RUN line once the grammar has skipped a
// stray byte after the keyword fails: a COP without both paths, a RUN that
// starts nothing. A skipped quotation mark leaves the program's name holding
// the closing one, which no file name can: nothing starts.
bool StrayByteBreaksLine(const ReadLine& line) {
  const ParsedLine& command = line.Command;
  if (command.Kind == CommandKind::Copy) {
    return command.ArgumentCount != 2 || command.Arguments[0].empty() ||
           command.Arguments[1].empty();
  }
  return line.Text[kSkippedByteIndex] == '"' ||
         WhyNothingStarts(command.Arguments[0]) != RunRefusal::None;
}

std::string_view WideMarkName(std::string_view bytes) {
  static constexpr std::pair<std::string_view, std::string_view> kMarks[] = {
      {std::string_view("\0\0\xFE\xFF", 4), "UTF-32 BE"},
      {std::string_view("\xFF\xFE\0\0", 4), "UTF-32 LE"},
      {"\xFF\xFE", "UTF-16 LE"},
      {"\xFE\xFF", "UTF-16 BE"},
  };
  for (const auto& [mark, name] : kMarks) {
    if (bytes.substr(0, mark.size()) == mark) return name;
  }
  return {};
}

}  // namespace

KeywordFault DiagnoseKeyword(const ReadLine& line) {
  const std::string_view text = line.Text;
  if (line.Command.Kind != CommandKind::Unrecognized) {
    if (!HasStrayByteAfterKeyword(line)) return KeywordFault::None;
    return StrayByteBreaksLine(line) ? KeywordFault::Misspelt : KeywordFault::NotASeparator;
  }
  // The grammar's own match decides whether the first three bytes, in
  // capitals, would be a keyword.
  std::string capitals(text.substr(0, kKeywordLength));
  for (char& byte : capitals) byte = AsciiUpper(byte);
  if (capitals != text.substr(0, kKeywordLength) &&
      KeywordKind(capitals + ' ') != CommandKind::Unrecognized) {
    return KeywordFault::WrongCase;
  }
  std::string word;
  for (const char byte : text) {
    if (!IsAsciiLetter(byte) || word.size() > kLongestKeywordGuess) break;
    word.push_back(AsciiUpper(byte));
  }
  const bool wholeWord = word.size() == text.size() || text[word.size()] == ' ' ||
                         text[word.size()] == '\t';
  if (word.size() >= 2 && word.size() <= kLongestKeywordGuess && wholeWord &&
      (EditDistance(word, kCopyKeyword) == 1 || EditDistance(word, kRunKeyword) == 1)) {
    return KeywordFault::Misspelt;
  }
  return KeywordFault::None;
}

LintScript ReadLintScript(std::string_view fileBytes) {
  LintScript script;
  script.Bytes = fileBytes;
  script.EndOfData = fileBytes.find('\x1A');
  script.WideMark = WideMarkName(fileBytes);
  script.Utf8Mark = fileBytes.substr(0, kUtf8ByteOrderMark.size()) == kUtf8ByteOrderMark;

  script.Lines.reserve(CountScriptLines(fileBytes));
  const char* const fileEnd = fileBytes.data() + fileBytes.size();
  ForEachReadLine(fileBytes, [&](const ReadLine& line) {
    LintLine& lintLine = script.Lines.emplace_back(LintLine{line});
    const std::string_view text = line.Text;
    // The line is a view into the file: what follows it there is its end.
    const char* const after = text.data() + text.size();
    if (after != fileEnd && *after == '\r' && after + 1 != fileEnd && after[1] == '\n') {
      lintLine.End = LineEnd::CarriageReturnLineFeed;
    } else if (after != fileEnd && *after == '\n') {
      lintLine.End = LineEnd::LineFeed;
    }
    // Written so that the compiler checks many bytes at a time.
    unsigned char high = 0, nul = 0, carriageReturn = 0;
    for (const char byte : text) {
      const auto value = static_cast<unsigned char>(byte);
      high |= value;
      nul |= static_cast<unsigned char>(value == 0);
      carriageReturn |= static_cast<unsigned char>(value == '\r');
    }
    lintLine.HasHighBytes = (high & 0x80) != 0;
    lintLine.HasNulBytes = nul != 0;
    lintLine.HasCarriageReturns = carriageReturn != 0;
    lintLine.Keyword = DiagnoseKeyword(lintLine.Line);
  });
  // What the bytes look like decides only when the updater would find no
  // COP or RUN line in them: then the one finding's "does nothing" holds.
  const bool anyCommand =
      std::any_of(script.Lines.begin(), script.Lines.end(), [](const LintLine& line) {
        return line.Line.Command.Kind != CommandKind::Unrecognized;
      });
  if (script.WideMark.empty() && !anyCommand) {
    script.WideMark = GuessUnmarkedUtf16(fileBytes);
    script.WideMarkMissing = !script.WideMark.empty();
    if (!script.WideMarkMissing) {
      const std::size_t linesWithNul = static_cast<std::size_t>(
          std::count_if(script.Lines.begin(), script.Lines.end(),
                        [](const LintLine& line) { return line.HasNulBytes; }));
      script.NotText = WhyNotText(fileBytes, script.Lines.size(), linesWithNul);
    }
  }
  return script;
}

FilePosition PositionOfByte(std::string_view fileBytes, std::size_t offset) {
  const std::string_view before = fileBytes.substr(0, offset);
  FilePosition position;
  position.Line = 1 + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
  const std::size_t lastLineFeed = before.rfind('\n');
  position.Column = lastLineFeed == std::string_view::npos ? offset + 1 : offset - lastLineFeed;
  return position;
}
