#include "script_tool/run_program.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

std::vector<std::string> ProgramCandidates(std::string_view commandLine) {
  if (commandLine.empty()) return {};
  if (commandLine.front() == '"') {
    const std::size_t closing = commandLine.find('"', 1);
    return {std::string(commandLine.substr(1, closing == std::string_view::npos
                                                  ? std::string_view::npos
                                                  : closing - 1))};
  }
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
