// The rules on the names a script gives Windows: what a file name may hold,
// how long a path may be, and which paths the script names twice.
#include <algorithm>
#include <array>
#include <string>

#include "script_tool/byte_lanes.h"
#include "script_tool/lint_checks.h"
#include "script_tool/run_program.h"
#include "script_tool/target_index.h"
#include "script_tool/visible_text.h"

namespace {

// MAX_PATH: a path of this many UTF-16 units or more (one per script byte)
// fails in the file calls the updater makes.
constexpr std::size_t kMaxPathUnits = 260;
// Paths in this form are passed to the file system as they stand: no length
// limit, no dropped blanks or dots.
constexpr std::string_view kVerbatimPrefix = "\\\\?\\";

bool IsSeparator(char byte) { return byte == '\\' || byte == '/'; }

bool IsAsciiLetter(char byte) { return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z'); }

bool IsVerbatim(std::string_view path) {
  return path.size() >= kVerbatimPrefix.size() && path[2] == '?' &&
         path.substr(0, kVerbatimPrefix.size()) == kVerbatimPrefix;
}

bool IsAbsolute(std::string_view path) {
  const bool drive = path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && IsSeparator(path[2]);
  const bool share = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
  return drive || share;
}

void AddAt(FindingSink& sink, const CopyPath& path, std::size_t begin, std::size_t end,
           std::string_view detail = {}) {
  sink.Add(path.Line.Number, ColumnOf(path.Line, path.Index + begin),
           ColumnOf(path.Line, path.Index + end), detail);
}

void AddWhole(FindingSink& sink, const CopyPath& path, std::string_view detail = {}) {
  AddAt(sink, path, 0, path.Text.size(), detail);
}

// Calls visit(begin, end) for each name between separators, "." and ".."
// left out, until visit returns true.
template <typename Visitor>
void ForEachName(std::string_view path, Visitor&& visit) {
  std::size_t begin = IsVerbatim(path) ? kVerbatimPrefix.size() : 0;
  const auto nameEndsAt = [&](std::size_t end) {
    const std::size_t length = end - begin;
    const bool dots = length <= 2 && (length == 0 || path[begin] == '.') &&
                      (length < 2 || path[begin + 1] == '.');
    const bool stop = !dots && visit(begin, end);
    begin = end + 1;
    return stop;
  };
  bool stopped = false;
  ForEachBlock(path, begin, [&](const ByteBlock& block, std::size_t offset, std::uint32_t fresh) {
    for (std::uint32_t separators = LaneBits((block == '\\') | (block == '/')) & fresh;
         separators != 0 && !stopped; separators &= separators - 1) {
      stopped = nameEndsAt(offset + LowestLane(separators));
    }
    return stopped;
  });
  if (!stopped) nameEndsAt(path.size());
}

// Up to eight bytes in one integer, the first in the lowest byte.
constexpr std::uint64_t Packed(std::string_view bytes) {
  std::uint64_t packed = 0;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    packed |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
  }
  return packed;
}

bool IsDeviceDigit(char byte) {
  return (byte >= '1' && byte <= '9') || byte == '\xB9' || byte == '\xB2' || byte == '\xB3';
}

// CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9 (also with the Latin-1
// superscript digits), CONIN$ and CONOUT$: Windows opens the device whatever
// the extension, and whatever blanks follow the base name.
bool IsDeviceName(std::string_view name) {
  // Most names are passed at once: every device name has three letters and
  // then the end, a dot, a space, a digit or the I or O of CONIN$ and CONOUT$.
  if (name.size() < 3) return false;
  if (name.size() > 3) {
    const char fourth = name[3];
    const char letter = static_cast<char>(fourth | 0x20);
    if (fourth != '.' && fourth != ' ' && !IsDeviceDigit(fourth) && letter != 'i' && letter != 'o') {
      return false;
    }
  }
  std::size_t baseSize = 0;
  while (baseSize < name.size() && name[baseSize] != '.') ++baseSize;
  while (baseSize > 0 && name[baseSize - 1] == ' ') --baseSize;
  if (baseSize != 3 && baseSize != 4 && baseSize != 6 && baseSize != 7) return false;
  // The base in capitals, in one integer: compared without a stored copy.
  std::uint64_t base = 0;
  for (std::size_t i = 0; i < baseSize; ++i) {
    const char byte = name[i];
    const char upper = byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
    base |= std::uint64_t{static_cast<unsigned char>(upper)} << (8 * i);
  }
  switch (base) {
    case Packed("CON"):
    case Packed("PRN"):
    case Packed("AUX"):
    case Packed("NUL"):
    case Packed("CONIN$"):
    case Packed("CONOUT$"):
      return true;
    default:
      break;
  }
  const std::uint64_t threeLetters = base & 0xFFFFFF;
  return baseSize == 4 && (threeLetters == Packed("COM") || threeLetters == Packed("LPT")) &&
         IsDeviceDigit(name[3]);
}

// The bytes no Windows name may hold, besides the colon of a drive.
constexpr std::array<bool, 256> ForbiddenInNames() {
  std::array<bool, 256> forbidden{};
  for (int byte = 0; byte < 0x20; ++byte) forbidden[byte] = true;
  for (const char byte : std::string_view("<>\"|?*:")) forbidden[static_cast<unsigned char>(byte)] = true;
  return forbidden;
}
constexpr std::array<bool, 256> kForbiddenInNames = ForbiddenInNames();

// The first byte of a name that Windows refuses, or npos. NUL, CR and a TAB
// that ends a name have rules of their own.
std::size_t FindForbiddenByte(std::string_view path) {
  std::size_t start = IsVerbatim(path) ? kVerbatimPrefix.size() : 0;
  // A colon after the drive letter is the drive's.
  if (path.size() >= start + 2 && IsAsciiLetter(path[start]) && path[start + 1] == ':') start += 2;
  // Whether any byte is suspect at all, sixteen at a time: almost every
  // path holds none, and a test per byte was a tenth of linting a long script.
  std::uint32_t suspect = 0;
  ForEachBlock(path, start, [&](const ByteBlock& block, std::size_t, std::uint32_t fresh) {
    suspect = LaneBits((block < 0x20) | (block == '<') | (block == '>') | (block == '"') |
                       (block == '|') | (block == '?') | (block == '*') | (block == ':')) &
              fresh;
    return suspect != 0;
  });
  if (suspect == 0) return std::string_view::npos;
  for (std::size_t i = start; i < path.size(); ++i) {
    const auto byte = static_cast<unsigned char>(path[i]);
    if (!kForbiddenInNames[byte]) continue;
    const bool endsName = i + 1 == path.size() || IsSeparator(path[i + 1]);
    if (byte == '\0' || byte == '\r' || (byte == '\t' && endsName)) continue;
    return i;
  }
  return std::string_view::npos;
}

}  // namespace

