// Longer than most files: Windows' name rules (devices, reserved characters,
// the trailing dots and blanks, the case fold) are one concept, and each
// needs its own table of ranges.
#include "names/windows_names.h"

#include <algorithm>
#include <array>

#include "names/text_conversions.h"

namespace {

constexpr char kSmallYWithDiaeresis = '\xFF';
constexpr char kMicroSign = '\xB5';
constexpr wchar_t kCapitalYWithDiaeresis = 0x178;
constexpr wchar_t kGreekCapitalMu = 0x39C;

// "C:" at the start of the names (after a verbatim prefix): its colon is the
// drive's, not a forbidden one.
std::size_t NamesStart(std::string_view path) {
  std::size_t start = IsVerbatimPath(path) ? kVerbatimPrefix.size() : 0;
  if (path.size() >= start + 2 && IsAsciiLetter(path[start]) && path[start + 1] == ':') start += 2;
  return start;
}

PathProblem Problem(PathProblemKind kind, std::size_t begin, std::size_t end, std::string detail) {
  return PathProblem{kind, begin, end, std::move(detail)};
}

bool IsSuperscriptDigit(char byte) { return byte == '\xB9' || byte == '\xB2' || byte == '\xB3'; }

// A table, not a search per byte: lint asks of every byte of every path.
constexpr std::array<bool, 256> ForbiddenInNames() {
  std::array<bool, 256> forbidden{};
  for (int byte = 0; byte < 0x20; ++byte) forbidden[byte] = true;
  for (const char byte : std::string_view("<>:\"|?*"))
    forbidden[static_cast<unsigned char>(byte)] = true;
  return forbidden;
}
constexpr std::array<bool, 256> kForbiddenInNames = ForbiddenInNames();

// Every device name starts with CO, PR, AU, NU or LP: most names are passed
// on their first two letters, without a call (lint asks of every name).
inline bool MayBeDeviceName(std::string_view name) {
  if (name.size() < 3) return false;
  switch (AsciiUpper(name[0])) {
    case 'C':
      return AsciiUpper(name[1]) == 'O';
    case 'P':
      return AsciiUpper(name[1]) == 'R';
    case 'A':
    case 'N':
      return AsciiUpper(name[1]) == 'U';
    case 'L':
      return AsciiUpper(name[1]) == 'P';
    default:
      return false;
  }
}

std::string DescribeNameEnd(char byte) {
  return byte == '.' ? "a dot" : byte == ' ' ? "a blank" : "a TAB";
}

}  // namespace

bool IsVerbatimPath(std::string_view path) {
  return path.substr(0, kVerbatimPrefix.size()) == kVerbatimPrefix;
}

bool IsFullPath(std::string_view path) {
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == ':' && IsPathSeparator(path[2])) {
    return true;
  }
  // "\\server\share": a server name, a separator, and a share name.
  if (path.size() < 2 || !IsPathSeparator(path[0]) || !IsPathSeparator(path[1])) return false;
  std::size_t i = 2;
  const std::size_t serverStart = i;
  while (i < path.size() && !IsPathSeparator(path[i])) ++i;
  if (i == serverStart || i == path.size()) return false;
  const std::size_t shareStart = ++i;
  while (i < path.size() && !IsPathSeparator(path[i])) ++i;
  return i > shareStart;
}

bool IsForbiddenInNames(char byte) { return kForbiddenInNames[static_cast<unsigned char>(byte)]; }

bool IsC1Control(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x80 && value <= 0x9F;
}

bool IsDotName(std::string_view name) { return name == "." || name == ".."; }

bool EndsNameBadly(std::string_view name) {
  if (name.empty() || IsDotName(name)) return false;
  const char last = name.back();
  return last == ' ' || last == '.' || last == '\t';
}

bool IsDeviceName(std::string_view name) {
  if (!MayBeDeviceName(name)) return false;
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  static constexpr std::array<std::string_view, 6> kDevices = {"CON", "PRN",    "AUX",
                                                               "NUL", "CONIN$", "CONOUT$"};
  constexpr std::size_t kLongestDevice = 7;
  if (base.size() < 3 || base.size() > kLongestDevice) return false;
  char upper[kLongestDevice];
  for (std::size_t i = 0; i < base.size(); ++i) upper[i] = AsciiUpper(base[i]);
  const std::string_view capitals(upper, base.size());
  if (std::find(kDevices.begin(), kDevices.end(), capitals) != kDevices.end()) return true;
  const std::string_view letters = capitals.substr(0, 3);
  return capitals.size() == 4 && (letters == "COM" || letters == "LPT") &&
         ((capitals[3] >= '1' && capitals[3] <= '9') || IsSuperscriptDigit(capitals[3]));
}

