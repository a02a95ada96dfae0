// The rules on keywords, on the shape of COP and RUN lines, and on their
// order in the script.
#include <algorithm>
#include <string>
#include <vector>

#include "script_tool/lint_checks.h"
#include "script_tool/run_program.h"
#include "script_tool/target_index.h"
#include "script_tool/visible_text.h"

namespace {


bool IsSound(const LintLine& lintLine, CommandKind kind) {
  return lintLine.Keyword == KeywordFault::None && lintLine.Line.Command.Kind == kind;
}

bool HasTwoArguments(const ReadLine& line) { return line.Command.ArgumentCount == 2; }

// The first word of a line, as far as it can be taken for a keyword.
std::string_view LeadingWord(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
  return text.substr(0, end);
}

}  // namespace

void CheckKeywordCase(const LintLine& lintLine, FindingSink& sink) {
  if (lintLine.Keyword != KeywordFault::WrongCase) return;
  const ReadLine& line = lintLine.Line;
  sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, kKeywordLength),
           VisibleText(line.Text.substr(0, kKeywordLength)));
}

void CheckKeywordSpelling(const LintLine& lintLine, FindingSink& sink) {
  if (lintLine.Keyword != KeywordFault::Misspelt) return;
  const ReadLine& line = lintLine.Line;
  const std::string_view word = LeadingWord(line.Text);
  sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, word.size()), VisibleText(word));
}

void CheckCopyWithoutSeparator(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (IsSound(lintLine, CommandKind::Copy) && line.Command.ArgumentCount == 0) {
    sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, line.Text.size()));
  }
}

void CheckEmptySource(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (IsSound(lintLine, CommandKind::Copy) && HasTwoArguments(line) &&
      line.Command.Arguments[0].empty()) {
    sink.Add(line.Number, ColumnOf(line, kArgumentStart), ColumnOf(line, kArgumentStart + 1));
  }
}

void CheckEmptyTarget(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (IsSound(lintLine, CommandKind::Copy) && HasTwoArguments(line) &&
      line.Command.Arguments[1].empty()) {
    const std::size_t separator = kArgumentStart + line.Command.Arguments[0].size();
    sink.Add(line.Number, ColumnOf(line, separator), ColumnOf(line, separator + 1));
  }
}

void CheckSpaceSeparator(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (!IsSound(lintLine, CommandKind::Copy) || !HasTwoArguments(line)) return;
  const std::string_view source = line.Command.Arguments[0];
  const std::size_t separator = kArgumentStart + source.size();
  if (line.Text[separator] == ' ' &&
      line.Command.Arguments[1].find(' ') != std::string_view::npos) {
    sink.Add(line.Number, ColumnOf(line, separator), ColumnOf(line, separator + 1),
             VisibleText(source));
  }
}

void CheckRunTooLong(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (!IsSound(lintLine, CommandKind::Run)) return;
  const std::size_t units = line.Command.Arguments[0].size();
  if (units >= kCommandLineBufferUnits) {
    sink.Add(line.Number, ColumnOf(line, kArgumentStart),
             ColumnOf(line, kArgumentStart + units), std::to_string(units));
  }
}

void CheckUnquotedProgramWithSpace(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (!IsSound(lintLine, CommandKind::Run)) return;
  const RunProgram program = FindRunProgram(line.Command.Arguments[0]);
  if (program.UnquotedWithSpace) {
    const std::size_t start = kArgumentStart + program.Index;
    sink.Add(line.Number, ColumnOf(line, start), ColumnOf(line, start + program.Path.size()),
             VisibleText(program.Path));
  }
}

namespace {

struct StartedProgram {
  const ReadLine* Line;
  RunProgram Program;
  // The system adds ".exe" to a program named without an extension.
  bool AddsExe;
  std::size_t ReplacedOn;
};

bool NamesProgram(std::string_view target, const StartedProgram& run) {
  const std::string_view name = run.Program.Path;
  const bool withExe = run.AddsExe && target.size() == name.size() + 4 &&
                       SameFileName(target.substr(name.size()), ".exe");
  return SameFileName(withExe ? target.substr(0, name.size()) : target, name);
}

// Past this many programs, the targets are looked up in an index rather
// than each compared with every program before it.
constexpr std::size_t kFewPrograms = 16;

}  // namespace

void CheckRunOfReplacedProgram(const LintScript& script, FindingSink& sink) {
  std::vector<StartedProgram> started;
  for (const LintLine& lintLine : script.Lines) {
    const ReadLine& line = lintLine.Line;
    if (!IsSound(lintLine, CommandKind::Run)) continue;
    const RunProgram program = FindRunProgram(line.Command.Arguments[0]);
    if (program.Path.empty()) continue;
    const std::size_t lastName = program.Path.find_last_of("\\/");
    const bool hasExtension =
        program.Path.find('.', lastName == std::string_view::npos ? 0 : lastName) !=
        std::string_view::npos;
    started.push_back({&line, program, !hasExtension, 0});
  }
  if (started.empty()) return;
  if (started.size() <= kFewPrograms) {
    // A script starts few programs and copies many files: each target is
    // compared with the programs started before it.
    ForEachCopyPath(script, [&](const CopyPath& path) {
      if (!path.IsTarget) return;
      for (StartedProgram& run : started) {
        if (run.Line->Number < path.Line.Number && NamesProgram(path.Text, run)) {
          run.ReplacedOn = path.Line.Number;
        }
      }
    });
  } else {
    const TargetIndex targets(script);
    for (StartedProgram& run : started) {
      std::size_t last = targets.LastLineCopyingOver(run.Program.Path);
      if (run.AddsExe) {
        last = std::max(last, targets.LastLineCopyingOver(std::string(run.Program.Path) + ".exe"));
      }
      if (last > run.Line->Number) run.ReplacedOn = last;
    }
  }
  for (const StartedProgram& run : started) {
    if (run.ReplacedOn == 0) continue;
    const std::size_t start = kArgumentStart + run.Program.Index;
    sink.Add(run.Line->Number, ColumnOf(*run.Line, start),
             ColumnOf(*run.Line, start + run.Program.Path.size()), std::to_string(run.ReplacedOn));
  }
}

void CheckRunBeforeLastCopy(const LintScript& script, FindingSink& sink) {
  std::size_t lastCopy = 0;
  for (const LintLine& lintLine : script.Lines) {
    if (lintLine.Line.Command.Kind == CommandKind::Copy) lastCopy = lintLine.Line.Number;
  }
  for (const LintLine& lintLine : script.Lines) {
    const ReadLine& line = lintLine.Line;
    if (line.Number >= lastCopy) break;
    if (IsSound(lintLine, CommandKind::Run)) {
      sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, kKeywordLength),
               std::to_string(lastCopy));
    }
  }
}

void CheckNeitherCopyNorRun(const LintLine& lintLine, FindingSink& sink) {
  if (!IsSound(lintLine, CommandKind::Unrecognized)) return;
  const ReadLine& line = lintLine.Line;
  sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, line.Text.size()),
           line.Text.empty() ? "an empty line" : "\"" + VisibleText(LeadingWord(line.Text)) + "\"");
}
