#pragma once
// The lint rules as data: one table of code, severity, message, fix and check
// function. The rules page (docs/lint-rules.md), the output and the tests are
// all read against this table, so a rule is added in one place.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/findings/finding.h"
#include "script_tool/lint/lint_script.h"

class FindingSink;
using ScriptCheck = void (*)(const LintScript& script, FindingSink& sink);
using LineCheck = void (*)(const LintLine& line, FindingSink& sink);

// A rule's check: of the whole script, or of each line in turn.
struct LintCheck {
  LintCheck(ScriptCheck check) : OfScript(check) {}
  LintCheck(LineCheck check) : OfLine(check) {}
  ScriptCheck OfScript = nullptr;
  LineCheck OfLine = nullptr;
};

struct LintRule {
  std::string_view Code;  // stable once released: reworded, never renumbered
  Severity Level;
  std::string_view Title;  // a few words, the heading of its rules-page section
  // What the updater will do and what to write instead, in one line. "{}"
  // stands for what the check saw (a name, a keyword, a line number).
  std::string_view Message;
  std::string_view Fix;
  LintCheck Check;
};

// Every rule, ordered by code.
const std::vector<LintRule>& LintRules();
// The rule of this code, in any case ("ds043" finds DS043).
const LintRule* FindLintRule(std::string_view code);

// Collects the findings of the rule whose check runs now.
class FindingSink {
 public:
  FindingSink(const LintRule& rule, std::vector<Finding>& findings)
      : rule_(rule), findings_(findings) {}
  // A finding of this rule at columns [column, endColumn) of a line; detail
  // takes the place of "{}" in the rule's message.
  void Add(std::size_t line, std::size_t column, std::size_t endColumn,
           std::string_view detail = {});

 private:
  const LintRule& rule_;
  std::vector<Finding>& findings_;
};

// The severity from which a finding fails lint's exit status when --severity
// is not given: info findings are shown, but a script make writes with a
// Latin-1 name (DS082) passes a CI step.
inline constexpr Severity kDefaultFailingSeverity = Severity::Warning;

// Whether a finding is at threshold or above: lint's exit status 1.
bool AnyFindingAtOrAbove(const std::vector<Finding>& findings,
                         Severity threshold = kDefaultFailingSeverity);

// Every finding in the script's bytes, ordered by line and column. A code in
// disabled (in any case: "ds001" too) is not checked at all.
std::vector<Finding> LintScriptBytes(std::string_view fileBytes,
                                     const std::vector<std::string>& disabled = {});
