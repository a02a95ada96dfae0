// The output formats of findings, each read against one table of findings:
// every severity, a path with blanks and a non-ASCII name, a message with
// "%", ":" and ",", a finding at column 1, one at its line's end, one about
// the file as a whole.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "script_tool/findings/gcc_format.h"
#include "script_tool/findings/github_format.h"
#include "script_tool/findings/sarif_format.h"

namespace {

// Line 2 is "COP\tC:\\a.txt\tC:\\b.txt" (21 bytes): column 16 to 22 is its
// last name, up to the line's end.
constexpr std::string_view kScript = "RUN\tC:\\x.exe\r\nCOP\tC:\\a.txt\tC:\\b.txt\r\n";

struct FormatCase {
  const char* name;
  Finding finding;
  std::string gcc;
  std::string github;
  std::string sarifLevel;
};

const std::vector<FormatCase>& Cases() {
  static const std::vector<FormatCase> cases = {
      {"error at column 1, blanks and a non-ASCII name in the path",
       {1, 1, 4, Severity::Error, "DS010", "100% sure: a, b", "", "my scripts/café update.txt"},
       "my scripts/café update.txt:1:1: error: 100% sure: a, b [DS010]",
       "::error file=my scripts/café update.txt,line=1,col=1,endColumn=4,title=DS010::100%25 "
       "sure: a, b",
       "error"},
      {"warning at the line's end, ':' and ',' in the path, CR LF in the message",
       {2, 16, 22, Severity::Warning, "DS043", "two\r\nlines", "", "C:/up,dates/u.txt"},
       "C:/up,dates/u.txt:2:16: warning: two\r\nlines [DS043]",
       "::warning file=C%3A/up%2Cdates/u.txt,line=2,col=16,endColumn=22,title=DS043::two%0D%0Alines",
       "warning"},
      {"info",
       {2, 1, 4, Severity::Info, "DS082", "Latin-1: ok", "", "u.txt"},
       "u.txt:2:1: info: Latin-1: ok [DS082]",
       "::notice file=u.txt,line=2,col=1,endColumn=4,title=DS082::Latin-1: ok",
       "note"},
      {"the file as a whole",
       {0, 0, 0, Severity::Error, "DP101", "not writable, 100%", "", "u.txt"},
       "u.txt: error: not writable, 100% [DP101]",
       "::error file=u.txt,title=DP101::not writable, 100%25",
       "error"},
      {"the line as a whole",
       {2, 0, 0, Severity::Error, "DP104", "no target", "", "u.txt"},
       "u.txt:2:1: error: no target [DP104]",
       "::error file=u.txt,line=2,title=DP104::no target",
       "error"},
  };
  return cases;
}

std::vector<SarifRule> Rules() {
  return {{"DS010", Severity::Error, "Character Windows forbids in a name", "a \"{}\"", "rename"},
          {"DS043", Severity::Warning, "Relative path", "relative", "write a full path"},
          {"DS082", Severity::Info, "Latin-1 characters", "Latin-1", "nothing"}};
}

TEST(FindingFormats, GccAndGithubWriteEachFindingOnItsLine) {
  for (const FormatCase& c : Cases()) {
    EXPECT_EQ(GccLine(c.finding), c.gcc) << c.name;
    EXPECT_EQ(GithubCommand(c.finding), c.github) << c.name;
  }
}

TEST(FindingFormats, SarifHoldsWhatCodeScanningRequires) {
  std::vector<Finding> findings;
  std::map<std::string, std::string_view> bytes;
  for (const FormatCase& c : Cases()) {
    findings.push_back(c.finding);
    bytes.emplace(c.finding.File, kScript);
  }
  const std::vector<SarifRule> rules = Rules();
  const nlohmann::json log = SarifLog(findings, rules, bytes);
  EXPECT_EQ(log["version"], "2.1.0");
  ASSERT_EQ(log["runs"].size(), 1u);
  const nlohmann::json& run = log["runs"][0];
  const nlohmann::json& driver = run["tool"]["driver"];
  EXPECT_EQ(driver["name"], "devidudi-script");
  EXPECT_EQ(driver["version"], DEVIDUDI_VERSION);
  EXPECT_EQ(driver["informationUri"].get<std::string>().rfind("https://", 0), 0u);
  ASSERT_EQ(driver["rules"].size(), rules.size());
  for (std::size_t i = 0; i < rules.size(); ++i) {
    const nlohmann::json& rule = driver["rules"][i];
    const SarifRule& given = rules[i];
    EXPECT_EQ(rule["id"], given.Code);
    EXPECT_EQ(rule["shortDescription"]["text"], given.Title) << given.Code;
    EXPECT_EQ(rule["fullDescription"]["text"], given.Description) << given.Code;
    EXPECT_EQ(rule["help"]["text"], given.Help) << given.Code;
    const std::string anchor = "/docs/lint-rules.md#" + RulesPageAnchor(given.Code, given.Title);
    const std::string uri = rule["helpUri"];
    EXPECT_EQ(uri.substr(uri.size() - anchor.size()), anchor) << given.Code;
  }
  EXPECT_EQ(driver["rules"][0]["defaultConfiguration"]["level"], "error");
  EXPECT_EQ(driver["rules"][2]["defaultConfiguration"]["level"], "note");

  ASSERT_EQ(run["results"].size(), Cases().size());
  for (std::size_t i = 0; i < Cases().size(); ++i) {
    const FormatCase& c = Cases()[i];
    const nlohmann::json& result = run["results"][i];
    EXPECT_EQ(result["ruleId"], c.finding.Code) << c.name;
    EXPECT_EQ(result["level"], c.sarifLevel) << c.name;
    EXPECT_EQ(result["message"]["text"], c.finding.Message) << c.name;
    ASSERT_EQ(result["locations"].size(), 1u) << c.name;
    const nlohmann::json& physical = result["locations"][0]["physicalLocation"];
    EXPECT_EQ(physical["artifactLocation"]["uri"], c.finding.File) << c.name;
    EXPECT_EQ(result["partialFingerprints"].size(), 1u) << c.name;
    if (c.finding.Line == 0) {
      EXPECT_FALSE(physical.contains("region")) << c.name;
      continue;
    }
    const nlohmann::json& region = physical["region"];
    EXPECT_EQ(region["startLine"], c.finding.Line) << c.name;
    if (c.finding.Column == 0) {
      EXPECT_FALSE(region.contains("startColumn")) << c.name;
    } else {
      EXPECT_EQ(region["startColumn"], c.finding.Column) << c.name;
      EXPECT_EQ(region["endColumn"], c.finding.EndColumn) << c.name;
    }
  }
  // Only the findings of codes given as rules have an index into them.
  EXPECT_EQ(run["results"][1]["ruleIndex"], 1);
  EXPECT_FALSE(run["results"][3].contains("ruleIndex"));
}

// Lines added above a finding leave its fingerprint; another line's text,
// another code or a second such finding on an equal line each change it.
TEST(FindingFormats, SarifFingerprintFollowsTheLineNotItsNumber) {
  const auto fingerprint = [](std::string_view bytes, std::size_t line, std::string_view code,
                              std::size_t nth = 0) {
    std::vector<Finding> findings;
    for (std::size_t i = 0; i <= nth; ++i) {
      findings.push_back({line, 5, 9, Severity::Error, code, "m", "", "u.txt"});
    }
    const nlohmann::json log = SarifLog(findings, {}, {{"u.txt", bytes}});
    return log["runs"][0]["results"][nth]["partialFingerprints"].begin().value().get<std::string>();
  };
  const std::string first = fingerprint("COP\ta\tb\r\n", 1, "DS043");
  EXPECT_EQ(fingerprint("RUN\tx\r\n\r\nCOP\ta\tb\r\n", 3, "DS043"), first);
  EXPECT_EQ(fingerprint("RUN\tx\nCOP\ta\tb", 2, "DS043"), first);
  EXPECT_NE(fingerprint("COP\ta\tc\r\n", 1, "DS043"), first);
  EXPECT_NE(fingerprint("COP\ta\tb\r\n", 1, "DS044"), first);
  EXPECT_NE(fingerprint("COP\ta\tb\r\n", 1, "DS043", 1), first);
}

TEST(FindingFormats, RulesPageAnchorsAreTheHeadingsOwn) {
  const struct {
    std::string_view code, title, anchor;
  } rows[] = {
      {"DS001", "Keyword in the wrong case", "ds001-keyword-in-the-wrong-case"},
      {"DV109", "Target's folder missing", "dv109-targets-folder-missing"},
      {"DS050", "RUN of a program that NEW does not have (make)",
       "ds050-run-of-a-program-that-new-does-not-have-make"},
  };
  for (const auto& row : rows) EXPECT_EQ(RulesPageAnchor(row.code, row.title), row.anchor);
}

}  // namespace
