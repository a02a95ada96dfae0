#include "script_tool/make/make_json.h"

#include "script_tool/cli/progress_line.h"
#include "script_tool/findings/json_format.h"

namespace {

nlohmann::json PlanItemJson(const PlanItem& item) {
  const char* action = item.What == PlanItem::Action::KeepOnlyInOld  ? "keep"
                       : item.What == PlanItem::Action::CreateFolder ? "create-folder"
                                                                      : "copy";
  return {{"code", PlanCode(item)},
          {"path", item.Path},
          {"action", action},
          {"added", item.Added},
          {"size", item.SizeDiffers},
          {"bytes", item.BytesDiffer},
          {"time", item.TimeDiffers}};
}

// "--run 2" names a command-line option, not a path: the file is "make",
// and the message names the option.
nlohmann::json MakeFindingJson(const Finding& finding) {
  nlohmann::json out = FindingJson(finding, JsonFields::Located);
  if (finding.File.rfind("--", 0) == 0) {
    out["file"] = "make";
    out["message"] = finding.File + ": " + finding.Message;
  }
  return out;
}

}  // namespace

PlanCounts CountPlan(const std::vector<PlanItem>& plan) {
  PlanCounts counts;
  for (const PlanItem& item : plan) {
    switch (item.What) {
      case PlanItem::Action::KeepOnlyInOld: ++counts.Kept; break;
      case PlanItem::Action::CreateFolder: ++counts.NewFolders; break;
      case PlanItem::Action::Copy: ++(item.Added ? counts.Added : counts.Changed); break;
    }
  }
  return counts;
}

std::string MakeSummaryLine(const MakeOutcome& outcome, bool excluding) {
  const PlanCounts counts = CountPlan(outcome.Plan);
  return "make: " + WithThousands(counts.Added + counts.Changed) + " to copy (" +
         WithThousands(counts.Added) + " new, " + WithThousands(counts.Changed) + " changed), " +
         WithThousands(counts.Kept) + " only in OLD, " + WithThousands(outcome.Unchanged) +
         " unchanged" + (excluding ? ", " + WithThousands(outcome.Excluded) + " excluded" : "") +
         "\n";
}

nlohmann::json MakeJson(const MakeOutcome& outcome, const std::optional<std::string>& scriptFile,
                        bool emptyRefused) {
  const bool nothingToUpdate =
      !outcome.FolderUnreadable && outcome.Errors.empty() && outcome.Script.LineCount() == 0;
  nlohmann::json out;
  out["plan"] = nlohmann::json::array();
  for (const PlanItem& item : outcome.Plan) out["plan"].push_back(PlanItemJson(item));
  if (outcome.FolderUnreadable) {
    out["summary"] = nullptr;
  } else {
    const PlanCounts counts = CountPlan(outcome.Plan);
    out["summary"] = {{"toCopy", counts.Added + counts.Changed},
                      {"new", counts.Added},
                      {"changed", counts.Changed},
                      {"onlyInOld", counts.Kept},
                      {"unchanged", outcome.Unchanged},
                      {"excluded", outcome.Excluded},
                      {"newFolders", counts.NewFolders},
                      {"nothingToUpdate", nothingToUpdate},
                      {"errors", outcome.Errors.size()},
                      {"warnings", outcome.Warnings.size()}};
  }
  out["findings"] = nlohmann::json::array();
  // Errors first, as they decide whether a script is written.
  for (const Finding& error : outcome.Errors) out["findings"].push_back(MakeFindingJson(error));
  for (const Finding& warning : outcome.Warnings) {
    out["findings"].push_back(MakeFindingJson(warning));
  }
  if (outcome.FolderUnreadable || !outcome.Errors.empty() || (nothingToUpdate && emptyRefused)) {
    out["script"] = nullptr;
  } else {
    out["script"] = {{"file", scriptFile ? nlohmann::json(*scriptFile) : nlohmann::json()},
                     {"lines", outcome.Script.LineCount()}};
  }
  return out;
}
