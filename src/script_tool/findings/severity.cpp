#include "script_tool/findings/severity.h"

std::string_view SeverityName(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Info:
      return "info";
  }
  return "error";
}

std::optional<Severity> SeverityFromName(std::string_view name) {
  for (const Severity severity : {Severity::Error, Severity::Warning, Severity::Info}) {
    if (SeverityName(severity) == name) return severity;
  }
  return std::nullopt;
}
