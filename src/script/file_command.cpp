#include "script/file_command.h"

#include <string_view>
#include <utility>

namespace {

constexpr std::size_t kKeywordLength = 3;
// The byte after the keyword is skipped whatever it is (a space, a TAB, a
// letter): argument text always starts at index 4.
constexpr std::size_t kArgumentStart = 4;

constexpr std::string_view kCopyKeyword = "COP";
constexpr std::string_view kRunKeyword = "RUN";

// A TAB anywhere in the argument text wins over an earlier SPACE, so that a
// source path with spaces in it can be written with a TAB as separator.
std::size_t FindSeparator(const std::string& line) {
  const std::size_t tab = line.find('\t', kArgumentStart);
  if (tab != std::string::npos) return tab;
  return line.find(' ', kArgumentStart);
}

}  // namespace

FileCommand::FileCommand(std::string line) : Kind(CommandKind::Unrecognized) {
  const std::string_view keyword =
      std::string_view(line).substr(0, kKeywordLength);

  if (keyword == kCopyKeyword) {
    Kind = CommandKind::Copy;
    const std::size_t separator = FindSeparator(line);
    if (separator == std::string::npos) return;  // a Copy without arguments
    Arguments.reserve(2);
    Arguments.push_back(
        line.substr(kArgumentStart, separator - kArgumentStart));
    Arguments.push_back(line.substr(separator + 1));
    return;
  }

  if (line.size() < kArgumentStart) {
    // Nothing at index 4 to take an argument from: not even a "RUN" of three
    // bytes has a command line, so the line is kept as an unrecognized
    // command with one empty argument (one command per line still holds).
    Arguments.emplace_back();
    return;
  }

  if (keyword == kRunKeyword) Kind = CommandKind::Run;
  line.erase(0, kArgumentStart);
  Arguments.push_back(std::move(line));
}
