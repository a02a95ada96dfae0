// make's, verify's and preflight's codes, read against their rules-page
// sections and the numbering every code keeps once released.
#include "script_tool/findings/finding_codes.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "script_tool/lint/lint_rules.h"

namespace {

// The code's number decides its severity, its letters its tool, and no code
// is given twice (nor one of lint's).
TEST(ToolFindingCodes, AreNumberedByToolAndSeverity) {
  std::set<std::string_view> seen;
  for (const FindingCode& entry : ToolFindingCodes()) {
    const std::string code(entry.Code);
    ASSERT_EQ(code.size(), 5u) << code;
    EXPECT_TRUE(seen.insert(entry.Code).second) << code << " is given twice";
    EXPECT_EQ(FindLintRule(entry.Code), nullptr) << code << " is lint's";
    // DS050 was released as lint's codes are named, before make had codes.
    const std::string letters = entry.Tool == "verify"      ? "DV"
                                : entry.Tool == "preflight" ? "DP"
                                : code == "DS050"           ? "DS"
                                                            : "DM";
    EXPECT_EQ(code.substr(0, 2), letters) << code;
    const int number = std::stoi(code.substr(2));
    const Severity bySeverity = number % 100 <= 39   ? Severity::Error
                                : number % 100 <= 79 ? Severity::Warning
                                                     : Severity::Info;
    EXPECT_EQ(entry.Level, bySeverity) << code;
    EXPECT_EQ(FindToolFindingCode(entry.Code), &entry) << code;
  }
  EXPECT_EQ(FindToolFindingCode("DV999"), nullptr);
}

}  // namespace
