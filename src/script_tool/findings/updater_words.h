#pragma once
// The updater's own words (app/update_messages.h) as the findings quote them,
// where they tell at which of the updater's messages a script would stop.

#include <string>
#include <string_view>

#include "app/update_messages.h"
#include "script_tool/findings/quoted.h"

// The words in double quotes, as UTF-8.
inline std::string QuotedWords(std::wstring_view words) { return Quoted(words); }
