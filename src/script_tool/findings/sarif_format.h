#pragma once
// Findings as a SARIF 2.1.0 log, as code-scanning services read one: one
// run, whose tool lists every rule of the subcommand with its section of the
// rules page, and one result per finding with its place in the script.
// https://docs.oasis-open.org/sarif/sarif/v2.1.0/sarif-v2.1.0.html

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "script_tool/findings/finding.h"

struct SarifRule {
  std::string_view Code;
  Severity Level;
  std::string_view Title;  // the heading of its rules-page section
  std::string Description;
  std::string Help;
};

// "ds001-keyword-in-the-wrong-case": the anchor a Markdown renderer gives
// the section "## DS001: Keyword in the wrong case".
std::string RulesPageAnchor(std::string_view code, std::string_view title);

// A fingerprint that stays with a finding while lines are added above it:
// its code and its line's text, and how many such findings came before it in
// the file, so that two equal lines keep two fingerprints.
std::string LineFingerprint(std::string_view code, std::string_view lineText,
                            std::size_t occurrence);

// fileBytes holds each reported file's bytes by its name (Finding::File);
// a file not in it fingerprints its findings by an empty line text.
nlohmann::json SarifLog(const std::vector<Finding>& findings, const std::vector<SarifRule>& rules,
                        const std::map<std::string, std::string_view>& fileBytes);
