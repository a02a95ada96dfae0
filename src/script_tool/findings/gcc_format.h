#pragma once
// Findings as compilers and shellcheck write them, one line each, which
// editors and CI annotate from:
//   update.txt:12:5: error: message [DS001]
//   update.txt: error: message [DP101]       (line 0: the file as a whole)
// A column 0 (the line as a whole) is shown as column 1; a finding without
// a code has no brackets.

#include <ostream>
#include <string>
#include <vector>

#include "script_tool/findings/finding.h"

// The line, without its line end.
std::string GccLine(const Finding& finding);

void WriteGccFindings(std::ostream& out, const std::vector<Finding>& findings);
