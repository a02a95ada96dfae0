// devidudi-script verify: proves a script right before it ships, by applying
// it to a copy of the installed folder and comparing the result with NEW.

#include <fstream>
#include <iomanip>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "names/text_conversions.h"
#include "script_tool/bundle/bundle_check.h"
#include "script_tool/bundle/manifest_signature.h"
#include "script_tool/cli/exit_codes.h"
#include "script_tool/cli/progress_line.h"
#include "script_tool/findings/finding_codes.h"
#include "script_tool/findings/gcc_format.h"
#include "script_tool/findings/github_format.h"
#include "script_tool/findings/json_format.h"
#include "script_tool/tree_walker/exclude_glob.h"
#include "script_tool/tree_walker/file_write_time.h"
#include "script_tool/cli/subcommands.h"
#include "script_tool/verify/verify_replay.h"
#include "script_tool/tree_walker/windows_paths.h"

namespace {

struct VerifyOptions {
  std::string Old;
  std::string New;
  std::string SourceRoot;
  std::string TargetRoot;
  std::string Script;
  std::string Format = "text";
  bool Times = false;
  bool NewFolders = false;
  bool Quiet = false;
  std::vector<std::string> Excludes;
  std::string Bundle;
  std::string PublicKey;
};

constexpr const char* kKeptWithOldTimeWord = "kept-with-old-time";
// The widest kind word, kKeptWithOldTimeWord, and a blank.
constexpr int kKindColumnWidth = 19;

// A time difference shows both times, so that a reader sees by how much.
std::string TimesShown(const TreeDifference& difference) {
  if (difference.What != TreeDifference::Kind::Time) return {};
  return "  (result " + FileTimeText(difference.ComparedTime) + ", NEW " +
         FileTimeText(difference.ExpectedTime) + ")";
}

// A RUN line is listed, never started: said as a finding of its own.
Finding RunFinding(const std::string& script, const ListedRun& run) {
  Finding finding = CodedFinding(verify_code::kRunNotStarted, run.Line, run.Column,
                                 "RUN not started: " + run.CommandLine);
  finding.File = script;
  return finding;
}

// "verify: 12,345 of 20,000 files compared  locale/de", at most a few times
// a second, on a terminal only.
VerifyProgress ShowProgress(ProgressLine& line) {
  return [&line](VerifyStep step, const TreeProgress& progress) {
    if (!line.Due()) return;
    const std::string text = step == VerifyStep::CopyingOld
                           ? "verify: copying OLD: " + Counted(progress.Done, "file", "files")
                           : "verify: " + WithThousands(progress.Done) + " of " +
                                 WithThousands(progress.Total) + " files compared";
    line.Show(text + "  " + std::string(progress.Folder));
  };
}

nlohmann::json DifferenceJson(const TreeDifference& difference) {
  nlohmann::json out{{"kind", KindWord(difference.What)}, {"path", difference.Path}};
  if (difference.What == TreeDifference::Kind::Time) {
    out["resultTime"] = FileTimeText(difference.ComparedTime);
    out["newTime"] = FileTimeText(difference.ExpectedTime);
  }
  return out;
}

// The findings as gcc lines, or as workflow commands for GitHub Actions; the
// lists of paths are the same in both.
// bundleProblems of the findings are the bundle's own, which leave the
// comparison with NEW to be made.
void PrintText(const std::string& script, const VerifyReport& report, bool github,
               std::size_t bundleProblems) {
  const auto findingLine = github ? GithubCommand : GccLine;
  for (const Finding& finding : report.Findings) std::cout << findingLine(finding) << '\n';
  for (const std::string& folder : report.CreatedFolders) {
    std::cout << std::left << std::setw(kKindColumnWidth) << "created-folder" << folder << '\n';
  }
  for (const ListedRun& run : report.Runs) {
    std::cout << findingLine(RunFinding(script, run)) << '\n';
  }
  for (const TreeDifference& difference : report.Differences) {
    std::cout << std::left << std::setw(kKindColumnWidth) << KindWord(difference.What)
              << difference.Path << TimesShown(difference) << '\n';
  }
  for (const std::string& kept : report.Kept) {
    std::cout << std::left << std::setw(kKindColumnWidth) << "kept" << kept << '\n';
  }
  for (const TreeDifference& kept : report.KeptWithOldTime) {
    std::cout << std::left << std::setw(kKindColumnWidth) << kKeptWithOldTimeWord << kept.Path
              << TimesShown(kept) << '\n';
  }
  // Counts as the progress line writes them: "20,172 files".
  const std::string compared = Counted(report.FilesCompared, "file", "files") + " compared";
  if (bundleProblems > 0) {
    std::cerr << "verify: " << Counted(bundleProblems, "problem", "problems")
              << " with the bundle\n";
  }
  if (report.Findings.size() > bundleProblems) {
    std::cerr << "verify: " << Counted(report.Findings.size() - bundleProblems, "problem", "problems")
              << ": lines the updater would stop at, or that verify does not "
                 "apply; the result was not compared with NEW\n";
  } else if (!report.Differences.empty()) {
    std::cerr << "verify: " << Counted(report.Differences.size(), "difference", "differences")
              << " between the result and NEW\n";
  } else if (bundleProblems > 0) {
    std::cerr << "verify: the result from the bundle equals NEW (" << compared << ")\n";
  } else if (!report.KeptWithOldTime.empty()) {
    const std::size_t kept = report.KeptWithOldTime.size();
    std::cerr << "verify: the result equals NEW but for " << Counted(kept, "file", "files")
              << (kept == 1 ? " that keeps" : " that keep") << " OLD's last-write time ("
              << compared << ")\n";
  } else {
    std::cerr << "verify: the result equals NEW (" << compared << ")\n";
  }
}

void PrintJson(const std::string& script, const VerifyReport& report) {
  nlohmann::json out;
  out["script"] = script;
  out["findings"] = nlohmann::json::array();
  for (const Finding& finding : report.Findings) {
    out["findings"].push_back(FindingJson(finding, JsonFields::Located));
  }
  // Each run is a finding object of its own (info), with its command line.
  out["runs"] = nlohmann::json::array();
  for (const ListedRun& run : report.Runs) {
    nlohmann::json entry = FindingJson(RunFinding(script, run), JsonFields::Located);
    entry["commandLine"] = run.CommandLine;
    out["runs"].push_back(entry);
  }
  out["createdFolders"] = report.CreatedFolders;
  out["kept"] = report.Kept;
  out["differences"] = nlohmann::json::array();
  for (const TreeDifference& difference : report.Differences) {
    out["differences"].push_back(DifferenceJson(difference));
  }
  out["keptWithOldTime"] = nlohmann::json::array();
  for (const TreeDifference& kept : report.KeptWithOldTime) {
    nlohmann::json entry = DifferenceJson(kept);
    entry.erase("kind");
    out["keptWithOldTime"].push_back(entry);
  }
  out["filesCompared"] = report.FilesCompared;
  out["match"] = report.ExitCode() == kExitClean;
  // A Linux file name need not be UTF-8; JSON must be.
  std::cout << JsonText(out) << '\n';
}

// The public key's text, for --public-key; nothing, with the reason said,
// when it cannot be used (exitCode then says why).
std::optional<std::string> ReadPublicKey(const VerifyOptions& options, int& exitCode) {
  exitCode = kExitUsage;
  if (options.Bundle.empty()) {
    std::cerr << "verify: --public-key checks a bundle's MANIFEST.sig: give --bundle DIR too\n";
    return std::nullopt;
  }
  std::ifstream in(std::filesystem::u8path(options.PublicKey), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    std::cerr << options.PublicKey << ": cannot be read\n";
    exitCode = kExitUnreadable;
    return std::nullopt;
  }
  const std::string refused = ProblemOfPublicKey(text);
  if (!refused.empty()) {
    std::cerr << "verify: --public-key " << options.PublicKey << ": " << refused << '\n';
    return std::nullopt;
  }
  exitCode = kExitClean;
  return text;
}

int RunVerify(const VerifyOptions& givenOptions) {
  VerifyOptions options = givenOptions;
  std::optional<std::string> publicKey;
  if (!options.PublicKey.empty()) {
    int exitCode = kExitClean;
    publicKey = ReadPublicKey(options, exitCode);
    if (!publicKey) return exitCode;
  }
  BundleCheck bundle;
  const std::filesystem::path bundleFolder = std::filesystem::u8path(options.Bundle);
  if (!options.Bundle.empty()) {
    bundle = CheckBundle(bundleFolder, options.Bundle, publicKey);
    if (!bundle.Error.empty()) {
      std::cerr << "verify: " << bundle.Error << '\n';
      return kExitUnreadable;
    }
    // The bundle's own script unless another is named.
    if (options.Script.empty() && !bundle.Manifest.ScriptName.empty()) {
      options.Script = (bundleFolder / std::filesystem::u8path(bundle.Manifest.ScriptName)).u8string();
    }
  }
  if (options.Script.empty()) {
    std::cerr << "verify: name the SCRIPT, or give --bundle DIR whose MANIFEST names one\n";
    return options.Bundle.empty() ? kExitUsage : kExitUnreadable;
  }
  const std::optional<std::string> sourceRoot = Utf8ToLatin1(options.SourceRoot);
  const std::optional<std::string> targetRoot = Utf8ToLatin1(options.TargetRoot);
  if (!sourceRoot || !targetRoot) {
    std::cerr << "verify: a root must be written in Latin-1, as script paths are\n";
    return kExitUsage;
  }
  const InputBytes input = ReadInputBytes(options.Script);
  if (!input.Error.empty()) {
    std::cerr << options.Script << ": " << input.Error << '\n';
    return kExitUnreadable;
  }
  const std::optional<std::vector<std::wstring>> excludes =
      ExcludePatternsFromUtf8(options.Excludes);
  if (!excludes) {
    std::cerr << "verify: --exclude: it is not UTF-8\n";
    return kExitUsage;
  }
  VerifySetup setup{std::filesystem::u8path(options.Old),
                    std::filesystem::u8path(options.New), *sourceRoot, *targetRoot,
                    options.Times, options.NewFolders, *excludes};
  // The bundle alone must give NEW: its payload is where the sources lie.
  if (!options.Bundle.empty()) setup.Sources = bundleFolder / std::string(kPayloadFolderName);
  const std::vector<ScriptLine> lines = ParseScriptLines(input.Bytes);
  const StandardErrorProgress shown = StandardErrorProgressSettings(options.Quiet);
  ProgressLine progressLine(std::cerr, shown.Shown, shown.Columns);
  VerifyReport report = VerifyScript(lines, setup, ShowProgress(progressLine));
  progressLine.Clear();
  if (!report.Error.empty()) {
    std::cerr << "verify: " << report.Error << '\n';
    return report.ExitCode();
  }
  if (!options.Bundle.empty()) {
    if (std::optional<Finding> differs =
            SourceRootDiffers(bundle.Manifest, *sourceRoot, options.Bundle)) {
      bundle.Findings.push_back(*differs);
    }
    std::vector<Finding> sources = SourcesNotInManifest(lines, *sourceRoot, bundle.Manifest);
    bundle.Findings.insert(bundle.Findings.end(), sources.begin(), sources.end());
  }
  const std::size_t bundleProblems = bundle.Findings.size();
  report.Findings.insert(report.Findings.begin(), bundle.Findings.begin(), bundle.Findings.end());
  for (Finding& finding : report.Findings) {
    if (finding.File.empty()) finding.File = options.Script;
  }
  if (options.Format == "json") {
    PrintJson(options.Script, report);
  } else {
    PrintText(options.Script, report, options.Format == "github", bundleProblems);
  }
  return report.ExitCode();
}

}  // namespace

