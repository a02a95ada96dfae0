#pragma once
// A script as the updater will carry it out, one row per command, for a
// reviewer to read: what each line does and what the window shows before it.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/script_reader/run_program.h"

enum class RowKind { Copy, Run, Nothing };

// Where the updater's checks stop at a line, whatever files it names: the
// check, by a stable word, the whole text of the box it shows, and the name
// that text gives the line. Only the script's folder and an earlier line can
// stop the checks first. They never pass while the script holds such a line:
// Yes asks again, No ends the update before anything is copied.
struct ChecksStop {
  // The updater's checks of the files, in their order: "busy-target",
  // "missing-source", "target-access".
  std::string_view Check;
  std::wstring Message;   // as the updater builds it (app/update_messages.h)
  std::string_view Name;  // as the message shows it (checks/reported_name.h)
};

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
  // The title the window shows while this command runs, in the updater's own
  // words (app/update_messages.h), when every command before it succeeded:
  // "Updating PexaMenu, Please wait..." until the first command that is not a
  // copy, "Ready, Starting..." from it on (TurnsTitleReady).
  std::wstring_view Title;
  // A run that the updater hands to nothing, or that Windows refuses: Starts
  // false, the refusal (ReasonCode gives its stable word) and the reason as
  // a sentence.
  bool Starts = true;
  RunRefusal Refusal = RunRefusal::None;
  std::string Reason;
  // A COP line without a separator: where the checks stop at it. Null for
  // every other line.
  const ChecksStop* Stop = nullptr;
};

std::string_view RowKindName(RowKind kind);  // "copy", "run", "nothing"

// Calls visit(row) for each command in order. The row is one object, its
// texts rewritten for each command, so that a long script is shown without
// a string per line: read it within the call.
void ForEachPrintRow(std::string_view fileBytes, const std::function<void(const PrintRow&)>& visit);

// Every row at once, copied out of ForEachPrintRow.
std::vector<PrintRow> PrintScriptRows(std::string_view fileBytes);
