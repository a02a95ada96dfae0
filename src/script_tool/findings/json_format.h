#pragma once
// Findings as JSON objects, for programs. Each subcommand's document keeps
// the fields it has always had, for callers rely on them:
//   lint:             file, line, column, endColumn, severity, code, message, fix
//   verify, preflight and make: file, line, column, severity, code, message
// (column 0 with line 0, column 1 for a line as a whole).

#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "script_tool/findings/finding.h"

enum class JsonFields { WithRangeAndFix, Located };

nlohmann::json FindingJson(const Finding& finding, JsonFields fields);

// An array of one object per finding.
nlohmann::json FindingsJson(const std::vector<Finding>& findings, JsonFields fields);

// The document as text, indented by two. A file name that is not UTF-8 (a
// Linux name may be any bytes) has its stray bytes replaced rather than
// failing the output.
std::string JsonText(const nlohmann::json& value);
