// devidudi-script explain and rules: what a code means, from the rules page
// built into the program, and the list of every code.
#include <iomanip>
#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "script_tool/cli/exit_codes.h"
#include "script_tool/cli/subcommands.h"
#include "script_tool/explain/code_catalogue.h"
#include "script_tool/explain/rules_page.h"
#include "script_tool/findings/json_format.h"
#include "script_tool/findings/sarif_format.h"

namespace {

int RunExplain(const std::string& code) {
  const std::string_view section = RulesPageSection(RulesPageText(), code);
  if (section.empty()) {
    std::cerr << "devidudi-script: no code '" << code
              << "'; devidudi-script rules lists every code\n";
    return kExitUsage;
  }
  // The heading without its Markdown marks: "DS001: Keyword in the wrong case".
  std::cout << section.substr(3) << '\n';
  return kExitClean;
}

int RunRules(const std::string& format) {
  const std::vector<CatalogueEntry> entries = CodeCatalogue();
  if (format == "json") {
    nlohmann::json rules = nlohmann::json::array();
    for (const CatalogueEntry& entry : entries) {
      rules.push_back({{"code", entry.Code},
                       {"tool", entry.Tool},
                       {"severity", SeverityName(entry.Level)},
                       {"title", entry.Title},
                       {"anchor", RulesPageAnchor(entry.Code, entry.Title)}});
    }
    std::cout << JsonText(rules) << '\n';
    return kExitClean;
  }
  for (const CatalogueEntry& entry : entries) {
    std::cout << std::left << std::setw(7) << entry.Code << std::setw(9)
              << SeverityName(entry.Level) << std::setw(11) << entry.Tool << entry.Title << '\n';
  }
  return kExitClean;
}

}  // namespace

void AddExplainCommand(CLI::App& program, int& exitCode) {
  CLI::App* explain = program.add_subcommand(
      "explain", "Shows what a finding's code means: a bad line, a good one, what the updater does.");
  explain->footer("The text is the code's section of docs/lint-rules.md, as built into this "
                  "program. Exit codes: 0 shown, 3 no such code or wrong usage.");
  auto code = std::make_shared<std::string>();
  explain->add_option("CODE", *code, "a finding's code, in any case (DS043, dv109)")->required();
  explain->callback([code, &exitCode] { exitCode = RunExplain(*code); });
}

void AddRulesCommand(CLI::App& program, int& exitCode) {
  CLI::App* rules = program.add_subcommand(
      "rules", "Lists every finding's code with its subcommand, severity and summary.");
  rules->footer("Exit codes: 0 listed, 3 wrong usage.");
  auto format = std::make_shared<std::string>("text");
  rules->add_option("--format", *format, "text: one code a line; json: an array of objects "
                    "(code, tool, severity, title, anchor: its section's anchor in "
                    "docs/lint-rules.md)")
      ->check(CLI::IsMember({"text", "json"}))
      ->capture_default_str();
  rules->callback([format, &exitCode] { exitCode = RunRules(*format); });
}
