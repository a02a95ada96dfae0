// The rules on keywords, on the shape of COP and RUN lines, and on their
// order in the script.
#include <algorithm>
#include <string>
#include <vector>

#include "checks/reported_name.h"
#include "script_tool/findings/updater_words.h"
#include "script_tool/lint/lint_checks.h"
#include "names/windows_names.h"
#include "script_tool/script_reader/run_program.h"
#include "script_tool/lint/target_index.h"

namespace {

bool IsSound(const LintLine& lintLine, CommandKind kind) {
  return IsSoundKeyword(lintLine.Keyword) && lintLine.Line.Command.Kind == kind;
}

bool HasTwoArguments(const ReadLine& line) { return line.Command.ArgumentCount == 2; }

// The first word of a line, as far as it can be taken for a keyword.
std::string_view LeadingWord(std::string_view text) {
  std::size_t end = 0;
  while (end < text.size() && text[end] != ' ' && text[end] != '\t') ++end;
  return text.substr(0, end);
}

// The names the updater's checks give a COP line that lacks a path.
std::string StopsWithoutTarget() {
  return StopsAtChecks(kTargetBusy, QuotedText(kCopyWithoutTarget));
}
std::string StopsAtEmptySource() {
  return StopsAtChecks(kCantAccessSourceFiles, QuotedText(kCopyWithEmptySource));
}
std::string StopsAtEmptyTarget() {
  return StopsAtChecks(kWriteAccessToFileMissing, QuotedText(kCopyWithEmptyTarget));
}

// What the updater makes of a COP or RUN line whose byte in the
// separator's place is a stray one: it skips that byte and carries out the
// rest, which is said here as it will happen.
std::string StrayByteEffect(const ReadLine& line) {
  const ParsedLine& command = line.Command;
  std::string effect = "the updater takes " + QuotedText(line.Text.substr(0, kKeywordLength)) +
                       " for the keyword and skips " +
                       ByteInWords(line.Text[kSkippedByteIndex]) +
                       " after it";
  if (command.Kind == CommandKind::Copy) {
    if (command.ArgumentCount != 2) {
      return effect + ", then finds no TAB or space: " + StopsWithoutTarget();
    }
    if (command.Arguments[0].empty()) {
      return effect + ", so the source is empty (the target is " +
             QuotedText(command.Arguments[1]) + "): " + StopsAtEmptySource();
    }
    if (command.Arguments[1].empty()) {
      return effect + ", so the target is empty (the source is " +
             QuotedText(command.Arguments[0]) + "): " + StopsAtEmptyTarget();
    }
    return effect + ", and copies " + QuotedText(command.Arguments[0]) + " to " +
           QuotedText(command.Arguments[1]);
  }
  const std::string_view commandLine = command.Arguments[0];
  const RunRefusal refusal = WhyNothingStarts(commandLine);
  if (refusal != RunRefusal::None) {
    return effect + ", and starts nothing: " + RefusalReason(refusal, commandLine);
  }
  if (line.Text[kSkippedByteIndex] == '"') {
    // The closing mark is left in every longer name Windows tries.
    return effect + ", and hands Windows the command line " + QuotedText(commandLine) +
           " without its opening quotation mark: it starts nothing unless a program is named " +
           QuotedText(ProgramCandidates(commandLine).front());
  }
  return effect + ", and starts the command line " + QuotedText(commandLine);
}

}  // namespace

std::string StopsAtChecks(std::wstring_view question, std::string_view name) {
  return "the updater stops at its checks with " + QuotedWords(question) + ", naming " +
         std::string(name);
}

void CheckKeywordCase(const LintLine& lintLine, FindingSink& sink) {
  if (lintLine.Keyword != KeywordFault::WrongCase) return;
  const ReadLine& line = lintLine.Line;
  sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, kKeywordLength),
           QuotedText(line.Text.substr(0, kKeywordLength)));
}

