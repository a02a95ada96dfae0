// devidudi-script's entry point: the command line, then one subcommand.

#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "script_tool/cli/exit_codes.h"
#include "script_tool/cli/subcommands.h"

#ifdef _WIN32
#include <windows.h>

#include "names/text_conversions.h"
#include "platform/system_dlls.h"
#endif

namespace {

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
    std::cerr << "devidudi-script: no subcommand '" << unknown << "'; see --help\n";
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
