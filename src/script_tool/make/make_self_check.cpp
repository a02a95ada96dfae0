#include "script_tool/make/make_self_check.h"

#include <optional>

#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script_tool/findings/finding_codes.h"
#include "script/widen_text.h"
#include "script_tool/lint/lint_rules.h"
#include "script_tool/script_reader/run_program.h"

namespace {

// DS042 says bytes look like UTF-8 typed into an editor. make writes the
// names the folders hold: "Ã©.txt" is a name of its own.
const std::vector<std::string> kNotForMadeScripts = {"DS042"};

// The path as Windows compares it: letters folded, "/" as "\", no final "\".
std::wstring ComparedPath(std::wstring_view path) {
  std::wstring folded = FoldWideName(path);
  for (wchar_t& unit : folded) {
    if (unit == L'/') unit = L'\\';
  }
  while (!folded.empty() && folded.back() == L'\\') folded.pop_back();
  return folded;
}

}  // namespace

std::string RunProgramNotInNew(std::wstring_view commandLine, std::wstring_view targetRoot,
                               const std::set<std::wstring>& newFiles) {
  const std::optional<std::string> latin1 = WideToLatin1(commandLine);
  // A command line that starts nothing is lint's error already.
  if (!latin1 || WhyNothingStarts(*latin1) != RunRefusal::None) return {};
  const RunProgram program = FindRunProgram(*latin1);
  if (program.Path.empty() || !IsFullPath(program.Path)) return {};
  const std::wstring path = ComparedPath(WidenText(std::string(program.Path)));
  const std::wstring root = ComparedPath(targetRoot) + L'\\';
  if (path.compare(0, root.size(), root) != 0) return {};
  const std::wstring relative = path.substr(root.size());
  if (newFiles.count(relative) != 0) return {};
  if (program.AddsExe && newFiles.count(relative + L".EXE") != 0) return {};
  return "the program \"" + Latin1ToUtf8(program.Path) +
         "\" lies in the installed folder, but NEW has no such file: it is there after the "
         "update only if OLD had it; name one of NEW's files, or a full path outside the "
         "installed folder";
}

void CheckWrittenScript(const WrittenScript& script, std::vector<Finding>& errors,
                        std::vector<Finding>& warnings) {
  const std::size_t copies = script.CopyWheres.size();
  for (const Finding& finding : LintScriptBytes(script.Bytes, kNotForMadeScripts)) {
    if (finding.Level < Severity::Warning) continue;
    // Told as the path or option that made the line, as make's own findings are.
    Finding made = finding;
    made.File = finding.Line == 0       ? std::string("the script")
                : finding.Line <= copies ? script.CopyWheres[finding.Line - 1]
                                         : "--run " + std::to_string(finding.Line - copies);
    made.Line = made.Column = made.EndColumn = 0;
    (finding.Level == Severity::Error ? errors : warnings).push_back(std::move(made));
  }
  for (std::size_t i = 0; i < script.Runs.size(); ++i) {
    const std::string message =
        RunProgramNotInNew(script.Runs[i], script.TargetRoot, script.NewFiles);
    if (!message.empty()) {
      warnings.push_back({0, 0, 0, Severity::Warning, make_code::kRunNotInNew, message, {},
                          "--run " + std::to_string(i + 1)});
    }
  }
}
