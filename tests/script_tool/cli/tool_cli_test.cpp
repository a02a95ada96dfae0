// devidudi-script lint and print as a CI step runs them: the real program,
// its output and its exit code.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>

#include "script_tool/tree_walker/file_write_time.h"
#include "support/scratch_folder.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/wait.h>
#endif

namespace fs = std::filesystem;

namespace {

struct Outcome {
  int ExitCode = -1;
  std::string Output;
};

// Runs the program with these arguments once; standard error goes to the
// test's own.
Outcome RunToolOnce(const std::string& arguments) {
#ifdef _WIN32
  // The program lies beside the test program. Its path holds no blank, so
  // it goes unquoted: cmd.exe would strip the first quotation mark.
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const std::string command =
      (fs::path(self).parent_path() / DEVIDUDI_SCRIPT_TOOL).string() + " " + arguments;
  FILE* pipe = _popen(command.c_str(), "rb");
#else
  const std::string command = "'" DEVIDUDI_SCRIPT_TOOL "' " + arguments;
  FILE* pipe = popen(command.c_str(), "r");
#endif
  Outcome outcome;
  if (pipe == nullptr) return outcome;
  char buffer[4096];
  std::size_t read;
  while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) outcome.Output.append(buffer, read);
#ifdef _WIN32
  outcome.ExitCode = _pclose(pipe);
  // The program writes text in the runtime's text mode, as Windows programs
  // do: each line ends in CR LF there.
  for (std::size_t crLf; (crLf = outcome.Output.find("\r\n")) != std::string::npos;) {
    outcome.Output.erase(crLf, 1);
  }
#else
  const int status = pclose(pipe);
  outcome.ExitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
#endif
  return outcome;
}

// The program's exit codes are 0 to 3 (a crash gives an NTSTATUS); -1 with
// nothing read means the command processor itself did not run. Seen once
// under Wine, with a fresh prefix and other test programs starting
// updaters beside this one: that is tried again, once.
Outcome RunTool(const std::string& arguments) {
  Outcome outcome = RunToolOnce(arguments);
  if (outcome.ExitCode == -1 && outcome.Output.empty()) outcome = RunToolOnce(arguments);
  return outcome;
}

class ToolCommandLine : public testing::Test {
 protected:
  void SetUp() override {
    Write("clean.txt", "COP\tC:\\new\\a.exe\tC:\\app\\a.exe\r\nRUN C:\\app\\a.exe\r\n");
    Write("mistakes.txt", "cop\tC:\\new\\a.exe\tC:\\app\\a.exe\nRUN a.exe\n");
    Write("latin1.txt", "COP\tC:\\new\\caf\xE9.txt\tC:\\app\\caf\xE9.txt\r\n");
  }

  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(folder_ / name, std::ios::binary) << bytes;
  }
  std::string Path(const std::string& name) const { return "\"" + (folder_ / name).string() + "\""; }

  const ScratchFolder scratch_{"devidudi-script-test"};
  const fs::path folder_ = scratch_.Path();
};

TEST_F(ToolCommandLine, ExitCodesTellCleanFindingsUnreadableAndUsage) {
  const struct {
    std::string Arguments;
    int ExitCode;
  } cases[] = {
      {"lint " + Path("clean.txt"), 0},
      {"lint " + Path("mistakes.txt"), 1},
      {"lint - < " + Path("mistakes.txt"), 1},
      {"lint - < " + Path("clean.txt"), 0},
      {"lint --severity error --disable DS001 " + Path("mistakes.txt"), 0},
      {"lint --severity warning " + Path("mistakes.txt"), 1},
      // Info findings are shown, and fail only when --severity info asks.
      {"lint " + Path("latin1.txt"), 0},
      {"lint --severity info " + Path("latin1.txt"), 1},
      {"lint --severity warning " + Path("latin1.txt"), 0},
      {"lint --severity error --disable ds001 " + Path("mistakes.txt"), 0},
      {"frobnicate", 3},
      {"frobnicate " + Path("clean.txt"), 3},
      {"lint " + Path("clean.txt") + " " + Path("missing.txt"), 2},
      {"lint \"" + folder_.string() + "\"", 2},
      {"lint --format xml " + Path("clean.txt"), 3},
      {"lint --disable DS999 " + Path("clean.txt"), 3},
      {"lint", 3},
      {"print " + Path("mistakes.txt"), 0},
      {"print " + Path("missing.txt"), 2},
      {"print --help", 0},
      {"--version", 0},
      {"explain dv109", 0},
      {"explain DS999", 3},
      {"explain", 3},
      {"rules --format json", 0},
      {"rules --format xml", 3},
  };
  for (const auto& c : cases) EXPECT_EQ(RunTool(c.Arguments).ExitCode, c.ExitCode) << c.Arguments;
}

