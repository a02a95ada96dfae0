#pragma once
// Runs the script's commands on the worker thread while the progress window
// shows which one is at work and how far the run has got.

#include <cstdint>
#include <functional>
#include <vector>

#include "exec/progress_display.h"
#include "script/file_command.h"

// Carries out one command: 0 for success, otherwise the error code to report.
using CommandExecutor = std::function<std::int32_t(const FileCommand&)>;

// Runs every command in order, showing progress on `display`; reports the
// first failure there and stops. Nothing done is undone. Before each command
// the display shows its source (or "Done"), the percentage and the bar; an
// update that would not change what a control already shows is left out.
// With the progress window's controls as the display, call only on a thread
// other than the window's, while the window's thread pumps messages: every
// label and bar update is a synchronous send.
void RunCommands(std::vector<FileCommand> commands, ProgressDisplay& display);

// RunCommands with the execution step replaced. RunCommands passes one that
// calls ExecuteCopy for Copy, ExecuteRun for Run and gives 0 for any other
// kind, which is never executed.
void RunCommandsWith(std::vector<FileCommand> commands, ProgressDisplay& display,
                     const CommandExecutor& execute);
