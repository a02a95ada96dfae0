#pragma once
// make's plan, summary and findings as one JSON document, for a release
// pipeline that reads what make decided rather than parsing its plan lines.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "script_tool/make/make_plan.h"

// The counts of make's summary line.
struct PlanCounts {
  std::size_t Added = 0;    // new in NEW
  std::size_t Changed = 0;  // in both, copied
  std::size_t Kept = 0;     // only in OLD
  std::size_t NewFolders = 0;  // for the application to create (--new-folders)
};
PlanCounts CountPlan(const std::vector<PlanItem>& plan);
// The summary line itself, for standard error: "make: 3 to copy (1 new,
// 2 changed), 1 only in OLD, 1 unchanged", ", 3 excluded" added when
// excluding; counts as progress lines write them ("20,172").
std::string MakeSummaryLine(const MakeOutcome& outcome, bool excluding);

// { "plan": [ {code, path, action (copy, keep, create-folder), added, size,
//              bytes, time} ],
//   "summary": {toCopy, new, changed, onlyInOld, unchanged, excluded,
//               newFolders, nothingToUpdate, errors, warnings}
//              (null when a folder could not be read),
//   "findings": [ {file, line, column, severity, code, message} ],
//   "script": {file, lines} (null when errors, or nothing to update without
//             --allow-empty, keep it from being written; file null for
//             --dry-run) }
// A finding's file is the path it is about, or "make" for one about the
// command line; make's findings have no line or column (0, 0): they concern
// files of the folders. Each has a code: make's own (DM0xx, DS050), or
// lint's where its rules found it in the written script (DS044).
nlohmann::json MakeJson(const MakeOutcome& outcome, const std::optional<std::string>& scriptFile,
                        bool emptyRefused);
