#include "script_tool/cli/findings_output.h"

void WriteGccFindings(std::ostream& out, const std::string& fileName,
                      const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    out << fileName << ':' << finding.Line << ':' << finding.Column << ": "
        << SeverityName(finding.Level) << ": " << finding.Message << " [" << finding.Code << "]\n";
  }
}

void AppendJsonFindings(nlohmann::json& array, const std::string& fileName,
                        const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    array.push_back({{"file", fileName},
                     {"line", finding.Line},
                     {"column", finding.Column},
                     {"endColumn", finding.EndColumn},
                     {"severity", SeverityName(finding.Level)},
                     {"code", finding.Code},
                     {"message", finding.Message},
                     {"fix", finding.Fix}});
  }
}

std::string JsonText(const nlohmann::json& value) {
  constexpr int kIndent = 2;
  return value.dump(kIndent, ' ', false, nlohmann::json::error_handler_t::replace);
}
