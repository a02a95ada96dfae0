#include "script/file_command.h"

#include <string_view>

// A TAB anywhere in the argument text wins over an earlier SPACE, so that a
// source path with spaces in it can be written with a TAB as separator.
std::size_t CopySeparatorIndex(std::string_view line) {
  const std::size_t tab = line.find('\t', kArgumentStart);
  if (tab != std::string_view::npos) return tab;
  return line.find(' ', kArgumentStart);
}

CommandKind KeywordKind(std::string_view line) {
  const std::string_view keyword = line.substr(0, kKeywordLength);
  if (keyword == kCopyKeyword) return CommandKind::Copy;
  // Nothing at index 4 to take an argument from: not even a "RUN" of three
  // bytes has a command line.
  if (keyword == kRunKeyword && line.size() >= kArgumentStart) return CommandKind::Run;
  return CommandKind::Unrecognized;
}

ParsedLine ParseLine(std::string_view line) {
  ParsedLine parsed;
  parsed.Kind = KeywordKind(line);

  if (parsed.Kind == CommandKind::Copy) {
    const std::size_t separator = CopySeparatorIndex(line);
    if (separator == std::string_view::npos) return parsed;  // a Copy without arguments
    parsed.ArgumentCount = 2;
    parsed.Arguments[0] = line.substr(kArgumentStart, separator - kArgumentStart);
    parsed.Arguments[1] = line.substr(separator + 1);
    return parsed;
  }

  parsed.ArgumentCount = 1;
  if (line.size() < kArgumentStart) {
    // Kept as an unrecognized command with one empty argument: one command
    // per line still holds.
    return parsed;
  }

  parsed.Arguments[0] = line.substr(kArgumentStart);
  return parsed;
}

FileCommand::FileCommand(std::string line) : Kind(CommandKind::Unrecognized) {
  const ParsedLine parsed = ParseLine(line);
  Kind = parsed.Kind;
  Arguments.reserve(parsed.ArgumentCount);
  for (std::size_t i = 0; i < parsed.ArgumentCount; ++i) {
    Arguments.emplace_back(parsed.Arguments[i].data(), parsed.Arguments[i].size());
  }
}
