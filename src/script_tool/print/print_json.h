#pragma once
// print's rows as JSON, for programs to read back: the exact text of every
// name and command line, JSON's own escapes for what would not show.

#include <nlohmann/json.hpp>

#include "script_tool/print/print_rows.h"

// One row: "line", "kind" ("copy", "run", "nothing") and "percentage"; a copy
// adds "source" and "target" (null for a COP without separator), a run
// "commandLine" and "starts", and "reason" when it starts nothing, anything
// else "text". Texts are the script's bytes read as Latin-1. "visible" holds
// the same texts as the text output shows them ("<TAB>", "<SP>"), for people.
nlohmann::json PrintRowJson(const PrintRow& row);
