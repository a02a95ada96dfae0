#include "script_tool/cli/line_finding.h"

#include "script_tool/cli/finding_codes.h"

namespace {

std::size_t ShownColumn(const LineFinding& finding) {
  if (finding.Line == 0) return 0;
  return finding.Column == 0 ? 1 : finding.Column;
}

}  // namespace

std::string_view LineFindingSeverity(const LineFinding& finding) {
  const FindingCode* code = FindToolFindingCode(finding.Code);
  return SeverityName(code != nullptr ? code->Level : Severity::Error);
}

std::string FormatFinding(const std::string& script, const LineFinding& finding) {
  std::string text = script + ":";
  if (finding.Line != 0) {
    text += std::to_string(finding.Line) + ":" + std::to_string(ShownColumn(finding)) + ":";
  }
  text += " " + std::string(LineFindingSeverity(finding)) + ": " + finding.Message;
  return finding.Code.empty() ? text : text + " [" + std::string(finding.Code) + "]";
}

nlohmann::json FindingJson(const std::string& script, const LineFinding& finding) {
  return {{"file", script},
          {"line", finding.Line},
          {"column", ShownColumn(finding)},
          {"severity", LineFindingSeverity(finding)},
          {"code", finding.Code},
          {"message", finding.Message}};
}