std::string FoldName(std::string_view latin1) {
  std::string folded(latin1);
  for (char& byte : folded) byte = FoldNameByte(byte);
  return folded;
}

wchar_t FoldNameUnit(wchar_t unit) {
  if (static_cast<unsigned long>(unit) > 0xFF) return unit;
  const char byte = static_cast<char>(unit);
  if (byte == kSmallYWithDiaeresis) return kCapitalYWithDiaeresis;
  if (byte == kMicroSign) return kGreekCapitalMu;
  return static_cast<wchar_t>(static_cast<unsigned char>(FoldNameByte(byte)));
}

std::wstring FoldWideName(std::wstring_view name) {
  std::wstring folded(name);
  for (wchar_t& unit : folded) unit = FoldNameUnit(unit);
  return folded;
}

bool SamePathForWindows(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const bool bothSeparators = IsPathSeparator(a[i]) && IsPathSeparator(b[i]);
    if (!bothSeparators && FoldNameByte(a[i]) != FoldNameByte(b[i])) return false;
  }
  return true;
}

namespace {

// Shows as itself between quotation marks in a message.
bool ShowsInQuotes(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x20 && value != 0x7F && byte != '"' && !IsC1Control(byte) && value != 0xA0 &&
         value != 0xAD;
}

}  // namespace

std::string ByteInWords(char byte) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const auto value = static_cast<unsigned char>(byte);
  switch (byte) {
    case '\t':
      return "a TAB";
    case '\r':
      return "a CR";
    case '\n':
      return "an LF";
    case '\0':
      return "a NUL";
    case ' ':
      return "a space";
    case '"':
      return "a quotation mark";
    case '\'':
      return "an apostrophe";
    default:
      break;
  }
  if (value == 0xA0) return "a no-break space";
  if (value == 0xAD) return "a soft hyphen";
  if (!ShowsInQuotes(byte)) {
    return std::string("the control character 0x") + kDigits[value >> 4] + kDigits[value & 0x0F];
  }
  return "'" + Latin1ToUtf8(std::string_view(&byte, 1)) + "'";
}

std::string QuotedText(std::string_view latin1) {
  std::string out;
  for (std::size_t i = 0; i < latin1.size();) {
    if (!out.empty()) out += ", ";
    std::size_t end = i;
    while (end < latin1.size() && ShowsInQuotes(latin1[end])) ++end;
    if (end > i) {
      out += '"';
      AppendLatin1AsUtf8(out, latin1.substr(i, end - i));
      out += '"';
      i = end;
    } else {
      out += ByteInWords(latin1[i++]);
    }
  }
  return out.empty() ? "\"\"" : out;
}

PathProblem FindForbiddenCharacter(std::string_view path, std::size_t from) {
  for (std::size_t i = std::max(from, NamesStart(path)); i < path.size(); ++i) {
    if (!IsForbiddenInNames(path[i])) continue;
    const PathProblemKind kind = static_cast<unsigned char>(path[i]) < 0x20
                                     ? PathProblemKind::ControlCharacter
                                     : PathProblemKind::ForbiddenCharacter;
    return Problem(kind, i, i + 1, ByteInWords(path[i]) + " cannot stand in a Windows name");
  }
  return {};
}

PathProblem FindC1Character(std::string_view path) {
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (IsC1Control(path[i])) {
      return Problem(PathProblemKind::C1Character, i, i + 1,
                     ByteInWords(path[i]) +
                         " (a C1 control) cannot stand in a script, where it marks text "
                         "saved as Windows-1252 or UTF-8");
    }
  }
  return {};
}

namespace {

PathProblem NameEndProblem(std::string_view path, std::size_t begin, std::size_t end) {
  const std::string_view name = path.substr(begin, end - begin);
  return Problem(PathProblemKind::NameEnd, end - 1, end,
                 "the name " + QuotedText(name.substr(0, name.size() - 1)) + " ends in " +
                     DescribeNameEnd(name.back()));
}

PathProblem DeviceNameProblem(std::string_view path, std::size_t begin, std::size_t end) {
  return Problem(
      PathProblemKind::DeviceName, begin, end,
      "the name " + QuotedText(path.substr(begin, end - begin)) + " is a Windows device name");
}

}  // namespace

