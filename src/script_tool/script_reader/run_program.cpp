#include "script_tool/script_reader/run_program.h"

#include "names/windows_names.h"
#include "script/file_command.h"

namespace {

bool IsBlank(char byte) { return byte == ' ' || byte == '\t'; }

// The end of the first ".exe", ".com", ".bat" or ".cmd" that ends a word, or
// npos.
std::size_t EndOfProgramExtension(std::string_view text) {
  static constexpr std::string_view kExtensions[] = {".exe", ".com", ".bat", ".cmd"};
  constexpr std::size_t kLength = 4;
  for (std::size_t i = 0; i + kLength <= text.size(); ++i) {
    if (text[i] != '.') continue;
    const std::size_t end = i + kLength;
    if (end < text.size() && !IsBlank(text[end])) continue;
    for (const std::string_view extension : kExtensions) {
      bool same = true;
      for (std::size_t k = 0; k < kLength && same; ++k) same = AsciiLower(text[i + k]) == extension[k];
      if (same) return end;
    }
  }
  return std::string_view::npos;
}

bool HasExtension(std::string_view path) {
  const std::size_t lastName = path.find_last_of("\\/");
  return path.find('.', lastName == std::string_view::npos ? 0 : lastName) != std::string_view::npos;
}

// A word that carries on a path cut at a blank: it holds a backslash, and
// starts neither a path of its own (a drive, a share, a root) nor a switch.
bool CarriesOnPath(std::string_view word) {
  if (word.find('\\') == std::string_view::npos) return false;
  if (word.size() >= 2 && word[1] == ':') return false;
  const char first = word[0];
  return first != '\\' && first != '/' && first != '-' && first != '"';
}

// A word after a blank that may still be part of a program's name: it
// starts neither a switch nor a path of its own (a drive, a share, a root)
// nor a quoted argument. "Files\App\App.exe" may; "/c" does not, so that
// "cmd /c C:\App\post.cmd" names cmd, not a path with blanks.
bool MayContinueName(std::string_view word) {
  if (word.empty()) return true;
  if (word.size() >= 2 && word[1] == ':') return false;
  const char first = word[0];
  return first != '\\' && first != '/' && first != '-' && first != '"';
}

// Whether every word between from and to may still be part of the name.
bool WordsContinueName(std::string_view commandLine, std::size_t from, std::size_t to) {
  for (std::size_t at = from; at < to;) {
    while (at < to && IsBlank(commandLine[at])) ++at;
    std::size_t end = at;
    while (end < to && !IsBlank(commandLine[end])) ++end;
    if (!MayContinueName(commandLine.substr(at, end - at))) return false;
    at = end;
  }
  return true;
}

// The end of an unquoted program path without an extension that holds
// blanks: the words after the first that carry on its path. start is the
// blank after the first word.
std::size_t EndOfPathOverBlanks(std::string_view commandLine, std::size_t start) {
  std::size_t end = start;
  for (std::size_t at = start; at < commandLine.size();) {
    std::size_t word = at;
    while (word < commandLine.size() && IsBlank(commandLine[word])) ++word;
    std::size_t wordEnd = word;
    while (wordEnd < commandLine.size() && !IsBlank(commandLine[wordEnd])) ++wordEnd;
    if (word == wordEnd || !CarriesOnPath(commandLine.substr(word, wordEnd - word))) break;
    end = wordEnd;
    at = wordEnd;
  }
  return end;
}

// A quoted program: the text up to the closing quote, or to the end.
std::string_view QuotedProgram(std::string_view commandLine) {
  const std::size_t close = commandLine.find('"', 1);
  return commandLine.substr(1, close == std::string_view::npos ? std::string_view::npos
                                                                : close - 1);
}

}  // namespace

