#pragma once
// One thing verify or preflight found in a script, tied to the line it
// stands on, with its stable code (finding_codes.h), and the two ways it is
// written: a line as compilers and shellcheck write one, and the finding
// object every subcommand's JSON uses.

#include <cstddef>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

struct LineFinding {
  // Counted from 1; 0 for what concerns the script as a whole (its folder).
  std::size_t Line = 0;
  // UTF-8; script text in it has been turned from Latin-1 into UTF-8.
  std::string Message;
  // One of ToolFindingCodes(); it gives the severity.
  std::string_view Code;
  // In bytes from 1, where the source, target or command line concerned
  // starts; 0 for the line as a whole, which is shown as column 1.
  std::size_t Column = 0;
};

// "error", "warning" or "info", by the finding's code.
std::string_view LineFindingSeverity(const LineFinding& finding);

// "SCRIPT:LINE:COLUMN: severity: message [CODE]", or "SCRIPT: severity:
// message [CODE]" for line 0.
std::string FormatFinding(const std::string& script, const LineFinding& finding);

// The finding object: file, line, column (0 with line 0), severity, code,
// message.
nlohmann::json FindingJson(const std::string& script, const LineFinding& finding);