void CheckKeywordSpelling(const LintLine& lintLine, FindingSink& sink) {
  if (lintLine.Keyword != KeywordFault::Misspelt) return;
  const ReadLine& line = lintLine.Line;
  if (line.Command.Kind != CommandKind::Unrecognized) {
    sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, kArgumentStart),
             StrayByteEffect(line));
    return;
  }
  const std::string_view word = LeadingWord(line.Text);
  sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, word.size()),
           QuotedText(word) + " is not a keyword: the updater does nothing for this line");
}

void CheckStrayByteAfterKeyword(const LintLine& lintLine, FindingSink& sink) {
  if (lintLine.Keyword != KeywordFault::NotASeparator) return;
  const ReadLine& line = lintLine.Line;
  sink.Add(line.Number, ColumnOf(line, kSkippedByteIndex), ColumnOf(line, kArgumentStart),
           StrayByteEffect(line));
}

void CheckCopyWithoutSeparator(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (IsSound(lintLine, CommandKind::Copy) && line.Command.ArgumentCount == 0) {
    sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, line.Text.size()),
             StopsWithoutTarget());
  }
}

void CheckEmptySource(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (IsSound(lintLine, CommandKind::Copy) && HasTwoArguments(line) &&
      line.Command.Arguments[0].empty()) {
    sink.Add(line.Number, ColumnOf(line, kArgumentStart), ColumnOf(line, kArgumentStart + 1),
             StopsAtEmptySource());
  }
}

void CheckEmptyTarget(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (IsSound(lintLine, CommandKind::Copy) && HasTwoArguments(line) &&
      line.Command.Arguments[1].empty()) {
    const std::size_t separator = kArgumentStart + line.Command.Arguments[0].size();
    sink.Add(line.Number, ColumnOf(line, separator), ColumnOf(line, separator + 1),
             StopsAtEmptyTarget());
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
             QuotedText(source));
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

void CheckRunStartingNothing(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (line.Text == kRunKeyword) {
    sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, kKeywordLength),
             "a RUN line without a command line");
    return;
  }
  if (!IsSound(lintLine, CommandKind::Run)) return;
  const std::string_view commandLine = line.Command.Arguments[0];
  const RunRefusal refusal = WhyNothingStarts(commandLine);
  // A NUL and a length past the buffer have rules of their own. The finding
  // points at the blanks before the program, or at the program's name.
  if (refusal == RunRefusal::Empty || refusal == RunRefusal::LeadingBlank ||
      refusal == RunRefusal::QuoteInName) {
    const bool blanks = refusal != RunRefusal::QuoteInName;
    std::size_t end = 0;
    while (end < commandLine.size() &&
           ((commandLine[end] == ' ' || commandLine[end] == '\t') == blanks)) {
      ++end;
    }
    sink.Add(line.Number, ColumnOf(line, kArgumentStart), ColumnOf(line, kArgumentStart + end),
             RefusalReason(refusal, commandLine));
  }
}

void CheckUnquotedProgramWithSpace(const LintLine& lintLine, FindingSink& sink) {
  const ReadLine& line = lintLine.Line;
  if (!IsSound(lintLine, CommandKind::Run)) return;
  const RunProgram program = FindRunProgram(line.Command.Arguments[0]);
  if (program.UnquotedWithSpace) {
    const std::size_t start = kArgumentStart + program.Index;
    sink.Add(line.Number, ColumnOf(line, start), ColumnOf(line, start + program.Path.size()),
             QuotedText(program.Path));
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
    started.push_back({&line, program, program.AddsExe, 0});
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
  // "RUN" alone: a RUN line that starts nothing has a rule of its own.
  if (line.Text == kRunKeyword) return;
  sink.Add(line.Number, ColumnOf(line, 0), ColumnOf(line, line.Text.size()),
           line.Text.empty() ? "an empty line" : QuotedText(LeadingWord(line.Text)));
}