// What the program says on standard error when it stops or has nothing to do:
// one clear line, and no summary after a fatal error.
TEST_F(ToolCommandLine, SaysWhyItStopsAndNothingMore) {
  fs::create_directories(folder_ / "same");
  Write("same/a.txt", "a");
  fs::create_directories(folder_ / "more");
  for (const char* name : {"a.txt", "b.txt", "c.txt"}) Write(std::string("more/") + name, "a");
  Write("empty.txt", "");
  const std::string roots = " --source-root C:/U --target-root C:/A";
  const struct {
    std::string Arguments;
    int ExitCode;
    std::string Said;     // the whole output, standard error included
  } cases[] = {
      {"frobnicate", 3, "devidudi-script: no subcommand 'frobnicate'; see --help\n"},
      {"explain ds999", 3,
       "devidudi-script: no code 'ds999'; devidudi-script rules lists every code\n"},
      // A mistyped subcommand: the one it is nearest to, or those it begins.
      {"lnt " + Path("clean.txt"), 3,
       "devidudi-script: no subcommand 'lnt' (did you mean 'lint'?); see --help\n"},
      {"verfiy", 3,
       "devidudi-script: no subcommand 'verfiy' (did you mean 'verify'?); see --help\n"},
      {"Make", 3, "devidudi-script: no subcommand 'Make' (did you mean 'make'?); see --help\n"},
      {"pre", 3, "devidudi-script: no subcommand 'pre' (did you mean 'preflight'?); see --help\n"},
      {"p", 3,
       "devidudi-script: no subcommand 'p' (did you mean 'print' or 'preflight'?); see --help\n"},
      // Files only in OLD: each in the plan, and one warning for them all.
      {"make --old " + Path("more") + " --new " + Path("same") + roots, 1,
       "*kept b.txt\n*kept c.txt\n" + (folder_ / "more").string() +
           ": warning: holds 2 files that NEW lacks (*kept in the plan): a script cannot delete "
           "them, so they stay [DM041]\n"
           "make: 0 to copy (0 new, 0 changed), 2 only in OLD, 1 unchanged\n"
           "make: nothing to update (no file to copy, no --run): no script written; "
           "--allow-empty writes the empty script\n"},
      // The singular for one.
      {"make --old " + Path("same") + " --new " + Path("same") + roots +
           " --run D:/x.exe --dry-run", 0,
       "make: 0 to copy (0 new, 0 changed), 0 only in OLD, 1 unchanged\n"
       "make: dry run: 1 line, nothing written\n"},
      {"verify --old " + Path("same") + " --new " + Path("same") + roots + " " + Path("empty.txt"),
       0, "verify: the result equals NEW (1 file compared)\n"},
      {"make --old " + Path("none") + " --new " + Path("same") + roots, 2,
       (folder_ / "none").string() + ": error: cannot be read: no such folder [DM001]\n"},
      {"make --old " + Path("same") + " --new " + Path("same") + roots, 1,
       "make: 0 to copy (0 new, 0 changed), 0 only in OLD, 1 unchanged\n"
       "make: nothing to update (no file to copy, no --run): no script written; --allow-empty "
       "writes the empty script\n"},
      {"make --old " + Path("same") + " --new " + Path("same") + roots + " --allow-empty", 0,
       "make: 0 to copy (0 new, 0 changed), 0 only in OLD, 1 unchanged\n"},
  };
  for (const auto& c : cases) {
    const Outcome outcome = RunTool(c.Arguments + " 2>&1");
    EXPECT_EQ(outcome.ExitCode, c.ExitCode) << c.Arguments;
    EXPECT_EQ(outcome.Output, c.Said) << c.Arguments;
  }
}