void CheckForbiddenCharacters(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    const std::size_t at = FindForbiddenByte(path.Text);
    if (at != std::string_view::npos) AddAt(sink, path, at, at + 1, VisibleText(path.Text.substr(at, 1)));
  });
}

namespace {

bool EndsAName(char byte) { return byte == ' ' || byte == '.' || byte == '\t'; }

// Whether a blank, a dot or a TAB stands right before a separator or at the
// end, sixteen bytes at a time: only then can a name end in one, and most
// paths are passed without splitting them into names.
bool MayEndANameBadly(std::string_view path) {
  if (path.empty()) return false;
  if (EndsAName(path.back())) return true;
  std::uint32_t lastEnder = 0;  // lane 15 of the block before, as bit 0
  bool found = false;
  ForEachBlock(path, 0, [&](const ByteBlock& block, std::size_t, std::uint32_t fresh) {
    const std::uint32_t enders = LaneBits((block == ' ') | (block == '.') | (block == '\t'));
    const std::uint32_t separators = LaneBits((block == '\\') | (block == '/'));
    // In a block that overlaps the one before, the lane before its first
    // fresh lane is in the block itself.
    found = (((enders << 1) | lastEnder) & separators & fresh) != 0;
    lastEnder = enders >> 15;
    return found;
  });
  return found;
}

}  // namespace

