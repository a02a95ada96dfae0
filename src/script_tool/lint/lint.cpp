// devidudi-script lint: every problem in each script, as findings.
#include <algorithm>
#include <iostream>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "script_tool/cli/exit_codes.h"
#include "script_tool/findings/gcc_format.h"
#include "script_tool/findings/github_format.h"
#include "script_tool/findings/json_format.h"
#include "script_tool/findings/sarif_format.h"
#include "script_tool/lint/lint_rules.h"
#include "script_tool/script_reader/script_file.h"
#include "script_tool/cli/subcommands.h"

namespace {

struct LintOptions {
  std::string Format = "gcc";
  // Empty: every finding is shown, and only warnings and errors fail.
  std::string MinimumSeverity;
  std::vector<std::string> Disabled;
  std::vector<std::string> Scripts;
};

// Each rule for SARIF: its message, with "…" for what the check saw, as
// the description.
std::vector<SarifRule> LintSarifRules() {
  std::vector<SarifRule> rules;
  for (const LintRule& rule : LintRules()) {
    std::string description(rule.Message);
    const std::size_t mark = description.find("{}");
    if (mark != std::string::npos) description.replace(mark, 2, "\u2026");
    rules.push_back({rule.Code, rule.Level, rule.Title, description, std::string(rule.Fix)});
  }
  return rules;
}

void WriteFindings(const std::string& format, const std::vector<Finding>& findings,
                   const std::map<std::string, std::string>& scripts) {
  if (format == "json") {
    std::cout << JsonText(FindingsJson(findings, JsonFields::WithRangeAndFix)) << '\n';
  } else if (format == "sarif") {
    const std::map<std::string, std::string_view> bytes(scripts.begin(), scripts.end());
    std::cout << JsonText(SarifLog(findings, LintSarifRules(), bytes)) << '\n';
  } else if (format == "github") {
    WriteGithubCommands(std::cout, findings);
  } else {
    WriteGccFindings(std::cout, findings);
  }
}

int RunLint(const LintOptions& options) {
  // --severity both hides what is below it and fails on what is left.
  const std::optional<Severity> given = SeverityFromName(options.MinimumSeverity);
  const Severity shown = given.value_or(Severity::Info);
  const Severity failing = given.value_or(kDefaultFailingSeverity);
  std::vector<Finding> all;
  // Each script's bytes, for SARIF's fingerprints of the lines found.
  std::map<std::string, std::string> scripts;
  bool anyFinding = false;  // at or above the failing severity
  bool anyUnreadable = false;
  for (const std::string& name : options.Scripts) {
    const InputBytes input = ReadInputBytes(name);
    if (!input.Error.empty()) {
      std::cerr << "devidudi-script: " << name << ": " << input.Error << '\n';
      anyUnreadable = true;
      continue;
    }
    std::vector<Finding> findings = LintScriptBytes(input.Bytes, options.Disabled);
    findings.erase(std::remove_if(findings.begin(), findings.end(),
                                  [&](const Finding& f) { return f.Level < shown; }),
                   findings.end());
    anyFinding |= AnyFindingAtOrAbove(findings, failing);
    for (Finding& finding : findings) finding.File = name;
    all.insert(all.end(), findings.begin(), findings.end());
    if (options.Format == "sarif") scripts.emplace(name, input.Bytes);
  }
  WriteFindings(options.Format, all, scripts);
  std::cout.flush();
  if (anyUnreadable) return kExitUnreadable;
  return anyFinding ? kExitFindings : kExitClean;
}

std::string CheckRuleCode(const std::string& code) {
  return FindLintRule(code) ? std::string() : "no rule has the code " + code;
}

}  // namespace

void AddLintCommand(CLI::App& program, int& exitCode) {
  CLI::App* lint = program.add_subcommand(
      "lint",
      "Finds every problem in update scripts, as the updater will read them.\n"
      "Exit codes: 0 no warning or error (with --severity: no finding at or above it), 1 "
      "findings, 2 a script could not be read, 3 wrong usage. Info findings are shown but "
      "never fail unless --severity info is given.");
  auto options = std::make_shared<LintOptions>();
  lint->add_option("--format", options->Format, "gcc: file:line:column: severity: message [CODE]; "
                   "json: an array of findings; sarif: a SARIF 2.1.0 log for code scanning; "
                   "github: one GitHub Actions workflow command (::error ...) per finding")
      ->check(CLI::IsMember({"gcc", "json", "sarif", "github"}))
      ->capture_default_str();
  lint->add_option("--severity", options->MinimumSeverity, "report findings of this severity and above, and exit 1 on "
                   "any of them (default: report all, exit 1 on a warning or an error)")
      ->check(CLI::IsMember({"error", "warning", "info"}));
  lint->add_option("--disable", options->Disabled, "rule codes not to check, comma-separated, in any case "
                   "(DS001,DS043); the rules are in docs/lint-rules.md")
      ->delimiter(',')
      ->check(CheckRuleCode);
  lint->add_option("SCRIPT", options->Scripts, "update scripts; - reads standard input")
      ->required();
  lint->callback([options, &exitCode] { exitCode = RunLint(*options); });
}
