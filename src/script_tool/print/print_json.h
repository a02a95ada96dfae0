#pragma once
// print's rows as JSON, for programs to read back: the exact text of every
// name and command line, JSON's own escapes for what would not show.

#include <nlohmann/json.hpp>

#include "script_tool/print/print_rows.h"

// One row: "line", "kind" ("copy", "run", "nothing"), "percentage",
// "percentageAfter" and "title"; a copy adds "source" and "target" (null for
// a COP without separator, which adds "checkStop": "check", "message",
// "name"), a run "commandLine" and "starts", and "reasonCode" and "reason"
// when it starts nothing, anything else "text". Texts are the script's bytes
// read as Latin-1. "visible" holds the same texts as the text output shows
// them ("<TAB>", "<SP>"), for people. print --help tells every field.
nlohmann::json PrintRowJson(const PrintRow& row);
