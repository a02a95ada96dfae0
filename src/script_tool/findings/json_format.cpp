#include "script_tool/findings/json_format.h"

nlohmann::json FindingJson(const Finding& finding, JsonFields fields) {
  if (fields == JsonFields::WithRangeAndFix) {
    return {{"file", finding.File},
            {"line", finding.Line},
            {"column", finding.Column},
            {"endColumn", finding.EndColumn},
            {"severity", SeverityName(finding.Level)},
            {"code", finding.Code},
            {"message", finding.Message},
            {"fix", finding.Fix}};
  }
  const std::size_t column = finding.Line == 0 ? 0 : finding.Column == 0 ? 1 : finding.Column;
  return {{"file", finding.File},
          {"line", finding.Line},
          {"column", column},
          {"severity", SeverityName(finding.Level)},
          {"code", finding.Code},
          {"message", finding.Message}};
}

nlohmann::json FindingsJson(const std::vector<Finding>& findings, JsonFields fields) {
  nlohmann::json array = nlohmann::json::array();
  for (const Finding& finding : findings) array.push_back(FindingJson(finding, fields));
  return array;
}

std::string JsonText(const nlohmann::json& value) {
  constexpr int kIndent = 2;
  return value.dump(kIndent, ' ', false, nlohmann::json::error_handler_t::replace);
}
