#pragma once
// The real devidudi.exe run on a script the way a user at the screen lets it
// run: every question answered No, every notice OK, and the window read while
// each box shows and right before the script is deleted. For the tests that
// hold the toolkit's claims against what the updater does.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "driver/updater_process.h"
#include "driver/updater_windows.h"

struct ObservedRun {
  bool started = false;
  DWORD startError = 0;  // why it did not start
  bool crashed = false;
  DWORD exitCode = STILL_ACTIVE;
  std::vector<ShownMessage> messages;
  // What the window showed while each message was up, in the same order.
  std::vector<std::optional<Display>> displayAtMessage;
  // What the window showed right before the script was deleted; nothing when
  // the update never got there.
  std::optional<Display> beforeDeletingScript;
};

// Runs the program as launched; scriptPath is the script it deletes.
ObservedRun ObserveUpdater(const Launch& launch, const std::wstring& scriptPath);

// The facts in a few lines, for a failure to show what happened.
std::string Describe(const ObservedRun& run);

// True when the box asks (Yes and No) rather than tells (OK).
bool IsQuestion(const ShownMessage& message);
