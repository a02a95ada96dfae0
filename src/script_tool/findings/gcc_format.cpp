#include "script_tool/findings/gcc_format.h"

std::string GccLine(const Finding& finding) {
  std::string text = finding.File + ":";
  if (finding.Line != 0) {
    const std::size_t column = finding.Column == 0 ? 1 : finding.Column;
    text += std::to_string(finding.Line) + ":" + std::to_string(column) + ":";
  }
  text += " " + std::string(SeverityName(finding.Level)) + ": " + finding.Message;
  return finding.Code.empty() ? text : text + " [" + std::string(finding.Code) + "]";
}

void WriteGccFindings(std::ostream& out, const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& finding : findings) text += GccLine(finding) + '\n';
  out << text;
}
