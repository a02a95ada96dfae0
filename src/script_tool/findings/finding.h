#pragma once
// One problem found by any subcommand (lint, make, verify, preflight), as
// every output format (gcc_format.h, json_format.h, sarif_format.h,
// github_format.h) writes it.

#include <cstddef>
#include <string>
#include <string_view>

#include "script_tool/findings/severity.h"

struct Finding {
  // Counted from 1; 0 for what concerns a file as a whole (the script's
  // folder, a file of make's folders).
  std::size_t Line = 0;
  // In bytes of the file's line, from 1; 0 for the line as a whole.
  std::size_t Column = 0;
  // The column just past the last byte concerned; 0 when not known.
  std::size_t EndColumn = 0;
  Severity Level = Severity::Error;
  // One of the codes of finding_codes.h or of lint's rules; codes live in
  // static tables, so a view suffices.
  std::string_view Code;
  // UTF-8; script text in it has been turned from Latin-1 into UTF-8.
  std::string Message;
  std::string_view Fix;
  // What the finding is about as the user named it: the script, a path of
  // make's folders, or make's option ("--run 2"). Empty until the
  // subcommand that reports it names the script.
  std::string File;
};

