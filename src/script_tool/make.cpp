#include "script_tool/subcommands.h"

// Not written yet.
void AddMakeCommand(CLI::App& program, int& exitCode) {
  (void)program;
  (void)exitCode;
}