// The program's --help lists each subcommand on one line that fits a
// terminal; each subcommand's own --help has its whole description.
TEST_F(ToolCommandLine, HelpListsEachSubcommandOnOneLine) {
  const Outcome help = RunTool("--help");
  EXPECT_EQ(help.ExitCode, 0);
  const std::size_t listing = help.Output.find("Subcommands:\n");
  ASSERT_NE(listing, std::string::npos) << help.Output;
  const std::string lines = help.Output.substr(listing + std::string("Subcommands:\n").size());
  const struct {
    const char* Name;
    const char* OwnHelpSays;  // from the end of its description
  } subcommands[] = {
      {"lint", "Info findings are shown but never fail unless --severity info is given."},
      {"print", "Exit codes: 0 shown, 2 the script could not be read, 3 wrong usage."},
      {"make", "Makes the script that turns the installed version (OLD) into the new one (NEW)."},
      {"verify", "2 a folder or the script could not be read, 3 wrong usage."},
      {"preflight", "3 wrong usage or not on Windows."},
      {"explain", "Exit codes: 0 shown, 3 no such code or wrong usage."},
      {"rules", "Exit codes: 0 listed, 3 wrong usage."},
  };
  std::size_t at = 0;
  for (const auto& subcommand : subcommands) {
    const std::size_t end = lines.find('\n', at);
    ASSERT_NE(end, std::string::npos) << lines;
    const std::string line = lines.substr(at, end - at);
    EXPECT_EQ(line.find("  " + std::string(subcommand.Name) + " "), 0u) << line;
    EXPECT_LT(line.size(), 80u) << line;
    at = end + 1;
    const Outcome own = RunTool(std::string(subcommand.Name) + " --help");
    EXPECT_EQ(own.ExitCode, 0) << subcommand.Name;
    EXPECT_NE(own.Output.find(subcommand.OwnHelpSays), std::string::npos)
        << subcommand.Name << "\n" << own.Output;
  }
  EXPECT_EQ(lines.substr(at), "\n") << "one line a subcommand, then nothing:\n" << lines;
}

// A CI step lints what make wrote: a Latin-1 name is an info finding, shown
// but passing.
TEST_F(ToolCommandLine, LintPassesTheScriptMakeWrites) {
  fs::create_directories(folder_ / "old");
  fs::create_directories(folder_ / "new");
  std::ofstream(folder_ / "new" / fs::u8path("caf\xC3\xA9 cr\xC3\xA8me.txt"), std::ios::binary) << "new";
  const Outcome made =
      RunTool("make --old " + Path("old") + " --new " + Path("new") +
              " --source-root C:/U --target-root C:/A -o " + Path("made.txt"));
  ASSERT_EQ(made.ExitCode, 0);
  const Outcome linted = RunTool("lint " + Path("made.txt"));
  EXPECT_EQ(linted.ExitCode, 0) << linted.Output;
  EXPECT_NE(linted.Output.find("[DS082]"), std::string::npos) << linted.Output;
  EXPECT_EQ(RunTool("lint --severity info " + Path("made.txt")).ExitCode, 1);
}

