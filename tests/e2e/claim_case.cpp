#include "e2e/claim_case.h"

#include <nlohmann/json.hpp>

#include <optional>
#include <set>

#include "e2e/observed_run.h"
#include "e2e/toolkit_run.h"
#include "support/peer_process.h"
#include "updater_client/target_folders.h"

namespace {

// A started program runs on its own after the updater started it; this
// bounds the wait for its record, and for one that should never come.
constexpr DWORD kRecordWaitMs = 30000;
constexpr DWORD kNoStartGraceMs = 2000;

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }
std::wstring NameOf(const std::wstring& path) { return path.substr(path.rfind(L'\\') + 1); }

// The file as it stood: nothing when it did not exist by that exact name.
std::optional<std::string> ExactFile(const std::wstring& path) {
  if (path.empty()) return std::nullopt;
  const std::set<std::wstring> names = NamesIn(FolderOf(path));
  if (!names.count(NameOf(path)) || IsFolder(path)) return std::nullopt;
  return ReadBytes(path);
}

void LayOut(ClaimCase& c) {
  const std::wstring f = c.folder.Path();
  c.vars = {{L"@F@", f},
            {L"@S@", f + L"\\src"},
            {L"@A@", f + L"\\app"},
            {L"@R@", f + L"\\started.exe"},
            {L"@NW@", FixturePath(L"nowrite")}};
  for (const wchar_t* sub : {L"src", L"src\\sub", L"app", L"app\\sub", L"app\\Pexa Menu",
                             L"Pexa Menu"}) {
    CreateDirectoryW(c.folder.File(sub).c_str(), nullptr);
  }
  WriteBytes(c.folder.File(L"src\\a.txt"), "new a");
  WriteBytes(c.folder.File(L"src\\b.txt"), "new b");
  WriteBytes(c.folder.File(L"src\\caf\u00E9.txt"), "new caf\xE9");
  WriteBytes(c.folder.File(L"src\\prog.exe"), "new prog");
  WriteBytes(c.folder.File(L"app\\a.txt"), "old a");
  PlaceRecorder(c.folder.File(L"started.exe"));
}

// Whether a finding is the row's: preflight's by its code on its line,
// lint's by its code (by any error on the line where the code is not
// settled yet).
bool IsRowsFinding(const ClaimRow& row, const nlohmann::json& finding) {
  const std::size_t line = finding.value("line", std::size_t{0});
  if (row.preflight) return line == row.line && finding.value("code", "") == row.code;
  if (row.code.empty()) return line == row.line && finding.value("severity", "") == "error";
  return finding.value("code", "") == row.code;
}

// What lint or preflight said of the script, checked against the row.
std::string CheckToolkit(const ClaimRow& row, const ClaimCase& c, const std::wstring& script) {
  const ToolkitRun run = RunToolkit(
      c.folder, std::wstring(row.preflight ? L"preflight --format json " : L"lint --format json ") +
                    (row.newFolders ? L"--new-folders " : L"") + Quoted(script));
  nlohmann::json out;
  try {
    out = nlohmann::json::parse(run.out);
  } catch (const nlohmann::json::exception&) {
    return "the toolkit's output is no JSON (exit " + std::to_string(run.exitCode) + "): " +
           run.out + run.err;
  }
  const nlohmann::json findings = row.preflight ? out.value("findings", nlohmann::json::array()) : out;
  for (const nlohmann::json& finding : findings) {
    if (!IsRowsFinding(row, finding)) continue;
    // An info finding is told, not a problem: it leaves the exit code 0.
    const DWORD exitCode = row.severity == "info" ? 0 : 1;
    if (row.preflight) {
      return run.exitCode == exitCode ? ""
                                      : "preflight's exit code is not " + std::to_string(exitCode);
    }
    const std::string severity = finding.value("severity", "");
    return severity == row.severity ? "" : row.code + " is a " + severity + ", not a " + row.severity;
  }
  const std::string wanted = row.preflight      ? row.code + " at line " + std::to_string(row.line)
                             : row.code.empty() ? std::string("an error")
                                                : row.code;
  return std::string(row.preflight ? "preflight" : "lint") + " did not report " + wanted + ": " +
         run.out;
}

