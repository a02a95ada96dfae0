// devidudi-script verify: proves a script right before it ships, by applying
// it to a copy of the installed folder and comparing the result with NEW.

#include <iomanip>
#include <iostream>
#include <memory>
#include <optional>

#include <nlohmann/json.hpp>

#include "names/text_conversions.h"
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
void PrintText(const std::string& script, const VerifyReport& report, bool github) {
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
  if (!report.Findings.empty()) {
    std::cerr << "verify: " << Counted(report.Findings.size(), "problem", "problems")
              << ": lines the updater would stop at, or that verify does not "
                 "apply; the result was not compared with NEW\n";
  } else if (!report.Differences.empty()) {
    std::cerr << "verify: " << Counted(report.Differences.size(), "difference", "differences")
              << " between the result and NEW\n";
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

int RunVerify(const VerifyOptions& options) {
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
  const VerifySetup setup{std::filesystem::u8path(options.Old),
                          std::filesystem::u8path(options.New), *sourceRoot, *targetRoot,
                          options.Times, options.NewFolders, *excludes};
  const StandardErrorProgress shown = StandardErrorProgressSettings(options.Quiet);
  ProgressLine progressLine(std::cerr, shown.Shown, shown.Columns);
  VerifyReport report =
      VerifyScript(ParseScriptLines(input.Bytes), setup, ShowProgress(progressLine));
  progressLine.Clear();
  if (!report.Error.empty()) {
    std::cerr << "verify: " << report.Error << '\n';
    return report.ExitCode();
  }
  for (Finding& finding : report.Findings) finding.File = options.Script;
  if (options.Format == "json") {
    PrintJson(options.Script, report);
  } else {
    PrintText(options.Script, report, options.Format == "github");
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
  command->add_option("SCRIPT", options->Script, "the update script, or - for standard input")
      ->required();
  command->callback([options, &exitCode] { exitCode = RunVerify(*options); });
}
