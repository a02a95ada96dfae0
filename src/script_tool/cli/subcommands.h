#pragma once
// One subcommand per file. Each adds itself to the program's command line and,
// when it is the one chosen, runs and leaves its exit code in exitCode.

#include <CLI/CLI.hpp>

void AddLintCommand(CLI::App& program, int& exitCode);
void AddPrintCommand(CLI::App& program, int& exitCode);
void AddMakeCommand(CLI::App& program, int& exitCode);
void AddVerifyCommand(CLI::App& program, int& exitCode);
void AddPreflightCommand(CLI::App& program, int& exitCode);
void AddExplainCommand(CLI::App& program, int& exitCode);
void AddRulesCommand(CLI::App& program, int& exitCode);