// What print said of the row's line where the checks stop, checked against
// the box the updater showed: print's "checkStop" carries its whole text.
std::string CheckPrintStop(const ClaimRow& row, const ClaimCase& c, const std::wstring& script,
                           const ObservedRun& run) {
  const ToolkitRun printed = RunToolkit(c.folder, L"print --format json " + Quoted(script));
  nlohmann::json rows;
  try {
    rows = nlohmann::json::parse(printed.out);
  } catch (const nlohmann::json::exception&) {
    return "print's output is no JSON (exit " + std::to_string(printed.exitCode) + "): " +
           printed.out + printed.err;
  }
  for (const nlohmann::json& printRow : rows) {
    if (printRow.value("line", std::size_t{0}) != row.line) continue;
    if (!printRow.contains("checkStop")) {
      return "print's row tells no checkStop: " + printRow.dump();
    }
    if (run.messages.empty()) return "";  // the effect's check tells of the missing box
    const std::wstring message = WideFromUtf8(printRow["checkStop"].value("message", ""));
    if (message != run.messages.front().text) {
      return "print's checkStop is not the box's text: " + printRow.dump();
    }
    return "";
  }
  return "print gave no row for line " + std::to_string(row.line) + ": " + printed.out;
}

bool BoxShown(const ObservedRun& run, std::string& problem) {
  if (run.messages.empty()) return false;
  problem = "a box was shown";
  return true;
}

// The effect, checked against what the updater did.
std::string CheckEffect(const ClaimRow& row, const ClaimCase& c, const std::wstring& script,
                        const std::optional<std::string>& namedBefore, const ObservedRun& run) {
  if (!run.started) return "the updater did not start";
  if (run.crashed) return "the updater crashed";
  const std::wstring named = c.Expand(row.named);
  const bool scriptLeft = FileExists(script);
  std::string problem;
  switch (row.effect) {
    case Effect::StopsAtQuestion:
    case Effect::StopsAtNotice: {
      const bool question = row.effect == Effect::StopsAtQuestion;
      if (run.messages.empty()) return "no box was shown";
      const ShownMessage& box = run.messages.front();
      if (box.caption != L"Failed to copy" || IsQuestion(box) != question) return "another box";
      const std::size_t at = box.text.find(named);
      if (at == std::wstring::npos || (!question && at != 0)) return "the box names another thing";
      if (!scriptLeft) return "the script was deleted, so the update went on";
      return "";
    }
    case Effect::FailsCopy: {
      if (run.messages.size() != 1) return "not exactly one box";
      const std::wstring expected = L"Copy failed, error code: " +
                                    std::to_wstring(row.copyError) + L" command: " + named;
      if (run.messages[0].caption != L"Command failed" || run.messages[0].text != expected) {
        return "another box than \"" + Utf8(expected) + "\"";
      }
      return scriptLeft ? "the script was not deleted" : "";
    }
    case Effect::DoesNothing:
      if (BoxShown(run, problem)) return problem;
      if (ExactFile(named) != namedBefore) return "the file " + Utf8(named) + " changed";
      if (!RecordedCommandLines(c.Expand(row.recorder)).empty()) return "something started";
      return scriptLeft ? "the script was not deleted" : "";
    case Effect::StartsNothing:
      if (BoxShown(run, problem)) return problem;
      Sleep(kNoStartGraceMs);
      if (!RecordedCommandLines(c.Expand(row.recorder)).empty()) return "the recorder started";
      return scriptLeft ? "the script was not deleted" : "";
    case Effect::CopiesTo:
    case Effect::CopiesElsewhere: {
      if (BoxShown(run, problem)) return problem;
      const std::optional<std::string> now = ExactFile(named);
      if (!now) return "no file named exactly " + Utf8(named);
      if (*now != row.bytes) return Utf8(named) + " holds \"" + *now + "\"";
      return scriptLeft ? "the script was not deleted" : "";
    }
    case Effect::Starts: {
      if (BoxShown(run, problem)) return problem;
      const std::wstring recorder = c.Expand(row.recorder);
      for (DWORD waited = 0; waited < kRecordWaitMs; waited += 50) {
        if (!RecordedCommandLines(recorder).empty()) break;
        Sleep(50);
      }
      const std::vector<std::wstring> recorded = RecordedCommandLines(recorder);
      if (recorded.size() != 1 || recorded[0] != named) {
        return "recorded " + std::to_string(recorded.size()) + " command line(s)" +
               (recorded.empty() ? "" : ", the first \"" + Utf8(recorded[0]) + "\"");
      }
      return scriptLeft ? "the script was not deleted" : "";
    }
    case Effect::ReadyWhileCopying: {
      if (BoxShown(run, problem)) return problem;
      if (!run.beforeDeletingScript) return "the window was not read";
      const Display& shown = *run.beforeDeletingScript;
      if (shown.title != L"Ready, Starting..." || shown.status != named || shown.percent == L"0") {
        return "the window showed something else";
      }
      return scriptLeft ? "the script was not deleted" : "";
    }
    case Effect::NotObservable:
      return "";
  }
  return "unknown effect";
}

}  // namespace

