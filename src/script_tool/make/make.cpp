// devidudi-script make: the script that turns the installed version into the
// new one, from the two folders; the plan on standard error.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "script_tool/bundle/bundle_writer.h"
#include "script_tool/bundle/manifest_signature.h"
#include "script_tool/cli/exit_codes.h"
#include "script_tool/findings/gcc_format.h"
#include "script_tool/findings/json_format.h"
#include "script_tool/cli/progress_line.h"
#include "script_tool/make/make_json.h"
#include "script_tool/make/make_plan.h"
#include "script_tool/tree_walker/exclude_glob.h"
#include "names/text_conversions.h"
#include "script_tool/cli/subcommands.h"
#include "updater_client/updater_client.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace fs = std::filesystem;

namespace {

constexpr const char* kMakeFooter =
    "The plan, one line a file on standard error (after rsync --itemize-changes):\n"
    "  >f+++ PATH   new in NEW: copied\n"
    "  >fsct PATH   copied; s the size differs, c the bytes (same size), t the\n"
    "               last-write time ('.' where equal; t alone copies with --times)\n"
    "  *kept PATH   only in OLD: stays, for a script cannot delete (one warning,\n"
    "               DM041, counts them all)\n"
    "  cd+++ PATH/  a folder of NEW missing in OLD (--new-folders), before the\n"
    "               files in it: the application creates it before it starts the\n"
    "               updater (CreateTargetFolders in the application library)\n"
    "Errors and warnings follow as 'PATH: error: ... [DM010]' (the codes are in\n"
    "docs/lint-rules.md). No script is written when\n"
    "there is an error: a folder of NEW missing in OLD without --new-folders (the\n"
    "updater creates no folders), or with it one of 248 units or more once rooted\n"
    "(Windows creates none such), a name a script cannot carry (not Latin-1, a\n"
    "control character, a character Windows forbids, two names equal to Windows,\n"
    "a path of 260 units or more once rooted), a symbolic link, a file that\n"
    "cannot be read, a file whose copy's temporary file (its name with .ddu-new\n"
    "appended) is a file of NEW or OLD, which the copy would overwrite.\n"
    "The script is checked with lint's rules before it is written: an error\n"
    "refuses it, a warning is shown with its code ('--run 1: warning: ... [DS044]'),\n"
    "as is a --run program under --target-root that NEW does not have [DS050].\n"
    "Nothing to copy and no --run: 'nothing to update', no script, exit 1, unless\n"
    "--allow-empty writes the empty script.\n"
    "--exclude GLOB leaves out the files whose relative path it matches, as Windows\n"
    "compares names ('/' or '\\' between names, letters in any case): '*' any\n"
    "characters within a name, '?' one, '**' any folders ('**/*.pdb',\n"
    "'config/user.ini'); a pattern matching a folder leaves out all it holds.\n"
    "The script goes to standard output unless -o names a file ('-' is standard\n"
    "output too); a file is written whole or not at all. It is Latin-1 with CR LF\n"
    "line ends, one COP line a file in the order Windows sorts the paths, then the\n"
    "RUN lines in the order given: the same folders give the same bytes.\n"
    "--bundle DIR also writes the release's bundle, whole or not at all: the files\n"
    "the script copies under DIR/payload (NEW's bytes and last-write times), the\n"
    "script under its own name, and DIR/MANIFEST listing each with its SHA-256 and\n"
    "size; --sign KEY.pem (an EC P-256 private key, PEM) adds DIR/MANIFEST.sig,\n"
    "which 'openssl dgst -sha256 -verify public.pem -signature MANIFEST.sig\n"
    "MANIFEST' checks (the Linux build signs; the Windows build exits 3). DIR must\n"
    "not exist or be empty (else exit 3); it needs -o SCRIPT.\n"
    "With --format json the plan, the summary and the findings are one JSON\n"
    "document on standard output (see the README), and the script goes to -o;\n"
    "with --bundle, \"bundle\" tells its folder, payloadFiles and signed.\n"
    "On a terminal a progress line on standard error counts NEW's files.\n"
    "Exit codes: 0 written (or --dry-run without errors), 1 errors or nothing to\n"
    "update (no script), 2 a folder could not be read or the script not written,\n"
    "3 wrong usage.";

struct MakeOptions {
  std::string oldFolder;
  std::string newFolder;
  std::string sourceRoot;
  std::string targetRoot;
  std::vector<std::string> runs;
  std::string output = "-";
  std::vector<std::string> excludes;
  bool times = false;
  bool newFolders = false;
  bool dryRun = false;
  bool allowEmpty = false;
  std::string format = "text";
  bool quiet = false;
  std::string bundle;
  std::string signingKey;
};

// What --bundle and --sign ask for, checked before anything is compared:
// exit 0 when all is usable, with the key's text read.
int CheckBundleOptions(const MakeOptions& options, std::optional<std::string>& key) {
  const char* const prefix = "devidudi-script make: ";
  if (!options.signingKey.empty() && options.bundle.empty()) {
    std::cerr << prefix << "--sign signs a bundle's MANIFEST: give --bundle DIR too\n";
    return kExitUsage;
  }
  if (options.bundle.empty()) return kExitClean;
  if (options.output == "-") {
    std::cerr << prefix << "--bundle holds the script under its file's name: name it with -o\n";
    return kExitUsage;
  }
  const std::string name = fs::u8path(options.output).filename().u8string();
  const std::string badName = ProblemOfBundledScriptName(name);
  if (!badName.empty()) {
    std::cerr << prefix << "-o " << options.output << ": the script's name " << badName << '\n';
    return kExitUsage;
  }
  std::error_code error;
  const fs::path folder = fs::u8path(options.bundle);
  if (fs::exists(folder, error) &&
      !(fs::is_directory(folder, error) && fs::is_empty(folder, error))) {
    std::cerr << prefix << "--bundle " << options.bundle
              << ": exists and is not an empty folder; a bundle is written whole into a new "
                 "one\n";
    return kExitUsage;
  }
  if (options.signingKey.empty()) return kExitClean;
  if (!CanSignManifests()) {
    std::cerr << prefix << "--sign " << ProblemOfPrivateKey({}) << '\n';
    return kExitUsage;
  }
  std::ifstream in(fs::u8path(options.signingKey), std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (!in && !in.eof()) {
    std::cerr << options.signingKey << ": cannot be read\n";
    return kExitUnreadable;
  }
  const std::string refused = ProblemOfPrivateKey(text);
  if (!refused.empty()) {
    std::cerr << prefix << "--sign " << options.signingKey << ": " << refused << '\n';
    return kExitUsage;
  }
  key = std::move(text);
  return kExitClean;
}

// The bundle, whole, before the script goes to -o: a release never has a
// script without its bundle.
int WriteTheBundle(const MakeOptions& options, const MakeOutcome& outcome,
                   std::optional<std::string> key) {
  BundleRequest request;
  request.Folder = fs::u8path(options.bundle);
  request.ScriptName = fs::u8path(options.output).filename().u8string();
  request.ScriptBytes = outcome.Script.Bytes();
  request.SourceRoot = options.sourceRoot;
  request.Files = outcome.Copied;
  request.PrivateKeyPem = std::move(key);
  const BundleOutcome written = WriteBundle(request);
  if (!written.Error.empty()) {
    std::cerr << options.bundle << ": error: the bundle could not be written: " << written.Error
              << "; no script written\n";
    return written.FolderTaken ? kExitUsage : kExitUnreadable;
  }
  std::cerr << "make: wrote the bundle " << options.bundle << " ("
            << Counted(written.Files, "file", "files") << ", " << written.Bytes << " bytes" << (request.PrivateKeyPem ? ", MANIFEST signed" : "") << ")\n";
  return kExitClean;
}

// "make: 12,345 of 20,000 files of NEW compared  locale/de", at most a few
// times a second, on a terminal only.
TreeProgressReport ShowProgress(ProgressLine& line) {
  return [&line](const TreeProgress& progress) {
    if (!line.Due()) return;
    line.Show("make: " + WithThousands(progress.Done) + " of " + WithThousands(progress.Total) +
              " files of NEW compared  " + std::string(progress.Folder));
  };
}

// A root as the writer takes it; an empty text with the reason on standard
// error when it cannot be one.
std::optional<std::wstring> RootFromArgument(const char* option, const std::string& argument) {
  const std::optional<std::wstring> root = Utf8ToWide(argument);
  const std::wstring refused = root ? devidudi::CheckCopyPath(*root) : L"it is not UTF-8";
  if (!refused.empty()) {
    std::cerr << "devidudi-script make: " << option << ": " << WideToUtf8(refused) << '\n';
    return std::nullopt;
  }
  return root;
}

// All at once: standard error is unbuffered, and a plan may have thousands
// of lines. A folder that could not be read leaves the comparison unfinished:
// no summary then, whose counts would mislead.
void ShowOutcome(const MakeOutcome& outcome, bool excluding) {
  std::string text;
  for (const PlanItem& item : outcome.Plan) text += PlanCode(item) + ' ' + item.Path + '\n';
  for (const Finding& warning : outcome.Warnings) text += GccLine(warning) + '\n';
  for (const Finding& error : outcome.Errors) text += GccLine(error) + '\n';
  if (!outcome.FolderUnreadable) text += MakeSummaryLine(outcome, excluding);
  std::cerr << text;
}

bool WriteToStandardOutput(const std::string& bytes) {
#ifdef _WIN32
  // The bytes as they are: text mode would make each CR LF a CR CR LF.
  std::cout.flush();
  _setmode(_fileno(stdout), _O_BINARY);
#endif
  std::cout.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  std::cout.flush();
  return static_cast<bool>(std::cout);
}

int RunMake(const MakeOptions& options) {
  const bool json = options.format == "json";
  if (json && options.output == "-" && !options.dryRun) {
    std::cerr << "devidudi-script make: --format json writes the plan to standard output: "
                 "name the script's file with -o, or give --dry-run\n";
    return kExitUsage;
  }
  std::optional<std::string> signingKey;
  const int bundleUsable = CheckBundleOptions(options, signingKey);
  if (bundleUsable != kExitClean) return bundleUsable;
  MakeRequest request;
  request.OldFolder = fs::u8path(options.oldFolder);
  request.NewFolder = fs::u8path(options.newFolder);
  request.Times = options.times;
  request.NewFolders = options.newFolders;
  const std::optional<std::wstring> sourceRoot =
      RootFromArgument("--source-root", options.sourceRoot);
  const std::optional<std::wstring> targetRoot =
      RootFromArgument("--target-root", options.targetRoot);
  if (!sourceRoot || !targetRoot) return kExitUsage;
  request.SourceRoot = *sourceRoot;
  request.TargetRoot = *targetRoot;
  for (const std::string& run : options.runs) {
    // A run that is not UTF-8 goes on as one unit the writer refuses.
    request.Runs.push_back(Utf8ToWide(run).value_or(std::wstring(1, L'\xFFFD')));
  }

  const std::optional<std::vector<std::wstring>> excludes =
      ExcludePatternsFromUtf8(options.excludes);
  if (!excludes) {
    std::cerr << "devidudi-script make: --exclude: it is not UTF-8\n";
    return kExitUsage;
  }
  request.Excludes = *excludes;

  const StandardErrorProgress shown = StandardErrorProgressSettings(options.quiet);
  ProgressLine progressLine(std::cerr, shown.Shown, shown.Columns);
  const MakeOutcome outcome = MakeScript(request, ShowProgress(progressLine));
  progressLine.Clear();
  if (json) {
    const std::optional<std::string> file =
        options.dryRun ? std::nullopt : std::optional<std::string>(options.output);
    nlohmann::json out = MakeJson(outcome, file, !options.allowEmpty);
    // What --bundle will write, told with the plan: null where no script is.
    out["bundle"] = nullptr;
    if (!options.bundle.empty() && file && !out["script"].is_null()) {
      out["bundle"] = {{"folder", options.bundle},
                       {"payloadFiles", outcome.Copied.size()},
                       {"signed", signingKey.has_value()}};
    }
    std::cout << JsonText(out) << '\n' << std::flush;
  } else {
    ShowOutcome(outcome, !request.Excludes.empty());
  }
  if (outcome.FolderUnreadable) return kExitUnreadable;
  if (!outcome.Errors.empty()) {
    std::cerr << "make: " << Counted(outcome.Errors.size(), "error", "errors")
              << ": no script written\n";
    return kExitFindings;
  }
  std::cerr << NewFoldersReminder(outcome);
  const std::size_t lines = outcome.Script.LineCount();
  if (lines == 0 && !options.allowEmpty) {
    std::cerr << "make: nothing to update (no file to copy, no --run): no script written; "
                 "--allow-empty writes the empty script\n";
    return kExitFindings;
  }
  if (options.dryRun) {
    std::cerr << "make: dry run: " << Counted(lines, "line", "lines") << ", nothing written\n";
    return kExitClean;
  }
  if (options.output == "-") {
    if (!WriteToStandardOutput(outcome.Script.Bytes())) {
      std::cerr << "make: standard output could not be written\n";
      return kExitUnreadable;
    }
    return kExitClean;
  }
  if (!options.bundle.empty()) {
    const int bundled = WriteTheBundle(options, outcome, std::move(signingKey));
    if (bundled != kExitClean) return bundled;
  }
  const std::error_code error = outcome.Script.WriteTo(fs::u8path(options.output));
  if (error && !options.bundle.empty()) {
    // Whole or not at all: the bundle just made goes with the script.
    std::error_code ignored;
    fs::remove_all(fs::u8path(options.bundle), ignored);
    std::cerr << "make: the bundle " << options.bundle << " is removed again\n";
  }
  if (error) {
    std::cerr << options.output << ": error: the script could not be written: " << error.message()
              << " (" << error.value() << ")\n";
    return kExitUnreadable;
  }
  std::cerr << "make: wrote " << options.output << " (" << Counted(lines, "line", "lines") << ")\n";
  return kExitClean;
}

}  // namespace

void AddMakeCommand(CLI::App& program, int& exitCode) {
  CLI::App* const command = program.add_subcommand(
      "make", "Makes the script that turns the installed version (OLD) into the new one (NEW).");
  command->footer(kMakeFooter);
  const auto options = std::make_shared<MakeOptions>();
  command->add_option("--old", options->oldFolder, "the installed version, as it is now")
      ->type_name("DIR")
      ->required();
  command->add_option("--new", options->newFolder, "the new version")->type_name("DIR")->required();
  command
      ->add_option("--source-root", options->sourceRoot,
                   "where NEW's files will lie on the machine that runs the update "
                   "(a Windows path: C:\\... or \\\\server\\share\\...)")
      ->type_name("PATH")
      ->required();
  command
      ->add_option("--target-root", options->targetRoot,
                   "the installed folder on that machine (a Windows path)")
      ->type_name("PATH")
      ->required();
  command
      ->add_option("--run", options->runs,
                   "a command line to start after the copies; repeat for more, in order")
      ->type_name("CMDLINE")
      ->allow_extra_args(false);
  command
      ->add_option("-o,--output", options->output,
                   "the script file to write ('-', the default: standard output)")
      ->type_name("SCRIPT");
  command->add_flag("--times", options->times,
                    "also copy files whose contents are equal but last-write times are not");
  command->add_flag("--new-folders", options->newFolders,
                    "write the script even where NEW has folders OLD lacks; the application "
                    "creates them before it starts the updater (CreateTargetFolders)");
  command->add_flag("--dry-run", options->dryRun, "show the plan and write nothing");
  command
      ->add_option("--exclude", options->excludes,
                   "leave out files whose relative path matches GLOB ('**/*.pdb'); repeat for "
                   "more")
      ->type_name("GLOB")
      ->allow_extra_args(false);
  command->add_flag("--allow-empty", options->allowEmpty,
                    "write the script even when there is nothing to update");
  command
      ->add_option("--format", options->format,
                   "text (default), or json: the plan, the summary and the findings as one "
                   "JSON document on standard output, instead of the plan on standard error; "
                   "needs -o FILE or --dry-run")
      ->check(CLI::IsMember({"text", "json"}));
  command
      ->add_option("--bundle", options->bundle,
                   "also write the bundle: DIR/payload (the files copied), the script and "
                   "DIR/MANIFEST (SHA-256 and size of each); DIR must not exist or be empty")
      ->type_name("DIR");
  command
      ->add_option("--sign", options->signingKey,
                   "sign the bundle's MANIFEST into DIR/MANIFEST.sig with this EC P-256 private "
                   "key (PEM; the Linux build)")
      ->type_name("KEY.pem");
  command->add_flag("-q,--quiet", options->quiet,
                    "no progress line on standard error (shown only on a terminal)");
  command->callback([options, &exitCode] { exitCode = RunMake(*options); });
}
