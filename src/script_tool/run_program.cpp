#include "script_tool/run_program.h"

namespace {

char LowerAscii(char byte) {
  return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
}

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
      for (std::size_t k = 0; k < kLength && same; ++k) same = LowerAscii(text[i + k]) == extension[k];
      if (same) return end;
    }
  }
  return std::string_view::npos;
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
    return program;
  }
  std::size_t blank = 0;
  while (blank < commandLine.size() && !IsBlank(commandLine[blank])) ++blank;
  program.Path = commandLine.substr(0, blank);
  const std::size_t extensionEnd = EndOfProgramExtension(commandLine);
  if (extensionEnd != std::string_view::npos && extensionEnd > blank) {
    program.Path = commandLine.substr(0, extensionEnd);
    program.UnquotedWithSpace = true;
  }
  return program;
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