const char* EffectName(Effect effect) {
  switch (effect) {
    case Effect::StopsAtQuestion: return "stops at a question";
    case Effect::StopsAtNotice: return "stops at a notice";
    case Effect::FailsCopy: return "fails the copy";
    case Effect::DoesNothing: return "does nothing";
    case Effect::StartsNothing: return "starts nothing";
    case Effect::CopiesTo: return "copies to";
    case Effect::CopiesElsewhere: return "copies to another file than the line reads";
    case Effect::Starts: return "starts";
    case Effect::ReadyWhileCopying: return "says Ready while copying";
    case Effect::NotObservable: return "not observable under Wine";
  }
  return "?";
}

ClaimRow Rule(std::string code, std::string severity, Effect effect, std::string script,
              std::wstring named) {
  ClaimRow row;
  row.code = std::move(code);
  row.severity = std::move(severity);
  row.effect = effect;
  row.script = std::move(script);
  row.named = std::move(named);
  return row;
}

ClaimRow PreflightFinding(std::string code, Effect effect, std::string script, std::wstring named) {
  ClaimRow row = Rule(std::move(code), "error", effect, std::move(script), std::move(named));
  row.preflight = true;
  return row;
}

std::wstring ClaimCase::Expand(const std::wstring& text) const {
  std::wstring expanded = text;
  for (const auto& [key, value] : vars) {
    for (std::size_t at = expanded.find(key); at != std::wstring::npos;
         at = expanded.find(key, at + value.size())) {
      expanded.replace(at, key.size(), value);
    }
  }
  return expanded;
}

std::string ClaimCase::ExpandNarrow(const std::string& text) const {
  std::string expanded = text;
  for (const auto& [key, value] : vars) {
    const std::string narrowKey = Narrow(key);
    const std::string narrowValue = Narrow(value);
    for (std::size_t at = expanded.find(narrowKey); at != std::string::npos;
         at = expanded.find(narrowKey, at + narrowValue.size())) {
      expanded.replace(at, narrowKey.size(), narrowValue);
    }
  }
  return expanded;
}

std::string HoldClaim(const ClaimRow& row) {
  try {
    ClaimCase c;
    LayOut(c);
    if (row.arrange) row.arrange(c);
    const std::wstring script = c.Expand(row.scriptPath);
    if (!FileExists(script)) WriteBytes(script, c.ExpandNarrow(row.script));

    // A finding that cannot be brought about here cannot be asked for.
    if (row.preflight && row.effect == Effect::NotObservable) return "";
    const std::string toolkitProblem = CheckToolkit(row, c, script);
    if (row.effect == Effect::NotObservable) return toolkitProblem;

    const std::optional<std::string> namedBefore = ExactFile(c.Expand(row.named));
    // As the application does it; a folder it cannot create is the row's to
    // show, so the updater is started all the same.
    if (row.newFolders) devidudi::CreateTargetFolders(script);
    const ObservedRun run = ObserveUpdater(
        Launch{L" " + script, {}, row.workingFolder.empty() ? L"" : c.Expand(row.workingFolder)},
        script);
    const std::string effectProblem = CheckEffect(row, c, script, namedBefore, run);
    const std::string printProblem = row.printStop ? CheckPrintStop(row, c, script, run) : "";
    if (toolkitProblem.empty() && effectProblem.empty() && printProblem.empty()) return "";
    std::string report = toolkitProblem.empty() ? "" : toolkitProblem + "\n";
    if (!printProblem.empty()) report += printProblem + "\n";
    if (!effectProblem.empty()) {
      report += "the updater did not " + std::string(EffectName(row.effect)) + " \"" +
                Utf8(c.Expand(row.named)) + "\": " + effectProblem + "\n";
    }
    report += Describe(run);
    for (const std::wstring& recorded : RecordedCommandLines(c.Expand(row.recorder))) {
      report += "\n  recorded: " + Utf8(recorded);
    }
    std::string names;
    for (const std::wstring& name : NamesIn(c.folder.File(L"app"))) names += " [" + Utf8(name) + "]";
    return report + "\n  app\\ holds:" + names;
  } catch (const std::exception& error) {
    return std::string("the case could not be set up: ") + error.what();
  }
}