void CheckNameEnds(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (IsVerbatim(path.Text) || !MayEndANameBadly(path.Text)) return;
    ForEachName(path.Text, [&](std::size_t begin, std::size_t end) {
      if (!EndsAName(path.Text[end - 1])) return false;
      AddAt(sink, path, end - 1, end, VisibleText(path.Text.substr(begin, end - begin)));
      return true;
    });
  });
}

namespace {

// Whether a name may start with the letters of a device name, sixteen bytes
// at a time: C, P, A, N or L, then O, R, U or P, then N, M, X, L or T, in
// either case. Only then is the path split into names. Where a block cannot
// tell (its first lane may start a name, its last two lanes' next letters
// are in the next block) it says yes.
bool MayNameADevice(std::string_view path) {
  bool found = false;
  ForEachBlock(path, 0, [&](const ByteBlock& block, std::size_t, std::uint32_t fresh) {
    // Capitals as small letters; no other byte becomes a letter.
    const ByteBlock lower = block | 0x20;
    const std::uint32_t first =
        LaneBits((lower == 'c') | (lower == 'p') | (lower == 'a') | (lower == 'n') | (lower == 'l'));
    const std::uint32_t second =
        LaneBits((lower == 'o') | (lower == 'r') | (lower == 'u') | (lower == 'p')) | (1u << 16);
    const std::uint32_t third = LaneBits((lower == 'n') | (lower == 'm') | (lower == 'x') |
                                         (lower == 'l') | (lower == 't')) |
                                (3u << 16);
    const std::uint32_t starts = (LaneBits((block == '\\') | (block == '/')) << 1) | 1u;
    found = (starts & first & (second >> 1) & (third >> 2) & fresh) != 0;
    return found;
  });
  return found;
}

}  // namespace

void CheckDeviceNames(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (IsVerbatim(path.Text) || !MayNameADevice(path.Text)) return;
    ForEachName(path.Text, [&](std::size_t begin, std::size_t end) {
      const std::string_view name = path.Text.substr(begin, end - begin);
      if (!IsDeviceName(name)) return false;
      AddAt(sink, path, begin, end, VisibleText(name));
      return true;
    });
  });
}

void CheckPathLength(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (path.Text.size() >= kMaxPathUnits && !IsVerbatim(path.Text)) {
      AddWhole(sink, path, std::to_string(path.Text.size()));
    }
  });
}

void CheckTargetIsFolder(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (path.IsTarget && IsSeparator(path.Text.back())) {
      AddAt(sink, path, path.Text.size() - 1, path.Text.size());
    }
  });
}

void CheckSourceIsTarget(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    const std::string_view source = path.Line.Command.Arguments[0];
    if (path.IsTarget && SameFileName(source, path.Text)) {
      AddWhole(sink, path);
    }
  });
}

void CheckRelativePaths(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (!IsAbsolute(path.Text)) AddWhole(sink, path, VisibleText(path.Text));
  });
  const ReadLine& line = lintLine.Line;
  if (lintLine.Keyword != KeywordFault::None || line.Command.Kind != CommandKind::Run) return;
  const RunProgram program = FindRunProgram(line.Command.Arguments[0]);
  if (program.Path.empty() || IsAbsolute(program.Path)) return;
  const std::size_t start = kArgumentStart + program.Index;
  sink.Add(line.Number, ColumnOf(line, start), ColumnOf(line, start + program.Path.size()),
           VisibleText(program.Path));
}

void CheckSameTargetTwice(const LintScript& script, FindingSink& sink) {
  TargetIndex(script).ForEachRepeat([&](const CopyPath& path, std::size_t firstLine) {
    AddWhole(sink, path, std::to_string(firstLine));
  });
}
