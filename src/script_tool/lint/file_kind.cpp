#include "script_tool/lint/file_kind.h"

#include <cstddef>

namespace {

// Below this many characters a pattern of NULs proves nothing.
constexpr std::size_t kFewestWideCharacters = 2;
// Of the characters a UTF-16 guess looks at, this share in tenths must have
// the pattern: an accent or a line end may break it now and then.
constexpr std::size_t kWideShareInTenths = 9;
// The start of the file a guess looks at: enough to see the pattern.
constexpr std::size_t kWideSample = 4096;
// A file whose NUL bytes stand in more than half of its lines, and in at
// least this many, is no script: one or two such lines are DS008's.
constexpr std::size_t kFewestNulLines = 3;

// The first bytes of the files most often given by mistake. A program's MZ
// is two letters a text could start with: a NUL must follow in its header.
struct Header {
  std::string_view Bytes;
  std::string_view What;
  bool NulFollows;
};
constexpr std::size_t kProgramHeaderNulWindow = 64;
constexpr Header kHeaders[] = {
    {"MZ", "a Windows program (MZ)", true},
    {"\x7F" "ELF", "a Linux program (ELF)", false},
    {"PK\x03\x04", "a ZIP archive (PK)", false},
    {"PK\x05\x06", "a ZIP archive (PK)", false},
    {"%PDF-", "a PDF document", false},
    {"\x89PNG\r\n\x1A\n", "a PNG picture", false},
    {"GIF8", "a GIF picture", false},
    {"\xFF\xD8\xFF", "a JPEG picture", false},
};

}  // namespace

std::string_view GuessUnmarkedUtf16(std::string_view fileBytes) {
  const std::string_view sample = fileBytes.substr(0, kWideSample);
  const std::size_t characters = sample.size() / 2;
  if (characters < kFewestWideCharacters) return {};
  std::size_t littleEndian = 0;
  std::size_t bigEndian = 0;
  for (std::size_t i = 0; i + 1 < sample.size(); i += 2) {
    const bool firstNul = sample[i] == '\0';
    const bool secondNul = sample[i + 1] == '\0';
    littleEndian += !firstNul && secondNul;
    bigEndian += firstNul && !secondNul;
  }
  const auto nearlyAll = [&](std::size_t count) {
    return count * 10 >= characters * kWideShareInTenths;
  };
  if (nearlyAll(littleEndian)) return "UTF-16 LE";
  if (nearlyAll(bigEndian)) return "UTF-16 BE";
  return {};
}

std::string WhyNotText(std::string_view fileBytes, std::size_t lineCount,
                       std::size_t linesWithNul) {
  for (const Header& header : kHeaders) {
    if (fileBytes.substr(0, header.Bytes.size()) != header.Bytes) continue;
    const std::string_view rest = fileBytes.substr(header.Bytes.size(), kProgramHeaderNulWindow);
    if (header.NulFollows && rest.find('\0') == std::string_view::npos) continue;
    return "it starts as " + std::string(header.What);
  }
  if (linesWithNul >= kFewestNulLines && linesWithNul * 2 > lineCount) {
    return "NUL bytes in " + std::to_string(linesWithNul) + " of its " +
           std::to_string(lineCount) + " lines";
  }
  return {};
}
