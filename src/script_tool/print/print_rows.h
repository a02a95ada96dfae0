#pragma once
// A script as the updater will carry it out, one row per command, for a
// reviewer to read: what each line does and what the window shows before it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

enum class RowKind { Copy, Run, Nothing };

struct PrintRow {
  std::size_t Line = 0;
  RowKind Kind = RowKind::Nothing;
  // The percentage the window shows before this command, when every command
  // before it succeeded.
  std::int32_t Percentage = 0;
  // What it shows once this command has succeeded: the next row's
  // Percentage, and 100 after the last row.
  std::int32_t PercentageAfter = 0;
  // The exact bytes, as the updater takes them: source and target of a copy
  // (none for a COP without separator), the command line of a run, the whole
  // line of anything else. VisibleText shows them to a reader.
  std::vector<std::string> Texts;
  // A run that the updater hands to nothing, or that Windows refuses: Starts
  // false and the reason as a sentence.
  bool Starts = true;
  std::string Reason;
};

std::string_view RowKindName(RowKind kind);  // "copy", "run", "nothing"

// Calls visit(row) for each command in order. The row is one object, its
// texts rewritten for each command, so that a long script is shown without
// a string per line: read it within the call.
void ForEachPrintRow(std::string_view fileBytes, const std::function<void(const PrintRow&)>& visit);

// Every row at once, copied out of ForEachPrintRow.
std::vector<PrintRow> PrintScriptRows(std::string_view fileBytes);
