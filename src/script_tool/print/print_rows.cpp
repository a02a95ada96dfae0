#include "script_tool/print/print_rows.h"

#include "checks/reported_name.h"
#include "script/progress.h"
#include "script_tool/findings/updater_words.h"
#include "script_tool/script_reader/run_program.h"
#include "script_tool/script_reader/script_file.h"

std::string_view RowKindName(RowKind kind) {
  switch (kind) {
    case RowKind::Copy:
      return "copy";
    case RowKind::Run:
      return "run";
    case RowKind::Nothing:
      return "nothing";
  }
  return "nothing";
}

namespace {

std::string AsSentence(std::string fragment) {
  if (fragment.empty()) return fragment;
  if (fragment[0] >= 'a' && fragment[0] <= 'z') fragment[0] = static_cast<char>(fragment[0] - 'a' + 'A');
  return fragment + ".";
}

// A COP line without a separator holds no paths. The busy-target check, the
// first of the three, looks at every copy in order and stops at the first
// one without two paths (checks/busy_target.cpp), before it tests any file
// of that line; so the line stops the checks there, unless an earlier
// line's target is in use and is named first.
const ChecksStop& NoSeparatorStop() {
  static const ChecksStop stop{"busy-target", BusyTargetQuestion(kCopyWithoutTarget),
                               kCopyWithoutTarget};
  return stop;
}

}  // namespace

void ForEachPrintRow(std::string_view fileBytes, const std::function<void(const PrintRow&)>& visit) {
  // The updater's own reading and grammar, line by line.
  const std::size_t count = CountScriptLines(fileBytes);
  if (count == 0) return;
  // The runner's own arithmetic: every command, of whatever kind, that does
  // not fail moves the percentage on.
  PrintRow row;
  // The runner's own rule for the title.
  bool readyTitle = false;
  ForEachReadLine(fileBytes, [&](const ReadLine& read) {
    const ParsedLine& command = read.Command;
    const std::string_view line = read.Text;
    row.Percentage = PercentageAfter(row.Line, count);
    row.PercentageAfter = PercentageAfter(row.Line + 1, count);
    row.Line = read.Number;
    switch (command.Kind) {
      case CommandKind::Copy:
        row.Kind = RowKind::Copy;
        row.Texts.resize(command.ArgumentCount);
        break;
      case CommandKind::Run:
        row.Kind = RowKind::Run;
        row.Texts.resize(1);
        break;
      default:
        row.Kind = RowKind::Nothing;
        row.Texts.resize(1);
        break;
    }
    for (std::size_t i = 0; i < row.Texts.size(); ++i) {
      row.Texts[i].assign(row.Kind == RowKind::Nothing ? line : command.Arguments[i]);
    }
    readyTitle = readyTitle || TurnsTitleReady(command.Kind);
    row.Title = readyTitle ? kReadyTitle : kUpdatingTitle;
    row.Refusal =
        row.Kind == RowKind::Run ? WhyNothingStarts(command.Arguments[0]) : RunRefusal::None;
    row.Starts = row.Refusal == RunRefusal::None;
    row.Reason = AsSentence(RefusalReason(row.Refusal, command.Arguments[0]));
    row.Stop = row.Kind == RowKind::Copy && row.Texts.empty() ? &NoSeparatorStop() : nullptr;
    visit(row);
  });
}

std::vector<PrintRow> PrintScriptRows(std::string_view fileBytes) {
  std::vector<PrintRow> rows;
  ForEachPrintRow(fileBytes, [&](const PrintRow& row) { rows.push_back(row); });
  return rows;
}
