// The rules on the names a script gives Windows: what a file name may hold,
// how long a path may be, and which paths the script names twice. The rules
// themselves are names/windows_names.h, which the writer and make follow too.
#include <string>

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
