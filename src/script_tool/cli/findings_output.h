#pragma once
// The two ways lint writes its findings: one gcc-style line each, which
// editors and CI annotate from, and JSON for other programs.

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "script_tool/lint/lint_rules.h"

// "update.txt:12:5: error: message [DS001]", one line per finding.
void WriteGccFindings(std::ostream& out, const std::string& fileName,
                      const std::vector<Finding>& findings);

// Appends one object per finding to the array: file, line, column,
// endColumn, severity, code, message, fix.
void AppendJsonFindings(nlohmann::json& array, const std::string& fileName,
                        const std::vector<Finding>& findings);

// The array as text. A file name that is not UTF-8 (a Linux name may be any
// bytes) has its stray bytes replaced rather than failing the output.
std::string JsonText(const nlohmann::json& value);
