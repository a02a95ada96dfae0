#pragma once
// How much a finding matters, shared by every subcommand and output format.

#include <optional>
#include <string_view>

enum class Severity { Info = 0, Warning = 1, Error = 2 };

// "error", "warning", "info": the words of the gcc style and of --severity.
std::string_view SeverityName(Severity severity);
std::optional<Severity> SeverityFromName(std::string_view name);
