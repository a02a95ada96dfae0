#include "script_tool/print/print_json.h"

#include "names/text_conversions.h"
#include "script_tool/script_reader/visible_text.h"

namespace {

// The row's texts under their names, each through show (exact or visible);
// null for the paths of a COP without separator.
template <typename Show>
void AddTexts(nlohmann::json& item, const PrintRow& row, Show show) {
  switch (row.Kind) {
    case RowKind::Copy:
      item["source"] = row.Texts.empty() ? nlohmann::json() : nlohmann::json(show(row.Texts[0]));
      item["target"] = row.Texts.empty() ? nlohmann::json() : nlohmann::json(show(row.Texts[1]));
      break;
    case RowKind::Run:
      item["commandLine"] = show(row.Texts[0]);
      break;
    case RowKind::Nothing:
      item["text"] = show(row.Texts[0]);
      break;
  }
}

}  // namespace

nlohmann::json PrintRowJson(const PrintRow& row) {
  nlohmann::json item = {{"line", row.Line},
                         {"kind", RowKindName(row.Kind)},
                         {"percentage", row.Percentage},
                         {"percentageAfter", row.PercentageAfter},
                         {"title", WideToUtf8(row.Title)}};
  AddTexts(item, row, [](const std::string& bytes) { return Latin1ToUtf8(bytes); });
  if (row.Kind == RowKind::Run) {
    item["starts"] = row.Starts;
    if (!row.Starts) {
      item["reasonCode"] = ReasonCode(row.Refusal);
      item["reason"] = row.Reason;
    }
  }
  if (row.Stop != nullptr) {
    item["checkStop"] = {{"check", row.Stop->Check},
                         {"message", WideToUtf8(row.Stop->Message)},
                         {"name", row.Stop->Name}};
  }
  nlohmann::json visible = nlohmann::json::object();
  AddTexts(visible, row, [](const std::string& bytes) { return VisibleText(bytes); });
  item["visible"] = std::move(visible);
  return item;
}