void AddVerifyCommand(CLI::App& program, int& exitCode) {
  auto options = std::make_shared<VerifyOptions>();
  CLI::App* command = program.add_subcommand(
      "verify",
      "Applies SCRIPT as the updater would to a temporary copy of OLD, and "
      "compares the result with NEW.\n"
      "A path below --source-root names a file of NEW, one below --target-root "
      "a file of OLD's copy; names compare as on Windows. A COP copies contents "
      "and last-write time; a RUN is listed, never started. OLD and NEW are "
      "never changed: a COP whose target lies outside the installed folder is "
      "a problem, and is not applied. A COP of a file onto itself does nothing.\n"
      "Every file must match NEW in its bytes, and every file a COP wrote in "
      "its last-write time too. A file of OLD that NEW lacks and no COP wrote "
      "is listed as kept (the format has no delete, so it stays); one with "
      "NEW's bytes but another time is listed as kept-with-old-time. Neither "
      "fails, unless --times makes the second a time difference.\n"
      "Problems and RUN lines are findings, one a line as compilers write them: "
      "SCRIPT:LINE:COLUMN: error: message [DV107]; the codes (DV1xx) are in "
      "docs/lint-rules.md. --format json gives each as an object (file, line, "
      "column, severity, code, message); --format github as GitHub Actions workflow commands. On a terminal a progress line on "
      "standard error counts the files copied and compared.\n"
      "With --bundle DIR (from make --bundle) the bundle is checked first, each "
      "problem a finding: a COP source the MANIFEST lacks (DV113), a line whose "
      "file differs in size or SHA-256 or is missing (DV114), a file the MANIFEST "
      "does not list (DV115), a malformed line (DV116), and with --public-key "
      "a MANIFEST.sig missing or not valid (DV117); then the script is replayed "
      "with DIR/payload as the sources and compared with NEW.\n"
      "Exit codes: 0 the result equals NEW (kept files aside), 1 problems or "
      "differences, 2 a folder or the script could not be read, 3 wrong usage.");
  command->add_option("--old", options->Old, "the installed version")
      ->required()->type_name("DIR");
  command->add_option("--new", options->New, "the version the script must produce")
      ->required()->type_name("DIR");
  command->add_option("--source-root", options->SourceRoot,
                      "where NEW lies on the target machine (a Windows path)")
      ->required()->type_name("PATH");
  command->add_option("--target-root", options->TargetRoot,
                      "where the installed version lies on the target machine")
      ->required()->type_name("PATH");
  command->add_flag("--times", options->Times,
                    "also require NEW's last-write time of files no COP wrote, as "
                    "make --times copies them");
  command->add_flag("--new-folders", options->NewFolders,
                    "first create in the copy the missing folders above COP targets, as the "
                    "application does with CreateTargetFolders before it starts the updater "
                    "(listed as created-folder)");
  command
      ->add_option("--exclude", options->Excludes,
                   "leave out of the comparison the paths make --exclude left out, with the "
                   "same GLOB ('**/*.pdb'); repeat for more")
      ->type_name("GLOB")
      ->allow_extra_args(false);
  command
      ->add_option("--format", options->Format,
                   "text (default), json, or github: the findings as GitHub Actions workflow "
                   "commands (::error ...), the differences as in text")
      ->check(CLI::IsMember({"text", "json", "github"}));
  command->add_flag("-q,--quiet", options->Quiet,
                    "no progress line on standard error (shown only on a terminal)");
  command
      ->add_option("--bundle", options->Bundle,
                   "check a bundle of make --bundle: every MANIFEST line against its file, no "
                   "file left out, every COP source in it; then replay from DIR/payload, so "
                   "that the bundle alone must give NEW (SCRIPT: the bundle's own by default)")
      ->type_name("DIR");
  command
      ->add_option("--public-key", options->PublicKey,
                   "with --bundle, also check DIR/MANIFEST.sig with this EC P-256 public key "
                   "(PEM \"PUBLIC KEY\"; the Linux build)")
      ->type_name("PUB.pem");
  command->add_option("SCRIPT", options->Script,
                      "the update script, or - for standard input; with --bundle, the one the "
                      "bundle's MANIFEST names when left out");
  command->callback([options, &exitCode] { exitCode = RunVerify(*options); });
}
