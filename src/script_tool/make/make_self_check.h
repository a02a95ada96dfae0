#pragma once
// make checks what it writes: the script's bytes go through lint's rules, as
// a CI step would lint them, and each RUN program must be a file the update
// leaves in place. A lint error refuses the script; a warning is told with
// its code.

#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/make/make_plan.h"

struct WrittenScript {
  std::string_view Bytes;
  // For each COP line, in order, the file of NEW it copies, as messages name it.
  std::vector<std::string> CopyWheres;
  std::vector<std::wstring> Runs;  // the RUN lines after them, in order
  std::wstring TargetRoot;
  // NEW's files as Windows compares them (FoldWideName), "\" between names.
  std::set<std::wstring> NewFiles;
};

// Lint's warnings and errors, and DS050's warnings, about the script.
void CheckWrittenScript(const WrittenScript& script, std::vector<Finding>& errors,
                        std::vector<Finding>& warnings);

// DS050's message for one command line, or empty: a program under the target
// root that NEW lacks. A relative program is lint's (DS043), and a full path
// outside the root is the release engineer's to vouch for.
std::string RunProgramNotInNew(std::wstring_view commandLine, std::wstring_view targetRoot,
                               const std::set<std::wstring>& newFiles);