// Both in plain loops, their rare work out of line: lint reads every name of
// every path of a long script here.
PathProblem FindNameEnd(std::string_view path) {
  if (IsVerbatimPath(path)) return {};
  // A name ends right before a separator or at the end of the path.
  for (std::size_t end = 1; end <= path.size(); ++end) {
    if (end < path.size() && !IsPathSeparator(path[end])) continue;
    const char last = path[end - 1];
    if (last != ' ' && last != '.' && last != '\t') continue;
    std::size_t begin = end - 1;
    while (begin > 0 && !IsPathSeparator(path[begin - 1])) --begin;
    if (EndsNameBadly(path.substr(begin, end - begin))) return NameEndProblem(path, begin, end);
  }
  return {};
}

PathProblem FindDeviceName(std::string_view path) {
  if (IsVerbatimPath(path)) return {};
  for (std::size_t begin = 0;;) {
    std::size_t end = begin;
    while (end < path.size() && !IsPathSeparator(path[end])) ++end;
    const std::string_view name = path.substr(begin, end - begin);
    if (MayBeDeviceName(name) && IsDeviceName(name)) return DeviceNameProblem(path, begin, end);
    if (end == path.size()) return {};
    begin = end + 1;
  }
}

PathProblem FindLengthProblem(std::string_view path) {
  if (path.size() < kMaxPathUnits || IsVerbatimPath(path)) return {};
  return Problem(PathProblemKind::TooLong, 0, path.size(),
                 "the path is " + std::to_string(path.size()) + " characters long; Windows takes " +
                     std::to_string(kMaxPathUnits - 1) + " at most");
}

PathProblem FindFolderName(std::string_view path) {
  if (path.empty()) return {};
  if (IsPathSeparator(path.back())) {
    return Problem(PathProblemKind::NamesFolder, path.size() - 1, path.size(),
                   std::string("the path ends in ") +
                       (path.back() == '\\' ? "a backslash" : "a slash") +
                       " and so names a folder");
  }
  std::size_t begin = path.size();
  while (begin > 0 && !IsPathSeparator(path[begin - 1])) --begin;
  const std::string_view last = path.substr(begin);
  if (begin == 0 || !IsDotName(last)) return {};
  return Problem(PathProblemKind::NamesFolder, begin, path.size(),
                 "the path ends in the name \"" + std::string(last) + "\" and so names a folder");
}

PathProblem FindDotNameInside(std::string_view path) {
  for (std::size_t begin = 0;;) {
    std::size_t end = begin;
    while (end < path.size() && !IsPathSeparator(path[end])) ++end;
    if (end == path.size()) return {};  // the last name is FindFolderName's
    const std::string_view name = path.substr(begin, end - begin);
    if (IsDotName(name)) {
      return Problem(PathProblemKind::DotName, begin, end,
                     "the name \"" + std::string(name) + "\" inside the path " +
                         (name == "." ? "stands for the folder before it" : "goes one folder up"));
    }
    begin = end + 1;
  }
}

PathProblem FindNewFolderLengthProblem(std::string_view folder) {
  if (folder.size() < kMaxNewFolderUnits || IsVerbatimPath(folder)) return {};
  return Problem(PathProblemKind::TooLong, 0, folder.size(),
                 "the folder's path is " + std::to_string(folder.size()) +
                     " characters long; Windows creates no folder of " +
                     std::to_string(kMaxNewFolderUnits) + " or more");
}

PathProblem FirstCopyPathProblem(std::string_view path, CopyRole role) {
  if (path.empty()) return Problem(PathProblemKind::Empty, 0, 0, "the path is empty");
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (static_cast<unsigned char>(path[i]) < 0x20) return FindForbiddenCharacter(path, i);
    if (IsC1Control(path[i])) return FindC1Character(path);
  }
  if (!IsFullPath(path)) {
    return Problem(PathProblemKind::NotFullPath, 0, path.size(),
                   QuotedText(path) + " is not a full path (C:\\... or \\\\server\\share\\...)");
  }
  if (PathProblem forbidden = FindForbiddenCharacter(path)) return forbidden;
  PathProblem nameEnd = FindNameEnd(path);
  PathProblem device = FindDeviceName(path);
  if (nameEnd && (!device || nameEnd.Begin < device.End)) return nameEnd;
  if (device) return device;
  if (role == CopyRole::Target) {
    if (PathProblem folder = FindFolderName(path)) return folder;
    if (PathProblem dotName = FindDotNameInside(path)) return dotName;
  }
  return FindLengthProblem(path);
}

std::string FolderCompareKey(std::string_view folder) {
  std::string key;
  key.reserve(folder.size());
  for (const char byte : folder) {
    if (!IsPathSeparator(byte)) {
      key += FoldNameByte(byte);
    } else if (key.empty() || key.back() != '\\') {
      key += '\\';
    }
  }
  return key;
}
