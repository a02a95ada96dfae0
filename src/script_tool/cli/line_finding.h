#pragma once
// One thing found in a script, tied to the line it stands on; verify and
// preflight report in these.

#include <cstddef>
#include <string>

struct LineFinding {
  // Counted from 1; 0 for what concerns the script as a whole (its folder).
  std::size_t Line = 0;
  // UTF-8; script text in it has been turned from Latin-1 into UTF-8.
  std::string Message;
  // Said for the reader, never a problem: preflight --new-folders notes each
  // folder the application creates. It changes no exit status.
  bool Note = false;
};

// "SCRIPT:LINE: severity: message", or "SCRIPT: severity: message" for line 0,
// as compilers and shellcheck write a finding.
inline std::string FormatFinding(const std::string& script, const LineFinding& finding,
                                 const char* severity) {
  std::string text = script + ":";
  if (finding.Line != 0) text += std::to_string(finding.Line) + ":";
  return text + " " + severity + ": " + finding.Message;
}
