#include "script_tool/explain/code_catalogue.h"

#include "script_tool/findings/finding_codes.h"
#include "script_tool/lint/lint_rules.h"

std::vector<CatalogueEntry> CodeCatalogue() {
  std::vector<CatalogueEntry> entries;
  for (const LintRule& rule : LintRules()) {
    entries.push_back({rule.Code, "lint", rule.Level, rule.Title});
  }
  for (const FindingCode& code : ToolFindingCodes()) {
    entries.push_back({code.Code, code.Tool, code.Level, code.Title});
  }
  return entries;
}
