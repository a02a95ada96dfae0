// devidudi-script's entry point: the command line, then one subcommand.

#include <algorithm>
#include <cctype>
#include <exception>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "script_tool/cli/exit_codes.h"
#include "script_tool/cli/subcommands.h"
#include "script_tool/findings/edit_distance.h"

#ifdef _WIN32
#include <windows.h>

#include "names/text_conversions.h"
#include "platform/system_dlls.h"
#endif

namespace {

// The program's own --help lists each subcommand on one line; the
// subcommand's --help has its whole description.
struct SubcommandSummary {
  std::string_view Name;
  std::string_view Summary;
};
constexpr SubcommandSummary kSummaries[] = {
    {"lint", "Finds every problem in update scripts"},
    {"print", "Shows a script as the updater carries it out"},
    {"make", "Makes the script that turns OLD into NEW"},
    {"verify", "Proves that a script turns OLD into NEW"},
    {"preflight", "Runs the updater's checks ahead (on Windows)"},
    {"explain", "Shows what a finding's code means"},
    {"rules", "Lists every finding's code"},
};

// A subcommand's line in the listing: its summary, or else the first line of
// its description.
std::string SummaryOf(const CLI::App& subcommand) {
  for (const SubcommandSummary& known : kSummaries) {
    if (known.Name == subcommand.get_name()) return std::string(known.Summary);
  }
  const std::string description = subcommand.get_description();
  return description.substr(0, description.find('\n'));
}

class OneLineListing : public CLI::Formatter {
 public:
  std::string make_subcommand(const CLI::App* subcommand) const override {
    std::stringstream out;
    CLI::detail::format_help(out, subcommand->get_display_name(true), SummaryOf(*subcommand),
                             get_column_width());
    return out.str();
  }
};

std::string Lowered(std::string_view text) {
  std::string lowered(text);
  for (char& c : lowered) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lowered;
}

// The subcommands a mistyped name may have meant, in the listing's order:
// those it begins (in any case), or else those at the least edit distance
// from it, two at most; none for a name that is like none.
std::vector<std::string> MeantSubcommands(const CLI::App& program, std::string_view typed) {
  constexpr std::size_t kFarthest = 2;
  const std::string lowered = Lowered(typed);
  std::vector<std::string> starting;
  std::vector<std::string> nearest;
  std::size_t nearestDistance = kFarthest + 1;
  for (const CLI::App* subcommand : program.get_subcommands({})) {
    const std::string& name = subcommand->get_name();
    if (name.compare(0, lowered.size(), lowered) == 0) starting.push_back(name);
    const std::size_t distance = EditDistance(lowered, name);
    if (distance < nearestDistance) {
      nearestDistance = distance;
      nearest.clear();
    }
    if (distance == nearestDistance) nearest.push_back(name);
  }
  return starting.empty() ? nearest : starting;
}

// " (did you mean 'lint'?)", " (did you mean 'print' or 'preflight'?)", or
// nothing.
std::string DidYouMean(const std::vector<std::string>& names) {
  if (names.empty()) return {};
  std::string text = " (did you mean ";
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (i > 0) text += i + 1 == names.size() ? " or " : ", ";
    text += "'" + names[i] + "'";
  }
  return text + "?)";
}

// The first argument that is not an option names the subcommand (the
// program itself takes no option with a value); empty when it is one, or
// when there is none.
std::string UnknownSubcommand(const CLI::App& program, int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument.empty() || argument[0] == '-') continue;
    try {
      program.get_subcommand(argument);
      return {};
    } catch (const CLI::OptionNotFound&) {
      return argument;
    }
  }
  return {};
}

int RunProgram(int argc, char** argv) {
  CLI::App program{
      "Checks, shows, makes and proves DeviDudi update scripts.\n"
      "Exit codes: 0 clean, 1 findings or differences, 2 an input could not "
      "be read, 3 wrong usage.",
      "devidudi-script"};
  program.set_version_flag("--version",
                           std::string("devidudi-script ") + DEVIDUDI_VERSION);
  program.require_subcommand(1, 1);
  // Before the subcommands are added, which take the program's formatter.
  program.formatter(std::make_shared<OneLineListing>());

  int exitCode = kExitClean;
  AddLintCommand(program, exitCode);
  AddPrintCommand(program, exitCode);
  AddMakeCommand(program, exitCode);
  AddVerifyCommand(program, exitCode);
  AddPreflightCommand(program, exitCode);
  AddExplainCommand(program, exitCode);
  AddRulesCommand(program, exitCode);

  // CLI11 would only say that a subcommand is required.
  const std::string unknown = UnknownSubcommand(program, argc, argv);
  if (!unknown.empty()) {
    std::cerr << "devidudi-script: no subcommand '" << unknown << "'"
              << DidYouMean(MeantSubcommands(program, unknown)) << "; see --help\n";
    return kExitUsage;
  }
  try {
    program.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    // --help and --version end here too, with exit code 0.
    const int parseCode = program.exit(error);
    return parseCode == 0 ? kExitClean : kExitUsage;
  }
  return exitCode;
}

}  // namespace

#ifdef _WIN32
// The wide entry point: every argument arrives as UTF-8, whatever the
// console's code page, and the subcommands open files by UTF-8 names
// (std::filesystem::u8path).
int wmain(int argc, wchar_t** wideArgv) {
  LoadDllsFromSystemFolderOnly();
  SetConsoleOutputCP(CP_UTF8);
  std::vector<std::string> arguments;
  for (int i = 0; i < argc; ++i) arguments.push_back(WideToUtf8(wideArgv[i]));
  std::vector<char*> argv;
  for (std::string& argument : arguments) argv.push_back(argument.data());
  argv.push_back(nullptr);
  try {
    return RunProgram(argc, argv.data());
  } catch (const std::exception& error) {
    std::cerr << "devidudi-script: " << error.what() << '\n';
    return kExitUnreadable;
  }
}
#else
int main(int argc, char** argv) {
  try {
    return RunProgram(argc, argv);
  } catch (const std::exception& error) {
    std::cerr << "devidudi-script: " << error.what() << '\n';
    return kExitUnreadable;
  }
}
#endif
