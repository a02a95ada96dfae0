#include "script_tool/print_rows.h"

#include "exec/progress_steps.h"
#include "script_tool/script_file.h"
#include "script_tool/visible_text.h"

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

std::vector<PrintRow> PrintScriptRows(std::string_view fileBytes) {
  const std::vector<ScriptLine> lines = ParseScriptLines(fileBytes);
  std::vector<PrintRow> rows;
  if (lines.empty()) return rows;
  rows.reserve(lines.size());
  // The runner's own arithmetic: every command, of whatever kind, that does
  // not fail moves the percentage on by one step.
  const std::uint32_t step = ProgressStep(lines.size());
  std::int32_t percentage = 0;
  for (const ScriptLine& line : lines) {
    PrintRow row;
    row.Line = line.Number;
    row.Percentage = percentage;
    switch (line.Command.Kind) {
      case CommandKind::Copy:
        row.Kind = RowKind::Copy;
        for (const std::string& argument : line.Command.Arguments) {
          row.Texts.push_back(VisibleText(argument));
        }
        break;
      case CommandKind::Run:
        row.Kind = RowKind::Run;
        row.Texts.push_back(VisibleText(line.Command.Arguments[0]));
        break;
      default:
        row.Texts.push_back(VisibleText(line.Text));
        break;
    }
    rows.push_back(std::move(row));
    percentage = AdvancePercentage(percentage, step);
  }
  return rows;
}
