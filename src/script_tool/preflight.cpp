#include "script_tool/subcommands.h"

// Not written yet.
void AddPreflightCommand(CLI::App& program, int& exitCode) {
  (void)program;
  (void)exitCode;
}
