#include "script_tool/print_rows.h"

#include "exec/progress_steps.h"
#include "script/file_command.h"
#include "script/line_splitter.h"
#include "script/text_mode.h"
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
  // The updater's own reading and grammar, line by line, keeping only the
  // rows: a script may have 100,000 lines.
  const std::string text = ScriptTextFromFileBytes(fileBytes);
  std::size_t count = 0;
  ForEachLine(text, [&](std::string_view) { ++count; });
  std::vector<PrintRow> rows;
  if (count == 0) return rows;
  rows.reserve(count);
  // The runner's own arithmetic: every command, of whatever kind, that does
  // not fail moves the percentage on by one step.
  const std::uint32_t step = ProgressStep(count);
  std::int32_t percentage = 0;
  ForEachLine(text, [&](std::string_view line) {
    const FileCommand command{std::string(line)};
    PrintRow row;
    row.Line = rows.size() + 1;
    row.Percentage = percentage;
    switch (command.Kind) {
      case CommandKind::Copy:
        row.Kind = RowKind::Copy;
        for (const std::string& argument : command.Arguments) row.Texts.push_back(VisibleText(argument));
        break;
      case CommandKind::Run:
        row.Kind = RowKind::Run;
        row.Texts.push_back(VisibleText(command.Arguments[0]));
        break;
      default:
        row.Texts.push_back(VisibleText(line));
        break;
    }
    rows.push_back(std::move(row));
    percentage = AdvancePercentage(percentage, step);
  });
  return rows;
}
