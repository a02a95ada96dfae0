#include "script_tool/findings/github_format.h"

namespace {

std::string Escaped(std::string_view text, bool property) {
  std::string out;
  out.reserve(text.size());
  for (const char byte : text) {
    switch (byte) {
      case '%': out += "%25"; break;
      case '\r': out += "%0D"; break;
      case '\n': out += "%0A"; break;
      case ':': out += property ? "%3A" : ":"; break;
      case ',': out += property ? "%2C" : ","; break;
      default: out += byte;
    }
  }
  return out;
}

std::string_view CommandName(Severity severity) {
  switch (severity) {
    case Severity::Error: return "error";
    case Severity::Warning: return "warning";
    case Severity::Info: return "notice";
  }
  return "error";
}

}  // namespace

std::string EscapedCommandData(std::string_view text) { return Escaped(text, false); }

std::string EscapedCommandProperty(std::string_view text) { return Escaped(text, true); }

std::string GithubCommand(const Finding& finding) {
  std::string properties = "file=" + EscapedCommandProperty(finding.File);
  if (finding.Line != 0) {
    properties += ",line=" + std::to_string(finding.Line);
    if (finding.Column != 0) {
      properties += ",col=" + std::to_string(finding.Column);
      if (finding.EndColumn > finding.Column) {
        properties += ",endColumn=" + std::to_string(finding.EndColumn);
      }
    }
  }
  if (!finding.Code.empty()) properties += ",title=" + EscapedCommandProperty(finding.Code);
  return "::" + std::string(CommandName(finding.Level)) + ' ' + properties +
         "::" + EscapedCommandData(finding.Message);
}

void WriteGithubCommands(std::ostream& out, const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& finding : findings) text += GithubCommand(finding) + '\n';
  out << text;
}
