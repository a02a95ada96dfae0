#include "script_tool/findings/sarif_format.h"

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <utility>

namespace {

constexpr std::string_view kSchema = "https://json.schemastore.org/sarif-2.1.0.json";
constexpr std::string_view kFingerprintName = "devidudiLineHash/v1";

std::string RulesPageUri() {
  return std::string(DEVIDUDI_HOME_URI) + "/blob/v" + DEVIDUDI_VERSION + "/docs/lint-rules.md";
}

// SARIF has three levels of its own; "note" is the one for info.
std::string_view SarifLevel(Severity severity) {
  switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Info: return "note";
  }
  return "error";
}

// Line n of the bytes, counted from 1, without its line end; the updater
// ends a line at LF, a CR before it included.
std::string_view LineOf(std::string_view bytes, std::size_t line) {
  std::size_t start = 0;
  for (std::size_t n = 1; n < line; ++n) {
    const std::size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) return {};
    start = end + 1;
  }
  std::string_view text = bytes.substr(start, bytes.find('\n', start) - start);
  if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
  return text;
}

// FNV-1a: stable across builds and machines, which std::hash is not.
std::uint64_t Fnv1a(std::string_view text, std::uint64_t hash) {
  constexpr std::uint64_t kPrime = 1099511628211ull;
  for (const char byte : text) {
    hash ^= static_cast<unsigned char>(byte);
    hash *= kPrime;
  }
  return hash;
}

nlohmann::json RuleJson(const SarifRule& rule, const std::string& pageUri) {
  return {{"id", rule.Code},
          {"name", rule.Code},
          {"shortDescription", {{"text", rule.Title}}},
          {"fullDescription", {{"text", rule.Description}}},
          {"help", {{"text", rule.Help}}},
          {"helpUri", pageUri + "#" + RulesPageAnchor(rule.Code, rule.Title)},
          {"defaultConfiguration", {{"level", SarifLevel(rule.Level)}}}};
}

nlohmann::json LocationJson(const Finding& finding) {
  nlohmann::json physical{{"artifactLocation", {{"uri", finding.File}}}};
  if (finding.Line != 0) {
    nlohmann::json region{{"startLine", finding.Line}};
    if (finding.Column != 0) {
      region["startColumn"] = finding.Column;
      if (finding.EndColumn > finding.Column) region["endColumn"] = finding.EndColumn;
    }
    physical["region"] = region;
  }
  return {{"physicalLocation", physical}};
}

}  // namespace

std::string RulesPageAnchor(std::string_view code, std::string_view title) {
  std::string anchor;
  for (const char c : std::string(code) + ": " + std::string(title)) {
    const unsigned char byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) || c == '-' || c == '_') {
      anchor += static_cast<char>(std::tolower(byte));
    } else if (c == ' ') {
      anchor += '-';
    }
  }
  return anchor;
}

std::string LineFingerprint(std::string_view code, std::string_view lineText,
                            std::size_t occurrence) {
  constexpr std::uint64_t kOffsetBasis = 14695981039346656037ull;
  std::uint64_t hash = Fnv1a(code, kOffsetBasis);
  hash = Fnv1a(std::string_view("\0", 1), hash);
  hash = Fnv1a(lineText, hash);
  char hex[17];
  std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
  return std::string(hex) + ":" + std::to_string(occurrence);
}

nlohmann::json SarifLog(const std::vector<Finding>& findings, const std::vector<SarifRule>& rules,
                        const std::map<std::string, std::string_view>& fileBytes) {
  const std::string pageUri = RulesPageUri();
  nlohmann::json driver{{"name", "devidudi-script"},
                        {"version", DEVIDUDI_VERSION},
                        {"informationUri", DEVIDUDI_HOME_URI},
                        {"rules", nlohmann::json::array()}};
  std::map<std::string_view, std::size_t> ruleIndex;
  for (const SarifRule& rule : rules) {
    ruleIndex.emplace(rule.Code, ruleIndex.size());
    driver["rules"].push_back(RuleJson(rule, pageUri));
  }
  nlohmann::json results = nlohmann::json::array();
  // By file, code and line text: the findings of each seen so far.
  std::map<std::string, std::size_t> seen;
  for (const Finding& finding : findings) {
    const auto bytes = fileBytes.find(finding.File);
    const std::string_view lineText =
        bytes == fileBytes.end() || finding.Line == 0 ? std::string_view()
                                                      : LineOf(bytes->second, finding.Line);
    const std::string key = finding.File + '\0' + std::string(finding.Code) + '\0' +
                            std::string(lineText);
    nlohmann::json result{{"ruleId", finding.Code},
                          {"level", SarifLevel(finding.Level)},
                          {"message", {{"text", finding.Message}}},
                          {"locations", nlohmann::json::array({LocationJson(finding)})},
                          {"partialFingerprints",
                           {{kFingerprintName,
                             LineFingerprint(finding.Code, lineText, seen[key]++)}}}};
    const auto index = ruleIndex.find(finding.Code);
    if (index != ruleIndex.end()) result["ruleIndex"] = index->second;
    results.push_back(std::move(result));
  }
  // Columns count the script's bytes, and the updater reads each byte as
  // one Latin-1 character: a byte is a code point.
  nlohmann::json run{{"tool", {{"driver", driver}}},
                     {"columnKind", "unicodeCodePoints"},
                     {"results", results}};
  return {{"$schema", kSchema}, {"version", "2.1.0"}, {"runs", nlohmann::json::array({run})}};
}