RunProgram FindRunProgram(std::string_view commandLine) {
  RunProgram program;
  if (!commandLine.empty() && commandLine[0] == '"') {
    program.Index = 1;
    program.Path = QuotedProgram(commandLine);
    program.Quoted = true;
    program.AddsExe = !HasExtension(program.Path);
    return program;
  }
  // A blank first: Windows finds no program at all (WhyNothingStarts).
  if (!commandLine.empty() && IsBlank(commandLine[0])) return program;
  std::size_t blank = 0;
  while (blank < commandLine.size() && !IsBlank(commandLine[blank])) ++blank;
  program.Path = commandLine.substr(0, blank);
  const std::size_t extensionEnd = EndOfProgramExtension(commandLine);
  if (extensionEnd != std::string_view::npos && extensionEnd > blank &&
      WordsContinueName(commandLine, blank, extensionEnd)) {
    program.Path = commandLine.substr(0, extensionEnd);
    program.UnquotedWithSpace = true;
  } else if (program.Path.find('\\') != std::string_view::npos && !HasExtension(program.Path)) {
    const std::size_t end = EndOfPathOverBlanks(commandLine, blank);
    if (end > blank) {
      program.Path = commandLine.substr(0, end);
      program.UnquotedWithSpace = true;
    }
  }
  program.AddsExe = !HasExtension(program.Path);
  return program;
}

RunRefusal WhyNothingStarts(std::string_view commandLine) {
  if (commandLine.find('\0') != std::string_view::npos) return RunRefusal::NulByte;
  if (commandLine.size() > kMaxCommandLineUnits) return RunRefusal::TooLong;
  if (commandLine.empty()) return RunRefusal::Empty;
  if (IsBlank(commandLine[0])) return RunRefusal::LeadingBlank;
  if (commandLine[0] != '"') {
    std::size_t blank = 0;
    while (blank < commandLine.size() && !IsBlank(commandLine[blank])) ++blank;
    if (commandLine.substr(0, blank).find('"') != std::string_view::npos) {
      return RunRefusal::QuoteInName;
    }
  }
  return RunRefusal::None;
}

std::string RefusalReason(RunRefusal refusal, std::string_view commandLine) {
  switch (refusal) {
    case RunRefusal::None:
      return {};
    case RunRefusal::NulByte:
      return "the command line holds a NUL byte, and the updater starts none that does";
    case RunRefusal::TooLong:
      return "the command line is " + std::to_string(commandLine.size()) +
             " characters long, and the updater starts none of " +
             std::to_string(kCommandLineBufferUnits) + " or more";
    case RunRefusal::Empty:
      return "the command line is empty, so Windows finds no program to start";
    case RunRefusal::LeadingBlank:
      return std::string("the command line starts with ") +
             (commandLine[0] == '\t' ? "a TAB" : "a space") +
             ", before any program name, and Windows finds no program there (as seen under "
             "Wine: CreateProcessW fails with error 2)";
    case RunRefusal::QuoteInName:
      return "the program's name, up to the first blank, holds a quotation mark that does not "
             "open it, and Windows finds no program of such a name (as seen under Wine: "
             "CreateProcessW fails with error 2)";
  }
  return {};
}

std::string_view ReasonCode(RunRefusal refusal) {
  switch (refusal) {
    case RunRefusal::None:
      return {};
    case RunRefusal::NulByte:
      return "nul";
    case RunRefusal::TooLong:
      return "too-long";
    case RunRefusal::Empty:
      return "empty";
    case RunRefusal::LeadingBlank:
      return "leading-blank";
    case RunRefusal::QuoteInName:
      return "quotation-mark";
  }
  return {};
}

std::vector<std::string> ProgramCandidates(std::string_view commandLine) {
  if (commandLine.empty()) return {};
  if (commandLine.front() == '"') return {std::string(QuotedProgram(commandLine))};
  std::vector<std::string> candidates;
  // Each piece runs on to the next blank; a piece never starts empty, so a
  // run of blanks gives candidates that end in blanks, as Windows tries them.
  std::size_t end = 0;
  while (end < commandLine.size()) {
    ++end;
    while (end < commandLine.size() && !IsBlank(commandLine[end])) ++end;
    candidates.emplace_back(commandLine.substr(0, end));
  }
  return candidates;
}
