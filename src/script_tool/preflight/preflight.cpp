// devidudi-script preflight: run on the machine that will run the update, it
// says everything the updater's checks would stop at, before the user meets
// it one message box at a time.

#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

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
#include "bundle/p256_encoding.h"
#include "names/text_conversions.h"
#include "script_tool/preflight/preflight_checks.h"
#include "updater_client/verify_update.h"
#endif

namespace {

struct PreflightOptions {
  std::string Script;
  std::string Bundle;
  std::string PublicKey;
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

// What the application's VerifyUpdate says of the bundle, as a finding
// about the file at fault; nothing when it takes the bundle.
std::optional<Finding> BundleFinding(const std::string& bundle,
                                     const devidudi::BundleVerdict& verdict) {
  using devidudi::BundleProblem;
  if (verdict.Accepted()) return std::nullopt;
  // A listed file's problem is at its MANIFEST line: the finding is about
  // MANIFEST there, and names the file first.
  const bool atManifestLine =
      verdict.Line != 0 && (verdict.Problem == BundleProblem::FileMissing ||
                            verdict.Problem == BundleProblem::FileNotPlain ||
                            verdict.Problem == BundleProblem::SizeDiffers ||
                            verdict.Problem == BundleProblem::HashDiffers);
  std::string message = (atManifestLine ? WideToUtf8(verdict.File) + ": " : std::string()) +
                        "expected " + WideToUtf8(verdict.Expected) + ", found " +
                        WideToUtf8(verdict.Found);
  if (verdict.Error != ERROR_SUCCESS) message += " (error " + std::to_string(verdict.Error) + ")";
  message += ": the application's VerifyUpdate refuses the bundle, and starts no update";
  Finding finding = CodedFinding(preflight_code::kBundleRefused, verdict.Line, 0, message);
  finding.File = atManifestLine ? bundle + "\\MANIFEST" : WideToUtf8(verdict.File);
  return finding;
}

// The bundle's verdict, or the exit code of a usage or input error (said).
std::optional<devidudi::BundleVerdict> VerifyBundle(const PreflightOptions& options, int& exitCode) {
  exitCode = kExitUsage;
  if (options.Bundle.empty() != options.PublicKey.empty()) {
    std::cerr << "preflight: --bundle DIR and --public-key KEY go together: the application "
                 "checks a bundle with its public key\n";
    return std::nullopt;
  }
  const InputBytes key = ReadInputBytes(options.PublicKey);
  if (!key.Error.empty()) {
    std::cerr << options.PublicKey << ": " << key.Error << '\n';
    exitCode = kExitUnreadable;
    return std::nullopt;
  }
  const std::string refused = ParseP256PublicKeyPem(key.Bytes).Problem;
  if (!refused.empty()) {
    std::cerr << "preflight: --public-key " << options.PublicKey << ": " << refused << '\n';
    return std::nullopt;
  }
  exitCode = kExitClean;
  return devidudi::VerifyUpdate(WideFromArgument(options.Bundle), key.Bytes);
}

int RunPreflight(const PreflightOptions& options) {
  if (options.Script == "-") {
    std::cerr << "preflight: give the script's path: its folder is checked too\n";
    return kExitUsage;
  }
  if (options.Script.empty() && options.Bundle.empty()) {
    std::cerr << "preflight: name the SCRIPT, or give --bundle DIR --public-key KEY\n";
    return kExitUsage;
  }
  std::vector<Finding> findings;
  std::string script = options.Script;
  if (!options.Bundle.empty() || !options.PublicKey.empty()) {
    int exitCode = kExitClean;
    const std::optional<devidudi::BundleVerdict> verdict = VerifyBundle(options, exitCode);
    if (!verdict) return exitCode;
    if (const std::optional<Finding> refused = BundleFinding(options.Bundle, *verdict)) {
      findings.push_back(*refused);
    } else if (script.empty()) {
      script = WideToUtf8(verdict->ScriptPath);
    }
  }

  InputBytes input;
  if (!script.empty()) {
    input = ReadInputBytes(script);
    if (!input.Error.empty()) {
      std::cerr << script << ": " << input.Error << '\n';
      return kExitUnreadable;
    }
    PreflightSetup setup;
    setup.ScriptPath = FullPath(WideFromArgument(script));
    setup.UpdaterFolder = options.UpdaterDir.empty()
                              ? FolderText(setup.ScriptPath)
                              : FullPath(WideFromArgument(options.UpdaterDir));
    setup.NewFolders = options.NewFolders;
    for (Finding& finding : PreflightScript(ParseScriptLines(input.Bytes), setup)) {
      finding.File = script;
      findings.push_back(std::move(finding));
    }
  }
  std::size_t problems = 0;
  // An info finding (a folder the application creates) is told, not a problem.
  for (const Finding& finding : findings) problems += finding.Level != Severity::Info;

  if (options.Format == "json") {
    nlohmann::json out;
    out["script"] = script;
    if (!options.Bundle.empty()) out["bundle"] = options.Bundle;
    out["findings"] = FindingsJson(findings, JsonFields::Located);
    out["pass"] = problems == 0;
    std::cout << JsonText(out) << '\n';
  } else if (options.Format == "sarif") {
    std::cout << JsonText(SarifLog(findings, PreflightSarifRules(), {{script, input.Bytes}}))
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
      "CreateProcessW finds it. With --bundle DIR --public-key KEY it first checks "
      "the bundle as the application's VerifyUpdate does (DP123), then the bundle's "
      "script.\n"
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
  command->add_option("--bundle", options->Bundle,
                      "check an update bundle of make --bundle where it lies, as the "
                      "application's VerifyUpdate does: MANIFEST.sig, each file's size and "
                      "SHA-256, no file unlisted, every COP source a listed payload file; "
                      "SCRIPT defaults to the bundle's own")
      ->type_name("DIR");
  command->add_option("--public-key", options->PublicKey,
                      "with --bundle, the application's EC P-256 public key (PEM \"PUBLIC "
                      "KEY\")")
      ->type_name("KEY.pem");
  command->add_option("SCRIPT", options->Script,
                      "the update script (with --bundle, the bundle's own when left out)");
  command->callback([options, &exitCode] { exitCode = RunPreflight(*options); });
}
