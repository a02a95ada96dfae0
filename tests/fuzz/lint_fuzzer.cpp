// libFuzzer target for devidudi-script's lint and print, built natively with
// clang and the address and undefined-behaviour sanitizers (`make fuzz`;
// `make test` replays tests/fuzz/lint_corpus). Any bytes are a script: every
// input must give well-formed findings and rows, never a crash.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/update_messages.h"
#include "script/line_splitter.h"
#include "script/text_mode.h"
#include "script_tool/lint/lint_rules.h"
#include "script_tool/print/print_rows.h"

namespace {

void Require(bool holds) {
  if (!holds) __builtin_trap();
}

// Each finding belongs to a rule of the table, with that rule's severity and
// fix, lies on a line of the file, and has its message; the
// findings come in the order of the file.
void CheckFindings(std::string_view bytes, const std::vector<Finding>& findings) {
  const std::size_t fileLines =
      1 + static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
  const Finding* previous = nullptr;
  for (const Finding& finding : findings) {
    const LintRule* rule = FindLintRule(finding.Code);
    Require(rule != nullptr);
    Require(finding.Level == rule->Level && finding.Fix == rule->Fix);
    Require(finding.Line >= 1 && finding.Line <= fileLines);
    Require(finding.Column >= 1 && finding.EndColumn >= finding.Column);
    // The rule's message around the detail the check filled in.
    const std::string_view message = rule->Message;
    const std::size_t detail = message.find("{}");
    const std::string_view head = message.substr(0, detail);
    const std::string_view tail =
        detail == std::string_view::npos ? std::string_view() : message.substr(detail + 2);
    Require(finding.Message.size() >= head.size() + tail.size());
    Require(finding.Message.compare(0, head.size(), head) == 0);
    Require(finding.Message.compare(finding.Message.size() - tail.size(), tail.size(), tail) == 0);
    if (previous != nullptr) {
      Require(previous->Line < finding.Line ||
              (previous->Line == finding.Line && previous->Column <= finding.Column));
    }
    previous = &finding;
  }
}

// One row per line the updater reads, in order, with a percentage that never
// falls and never passes 100, a title that turns to "Ready, Starting..." at
// the first row that is not a copy and keeps it, a refusal code exactly
// where a run starts nothing, and a stop exactly at a COP without paths.
void CheckRows(std::string_view bytes) {
  const std::vector<PrintRow> rows = PrintScriptRows(bytes);
  std::size_t lines = 0;
  ForEachLine(ScriptTextFromFileBytes(bytes), [&](std::string_view) { ++lines; });
  Require(rows.size() == lines);
  std::int32_t percentage = 0;
  bool ready = false;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const PrintRow& row = rows[i];
    Require(row.Line == i + 1);
    Require(row.Percentage >= percentage && row.Percentage <= 100);
    percentage = row.Percentage;
    ready = ready || row.Kind != RowKind::Copy;
    Require(row.Title == (ready ? std::wstring_view(kReadyTitle) : kUpdatingTitle));
    Require(ReasonCode(row.Refusal).empty() == row.Starts);
    Require((row.Stop != nullptr) == (row.Kind == RowKind::Copy && row.Texts.empty()));
  }
}

// The lines lint and print read in place from the file are the lines of the
// text the updater reads.
void CheckLinesInPlace(std::string_view bytes) {
  std::vector<std::string_view> fromText;
  const std::string text = ScriptTextFromFileBytes(bytes);
  ForEachLine(text, [&](std::string_view line) { fromText.push_back(line); });
  std::size_t i = 0;
  ForEachScriptLine(bytes, [&](std::string_view line) {
    Require(i < fromText.size() && line == fromText[i]);
    ++i;
  });
  Require(i == fromText.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckFindings(bytes, LintScriptBytes(bytes));
  CheckRows(bytes);
  CheckLinesInPlace(bytes);
  return 0;
}
