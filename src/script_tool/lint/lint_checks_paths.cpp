// The rules on the names a script gives Windows: what a file name may hold,
// how long a path may be, and which paths the script names twice. The rules
// themselves are names/windows_names.h, which the writer and make follow too.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "names/temporary_path.h"
#include "names/windows_names.h"
#include "script_tool/lint/lint_checks.h"
#include "script_tool/script_reader/run_program.h"
#include "script_tool/lint/target_index.h"

namespace {

void AddAt(FindingSink& sink, const CopyPath& path, std::size_t begin, std::size_t end,
           std::string_view detail = {}) {
  sink.Add(path.Line.Number, ColumnOf(path.Line, path.Index + begin),
           ColumnOf(path.Line, path.Index + end), detail);
}

void AddWhole(FindingSink& sink, const CopyPath& path, std::string_view detail = {}) {
  AddAt(sink, path, 0, path.Text.size(), detail);
}

void AddProblem(FindingSink& sink, const CopyPath& path, const PathProblem& problem) {
  if (problem) AddAt(sink, path, problem.Begin, problem.End, problem.Detail);
}

// The path's last name, after its last separator.
std::string_view OwnName(std::string_view path) {
  std::size_t start = path.size();
  while (start > 0 && !IsPathSeparator(path[start - 1])) --start;
  return path.substr(start);
}

// A NUL, a CR and a TAB that ends a name have rules of their own.
bool HasRuleOfItsOwn(std::string_view path, std::size_t at) {
  const char byte = path[at];
  const bool endsName = at + 1 == path.size() || IsPathSeparator(path[at + 1]);
  return byte == '\0' || byte == '\r' || (byte == '\t' && endsName);
}

}  // namespace

void CheckForbiddenCharacters(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    PathProblem found = FindForbiddenCharacter(path.Text);
    while (found && HasRuleOfItsOwn(path.Text, found.Begin)) {
      found = FindForbiddenCharacter(path.Text, found.End);
    }
    AddProblem(sink, path, found);
  });
}

void CheckNameEnds(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    AddProblem(sink, path, FindNameEnd(path.Text));
  });
}

void CheckDeviceNames(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    AddProblem(sink, path, FindDeviceName(path.Text));
  });
}

void CheckPathLength(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    AddProblem(sink, path, FindLengthProblem(path.Text));
  });
}

void CheckTargetIsFolder(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (path.IsTarget) AddProblem(sink, path, FindFolderName(path.Text));
  });
}

void CheckDotNamesInTargets(const LintLine& lintLine, FindingSink& sink) {
  ForEachCopyPath(lintLine, [&](const CopyPath& path) {
    if (path.IsTarget) AddProblem(sink, path, FindDotNameInside(path.Text));
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
    if (!IsFullPath(path.Text)) AddWhole(sink, path, QuotedText(path.Text));
  });
  const ReadLine& line = lintLine.Line;
  if (!IsSoundKeyword(lintLine.Keyword) || line.Command.Kind != CommandKind::Run) return;
  const RunProgram program = FindRunProgram(line.Command.Arguments[0]);
  if (program.Path.empty() || IsFullPath(program.Path)) return;
  const std::size_t start = kArgumentStart + program.Index;
  sink.Add(line.Number, ColumnOf(line, start), ColumnOf(line, start + program.Path.size()),
           QuotedText(program.Path));
}

void CheckSameTargetTwice(const LintScript& script, FindingSink& sink) {
  TargetIndex(script).ForEachRepeat([&](const CopyPath& path, std::size_t firstLine) {
    AddWhole(sink, path, std::to_string(firstLine));
  });
}

// The updater writes each copy to TemporaryPathFor(target) first and renames
// that over the target, whatever file stood there. Reported on the target
// that the temporary file takes the place of, once, naming the first copy
// that does.
void CheckTemporaryFileTargets(const LintScript& script, FindingSink& sink) {
  // Nearly every script has no target that ends in the suffix, and then no
  // temporary name is worked out at all.
  std::vector<CopyPath> suffixed;
  ForEachCopyPath(script, [&](const CopyPath& path) {
    if (path.IsTarget && EndsInTemporarySuffix(path.Text)) suffixed.push_back(path);
  });
  if (suffixed.empty()) return;
  std::unordered_multimap<std::string, std::size_t> byOwnName;  // folded
  for (std::size_t i = 0; i < suffixed.size(); ++i) {
    byOwnName.emplace(FoldName(OwnName(suffixed[i].Text)), i);
  }
  std::vector<bool> told(suffixed.size(), false);
  ForEachCopyPath(script, [&](const CopyPath& path) {
    if (!path.IsTarget) return;
    const std::optional<std::string> temporary = TemporaryScriptPathFor(path.Text);
    if (!temporary) return;
    const auto [first, last] = byOwnName.equal_range(FoldName(OwnName(*temporary)));
    for (auto named = first; named != last; ++named) {
      const CopyPath& taken = suffixed[named->second];
      if (told[named->second] || !SamePathForWindows(taken.Text, *temporary)) continue;
      told[named->second] = true;
      AddWhole(sink, taken, QuotedText(path.Text) + " on line " + std::to_string(path.Line.Number));
    }
  });
}
