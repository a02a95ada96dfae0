// The rules on the names a script gives Windows: what a file name may hold,
// how long a path may be, and which paths the script names twice.
#include <algorithm>
#include <array>
#include <string>

#include "script_tool/lint_checks.h"
#include "script_tool/run_program.h"
#include "script_tool/target_index.h"
#include "script_tool/visible_text.h"

namespace {

constexpr std::size_t kArgumentStart = 4;
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
// left out.
template <typename Visitor>
void ForEachName(std::string_view path, Visitor&& visit) {
  // Separators are found with find (memchr), not byte by byte: these loops
  // were a third of linting a long script. Most paths hold no "/" at all.
  const bool hasSlash = path.find('/') != std::string_view::npos;
  std::size_t begin = IsVerbatim(path) ? kVerbatimPrefix.size() : 0;
  while (begin <= path.size()) {
    std::size_t end = path.find('\\', begin);
    if (hasSlash) end = std::min(end, path.find('/', begin));
    if (end == std::string_view::npos) end = path.size();
    const std::string_view name = path.substr(begin, end - begin);
    const bool dots = name.find_first_not_of('.') == std::string_view::npos && name.size() <= 2;
    if (!name.empty() && !dots && visit(begin, end)) return;
    begin = end + 1;
  }
}

// CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9 (also with the Latin-1
// superscript digits), CONIN$ and CONOUT$: Windows opens the device whatever
// the extension, and whatever blanks follow the base name.
bool IsDeviceName(std::string_view name) {
  std::string_view base = name.substr(0, name.find('.'));
  while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
  // Most names are of none of these lengths: they are passed at once.
  if (base.size() != 3 && base.size() != 4 && base.size() != 6 && base.size() != 7) return false;
  char upper[7];
  for (std::size_t i = 0; i < base.size(); ++i) {
    const char byte = base[i];
    upper[i] = byte >= 'a' && byte <= 'z' ? static_cast<char>(byte - 'a' + 'A') : byte;
  }
  const std::string_view folded(upper, base.size());
  if (folded == "CON" || folded == "PRN" || folded == "AUX" || folded == "NUL" ||
      folded == "CONIN$" || folded == "CONOUT$") {
    return true;
  }
  if (folded.size() != 4 || (folded.substr(0, 3) != "COM" && folded.substr(0, 3) != "LPT")) {
    return false;
  }
  const char digit = folded[3];
  return (digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3';
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

void CheckNameEnds(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (IsVerbatim(path.Text)) return;
    ForEachName(path.Text, [&](std::size_t begin, std::size_t end) {
      const char last = path.Text[end - 1];
      if (last != ' ' && last != '.' && last != '\t') return false;
      AddAt(sink, path, end - 1, end, VisibleText(path.Text.substr(begin, end - begin)));
      return true;
    });
  });
}

void CheckDeviceNames(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (IsVerbatim(path.Text)) return;
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
    const std::string& source = path.Line.Command.Arguments[0];
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
