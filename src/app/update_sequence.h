#pragma once
// The whole update, from loading the script to closing the window, with
// everything it shows or asks going through one narrow seam.

#include <cstdint>
#include <string>
#include <vector>

#include "script/file_command.h"

// What the update sequence needs of the window and the user. The program
// passes the progress window and its message boxes; tests pass a recorder.
class UpdateSurface {
 public:
  virtual ~UpdateSurface() = default;
  // A message with an OK button only; the update ends after it.
  virtual void Tell(const std::wstring& text) = 0;
  // A Yes/No question; true only for Yes.
  virtual bool AskToRetry(const std::wstring& text) = 0;
  virtual void ShowTitle(const std::wstring& text) = 0;
  // Executes the commands with progress shown; reports its own failures.
  virtual void RunCommands(std::vector<FileCommand> commands) = 0;
  // Closes the window, which ends the program.
  virtual void Close() = 0;
};

// The real program waits 5000 ms before the first check.
inline constexpr std::uint32_t kWaitBeforeChecksMs = 5000;

// Loads the script, waits, checks until every check passes or the user gives
// up, runs the commands and deletes the script, then closes the surface.
void RunUpdateSequence(const wchar_t* scriptPath, UpdateSurface& surface,
                       std::uint32_t waitBeforeChecksMs);

// RunUpdateSequence for a thread procedure, which nothing may leave: an
// exception, in practice a failed allocation, ends the update and closes the
// surface all the same.
void RunUpdateSequenceOnWorker(const wchar_t* scriptPath, UpdateSurface& surface,
                               std::uint32_t waitBeforeChecksMs) noexcept;