TEST_F(ToolCommandLine, LintWritesGccLinesAndJson) {
  const Outcome gcc = RunTool("lint " + Path("mistakes.txt"));
  const std::string name = (folder_ / "mistakes.txt").string();
  EXPECT_NE(gcc.Output.find(name + ":1:1: error: \"cop\" is not a keyword"), std::string::npos)
      << gcc.Output;
  EXPECT_NE(gcc.Output.find(name + ":2:5: warning: \"a.exe\" is relative"), std::string::npos)
      << gcc.Output;

  const Outcome json = RunTool("lint --format json " + Path("mistakes.txt"));
  const nlohmann::json findings = nlohmann::json::parse(json.Output);
  ASSERT_TRUE(findings.is_array());
  ASSERT_FALSE(findings.empty());
  EXPECT_EQ(findings[0]["file"], name);
  EXPECT_EQ(findings[0]["line"], 1);
  EXPECT_EQ(findings[0]["column"], 1);
  EXPECT_EQ(findings[0]["endColumn"], 4);
  EXPECT_EQ(findings[0]["severity"], "error");
  EXPECT_EQ(findings[0]["code"], "DS001");
  EXPECT_TRUE(findings[0]["fix"].is_string());
}

TEST_F(ToolCommandLine, PrintWritesRowsAndJson) {
  const Outcome text = RunTool("print " + Path("clean.txt"));
  // The title on a line of its own, before the first row and where it changes.
  EXPECT_NE(text.Output.find("line  shown  kind     what\n"
                             "             title: Updating PexaMenu, Please wait...\n"
                             "   1     0%  copy     C:\\new\\a.exe  ->  C:\\app\\a.exe\n"
                             "             title: Ready, Starting...\n"
                             "   2    50%  run      C:\\app\\a.exe\n"),
            std::string::npos) << text.Output;
  const nlohmann::json rows = nlohmann::json::parse(RunTool("print --format json " + Path("clean.txt")).Output);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[1]["kind"], "run");
  EXPECT_EQ(rows[1]["percentage"], 50);
  EXPECT_EQ(rows[1]["percentageAfter"], 100);
  EXPECT_EQ(rows[1]["commandLine"], "C:\\app\\a.exe");
  EXPECT_EQ(rows[1]["starts"], true);
  EXPECT_EQ(rows[0]["title"], "Updating PexaMenu, Please wait...");
  EXPECT_EQ(rows[1]["title"], "Ready, Starting...");
  EXPECT_EQ(rows[0]["source"], "C:\\new\\a.exe");
  EXPECT_EQ(rows[0]["target"], "C:\\app\\a.exe");
}

// A COP line writes b.txt; a.txt keeps OLD's bytes and a time half a second
// older than NEW's.
TEST_F(ToolCommandLine, VerifyShowsBothTimesAndFailsOnThemOnlyWithTimes) {
  constexpr WindowsFileTime kOldTime = 134044736000000000;  // 2025-10-09T08:53:20Z
  for (const char* tree : {"old", "new"}) {
    fs::create_directories(folder_ / tree);
    Write(std::string(tree) + "/a.txt", "a");
    Write(std::string(tree) + "/b.txt", tree);
    ASSERT_FALSE(SetLastWriteTime(folder_ / tree / "a.txt",
                                  kOldTime + (tree[0] == 'n' ? 5'000'000 : 0)));
  }
  Write("update.txt", "COP\tC:\\n\\b.txt\tC:\\o\\b.txt\r\n");
  const std::string command = "verify --old " + Path("old") + " --new " + Path("new") +
                              " --source-root C:/n --target-root C:/o ";
  const std::string times =
      "a.txt  (result 2025-10-09T08:53:20.0000000Z, NEW 2025-10-09T08:53:20.5000000Z)\n";
  const struct {
    const char* options;
    int exitCode;
    std::string line;
  } cases[] = {
      {"", 0, "kept-with-old-time " + times},
      {"--times ", 1, "time               " + times},
  };
  for (const auto& c : cases) {
    const Outcome text = RunTool(command + c.options + Path("update.txt"));
    EXPECT_EQ(text.ExitCode, c.exitCode) << c.options;
    EXPECT_EQ(text.Output, c.line) << c.options;

    const Outcome json =
        RunTool(command + c.options + "--format json " + Path("update.txt"));
    EXPECT_EQ(json.ExitCode, c.exitCode) << c.options;
    const nlohmann::json report = nlohmann::json::parse(json.Output);
    EXPECT_EQ(report["match"], c.exitCode == 0) << c.options;
    EXPECT_EQ(report["filesCompared"], 2) << c.options;
    const nlohmann::json& listed = c.exitCode == 0 ? report["keptWithOldTime"] : report["differences"];
    ASSERT_EQ(listed.size(), 1u) << c.options << json.Output;
    EXPECT_EQ(listed[0]["path"], "a.txt");
    EXPECT_EQ(listed[0]["resultTime"], "2025-10-09T08:53:20.0000000Z");
    EXPECT_EQ(listed[0]["newTime"], "2025-10-09T08:53:20.5000000Z");
    EXPECT_EQ((c.exitCode == 0 ? report["differences"] : report["keptWithOldTime"]).size(), 0u)
        << c.options;
  }
}

}  // namespace

