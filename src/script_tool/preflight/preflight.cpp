// devidudi-script preflight: run on the machine that will run the update, it
// says everything the updater's checks would stop at, before the user meets
// it one message box at a time.

#include <iostream>
#include <memory>
#include <string>

#include <nlohmann/json.hpp>

#include "script_tool/cli/exit_codes.h"
#include "script_tool/cli/subcommands.h"
#include "script_tool/findings/finding_codes.h"
#include "script_tool/findings/gcc_format.h"
#include "script_tool/findings/github_format.h"
#include "script_tool/findings/json_format.h"
#include "script_tool/findings/sarif_format.h"

#ifdef _WIN32
#include <windows.h>

#include "app/update_messages.h"
#include "names/text_conversions.h"
#include "script_tool/preflight/preflight_checks.h"
#endif

namespace {

struct PreflightOptions {
  std::string Script;
  std::string UpdaterDir;
  std::string Format = "text";
  bool NewFolders = false;
};

#ifdef _WIN32

// An argument's wide form; one that is not UTF-8 names no file.
std::wstring WideFromArgument(const std::string& utf8) {
  return Utf8ToWide(utf8).value_or(std::wstring());
}

std::vector<SarifRule> PreflightSarifRules() {
  std::vector<SarifRule> rules;
  for (const FindingCode& code : ToolFindingCodes()) {
    if (code.Tool != "preflight") continue;
    rules.push_back({code.Code, code.Level, code.Title, std::string(code.Title),
                     "see this code's section of the rules page"});
  }
  return rules;
}

int RunPreflight(const PreflightOptions& options) {
  if (options.Script == "-") {
    std::cerr << "preflight: give the script's path: its folder is checked too\n";
    return kExitUsage;
  }
  const InputBytes input = ReadInputBytes(options.Script);
  if (!input.Error.empty()) {
    std::cerr << options.Script << ": " << input.Error << '\n';
    return kExitUnreadable;
  }
  PreflightSetup setup;
  setup.ScriptPath = FullPath(WideFromArgument(options.Script));
  setup.UpdaterFolder = options.UpdaterDir.empty() ? FolderText(setup.ScriptPath)
                                                   : FullPath(WideFromArgument(options.UpdaterDir));
  setup.NewFolders = options.NewFolders;
  std::vector<Finding> findings = PreflightScript(ParseScriptLines(input.Bytes), setup);
  std::size_t problems = 0;
  // An info finding (a folder the application creates) is told, not a problem.
  for (Finding& finding : findings) {
    finding.File = options.Script;
    problems += finding.Level != Severity::Info;
  }

  if (options.Format == "json") {
    nlohmann::json out;
    out["script"] = options.Script;
    out["findings"] = FindingsJson(findings, JsonFields::Located);
    out["pass"] = problems == 0;
    std::cout << JsonText(out) << '\n';
  } else if (options.Format == "sarif") {
    std::cout << JsonText(SarifLog(findings, PreflightSarifRules(), {{options.Script, input.Bytes}}))
              << '\n';
  } else if (options.Format == "github") {
    WriteGithubCommands(std::cout, findings);
  } else {
    WriteGccFindings(std::cout, findings);
  }
  if (options.Format != "json" && options.Format != "sarif") {
    if (problems == 0) {
      std::cerr << "preflight: the updater would pass its checks\n";
    } else {
      std::cerr << "preflight: " << problems << (problems == 1 ? " problem\n" : " problems\n");
    }
  }
  return problems == 0 ? kExitClean : kExitFindings;
}

#else

int RunPreflight(const PreflightOptions&) {
  std::cerr << "preflight needs Windows: run the Windows build of devidudi-script on the "
               "machine that will run the update\n";
  return kExitUsage;
}

#endif

}  // namespace

void AddPreflightCommand(CLI::App& program, int& exitCode) {
  auto options = std::make_shared<PreflightOptions>();
  CLI::App* command = program.add_subcommand(
      "preflight",
      "On the machine that will run the update, lists every problem the updater's "
      "checks would stop at, each with its line, and changes nothing (Windows "
      "builds only).\n"
      "Checks the script's folder (a probe file of preflight's own name, deleted at "
      "once), each COP source and target, and each RUN line's program, found as "
      "CreateProcessW finds it.\n"
      "Each problem is one line as compilers write them, SCRIPT:LINE:COLUMN: "
      "error: message [DP106] (SCRIPT: error: ... for the script's folder); the "
      "codes (DP1xx) are in docs/lint-rules.md. --format json gives each as an "
      "object (file, line, column, severity, code, message), --format sarif as a "
      "SARIF 2.1.0 log, --format github as GitHub Actions workflow commands.\n"
      "Exit codes: 0 the updater would pass its checks and start every RUN program, "
      "1 problems, 2 the script could not be read, 3 wrong usage or not on Windows.");
  command->add_option("--updater-dir", options->UpdaterDir,
                      "the folder of devidudi.exe, where Windows first looks for a RUN "
                      "program (default: the script's folder)")
      ->type_name("DIR");
  command->add_flag("--new-folders", options->NewFolders,
                    "take the missing folders above COP targets as created by the application "
                    "before it starts the updater (CreateTargetFolders): a note each, not a "
                    "problem");
  command
      ->add_option("--format", options->Format,
                   "text (default); json; sarif: a SARIF 2.1.0 log for code scanning; github: "
                   "one GitHub Actions workflow command (::error ...) per problem")
      ->check(CLI::IsMember({"text", "json", "sarif", "github"}));
  command->add_option("SCRIPT", options->Script, "the update script")->required();
  command->callback([options, &exitCode] { exitCode = RunPreflight(*options); });
}