namespace {

// verify's problems and RUN lines as lint writes its findings, each with its
// code; in JSON the finding object, the keys callers used kept.
TEST_F(ToolCommandLine, VerifyWritesFindingsWithCodes) {
  fs::create_directories(folder_ / "old");
  fs::create_directories(folder_ / "new");
  Write("update.txt", "COP\tC:\\n\\none.txt\tC:\\o\\a.txt\r\nRUN C:\\o\\a.exe /x\r\n");
  const std::string name = (folder_ / "update.txt").string();
  const std::string command = "verify --old " + Path("old") + " --new " + Path("new") +
                              " --source-root C:/n --target-root C:/o ";
  const Outcome text = RunTool(command + Path("update.txt"));
  EXPECT_EQ(text.ExitCode, 1);
  EXPECT_EQ(text.Output, name + ":1:5: error: source \"C:\\n\\none.txt\" is missing [DV107]\n" +
                             name + ":2:5: info: RUN not started: C:\\o\\a.exe /x [DV181]\n");

  const Outcome json = RunTool(command + "--format json " + Path("update.txt"));
  EXPECT_EQ(json.ExitCode, 1);
  const nlohmann::json report = nlohmann::json::parse(json.Output);
  ASSERT_EQ(report["findings"].size(), 1u) << json.Output;
  EXPECT_EQ(report["findings"][0],
            (nlohmann::json{{"file", name},
                            {"line", 1},
                            {"column", 5},
                            {"severity", "error"},
                            {"code", "DV107"},
                            {"message", "source \"C:\\n\\none.txt\" is missing"}}));
  ASSERT_EQ(report["runs"].size(), 1u) << json.Output;
  EXPECT_EQ(report["runs"][0]["line"], 2);
  EXPECT_EQ(report["runs"][0]["commandLine"], "C:\\o\\a.exe /x");
  EXPECT_EQ(report["runs"][0]["code"], "DV181");
  EXPECT_EQ(report["runs"][0]["severity"], "info");
}

// preflight --bundle says what the application's VerifyUpdate says: here of a
// bundle placed elsewhere than its script copies from. The Linux build
// refuses preflight as a whole (exit 3).
TEST_F(ToolCommandLine, PreflightChecksABundleAsTheApplicationDoes) {
  const fs::path vectors = fs::path(DEVIDUDI_SOURCE_DIR) / "tests/fixtures/bundle_vectors";
  fs::copy(vectors / "placed", folder_ / "bundle", fs::copy_options::recursive);
  const std::string key = " --public-key \"" + (vectors / "public.pem").string() + "\"";
  const struct {
    std::string Arguments;
    int OnWindows;
    const char* Said;  // on Windows, in the output
  } cases[] = {
      {"preflight --bundle " + Path("bundle") + key, 1,
       "update.txt:1:1: error: expected a file below "},
      {"preflight --bundle " + Path("bundle") + key + " --format json", 1, "\"code\": \"DP123\""},
      {"preflight --bundle " + Path("bundle"), 3, ""},
      {"preflight" + key + " " + Path("bundle/update.txt"), 3, ""},
      {"preflight --bundle " + Path("bundle") + " --public-key \"" +
           (vectors / "key.pem").string() + "\"",
       3, ""},
      {"preflight --bundle " + Path("bundle") + " --public-key " + Path("missing.pem"), 2, ""},
  };
  for (const auto& c : cases) {
    const Outcome outcome = RunTool(c.Arguments);
#ifdef _WIN32
    EXPECT_EQ(outcome.ExitCode, c.OnWindows) << c.Arguments;
    EXPECT_NE(outcome.Output.find(c.Said), std::string::npos) << c.Arguments << outcome.Output;
#else
    EXPECT_EQ(outcome.ExitCode, 3) << c.Arguments;
#endif
  }
  EXPECT_TRUE(fs::exists(folder_ / "bundle/update.txt")) << "preflight changes nothing";
}

// The JSON alone on standard output, the script in its file; without a file
// for the script, standard output cannot carry both.
TEST_F(ToolCommandLine, MakeWritesItsPlanAsJson) {
  fs::create_directories(folder_ / "old");
  fs::create_directories(folder_ / "new/sub");
  fs::create_directories(folder_ / "old/sub");
  Write("old/a.txt", "old");
  Write("old/gone.txt", "gone");
  Write("new/a.txt", "new");
  Write("new/sub/b.txt", "b");
  const std::string command = "make --old " + Path("old") + " --new " + Path("new") +
                              " --source-root \"C:\\n\" --target-root \"C:\\o\" --format json ";
  EXPECT_EQ(RunTool(command).ExitCode, 3) << "no -o";
  EXPECT_EQ(RunTool(command + "-o -").ExitCode, 3) << "-o -";

  const Outcome made = RunTool(command + "-o " + Path("update.txt"));
  EXPECT_EQ(made.ExitCode, 0);
  const nlohmann::json out = nlohmann::json::parse(made.Output);
  ASSERT_EQ(out["plan"].size(), 3u) << made.Output;
  // Written a moment apart, the two a.txt may differ in time too (t).
  EXPECT_EQ(out["plan"][0]["code"].get<std::string>().substr(0, 4), ">f.c");
  EXPECT_EQ(out["plan"][0]["path"], "a.txt");
  EXPECT_EQ(out["plan"][0]["bytes"], true);
  EXPECT_EQ(out["plan"][1]["code"], "*kept");
  EXPECT_EQ(out["plan"][1]["action"], "keep");
  EXPECT_EQ(out["plan"][2]["code"], ">f+++");
  EXPECT_EQ(out["plan"][2]["path"], "sub/b.txt");
  EXPECT_EQ(out["summary"]["toCopy"], 2);
  EXPECT_EQ(out["summary"]["new"], 1);
  EXPECT_EQ(out["summary"]["onlyInOld"], 1);
  ASSERT_EQ(out["findings"].size(), 1u) << made.Output;
  EXPECT_EQ(out["findings"][0]["severity"], "warning");
  // One warning for all the files only in OLD, about OLD: the plan lists them.
  EXPECT_EQ(out["findings"][0]["code"], "DM041");
  EXPECT_EQ(out["findings"][0]["file"], (folder_ / "old").string());
  EXPECT_EQ(out["script"]["lines"], 2);
  std::ifstream script(folder_ / "update.txt", std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(script)), std::istreambuf_iterator<char>());
  EXPECT_EQ(bytes.find("COP\tC:\\n\\a.txt\tC:\\o\\a.txt\r\n"), 0u) << bytes;

  EXPECT_TRUE(out["bundle"].is_null());
  const Outcome bundled = RunTool(command + "-o " + Path("bundled.txt") + " --bundle " + Path("b"));
  EXPECT_EQ(bundled.ExitCode, 0);
  EXPECT_EQ(nlohmann::json::parse(bundled.Output)["bundle"],
            (nlohmann::json{{"folder", (folder_ / "b").string()}, {"payloadFiles", 2}, {"signed", false}}))
      << bundled.Output;

  const Outcome dry = RunTool(command + "--dry-run");
  EXPECT_EQ(dry.ExitCode, 0);
  EXPECT_TRUE(nlohmann::json::parse(dry.Output)["script"]["file"].is_null()) << dry.Output;
}

}  // namespace
