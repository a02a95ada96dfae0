#pragma once
// End-to-end scenarios run the real program, each in a thread of its own and
// all at once, so that the program's wait before its checks is paid once for
// the whole suite. A scenario only drives the program and gathers facts; the
// test that belongs to it checks them on the main thread.

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "driver/updater_process.h"
#include "driver/updater_windows.h"
#include "support/test_files.h"

struct Facts {
  bool started = false;
  DWORD exitCode = STILL_ACTIVE;
  bool crashed = false;
  // Every message box the program showed, in order: caption, text, buttons.
  std::vector<ShownMessage> messages;
  // What the window showed when the update stood right before deleting the
  // script, that is, as the run last set it.
  std::optional<Display> lastDisplay;
  int waitsBeforeChecks = 0;  // calls of Sleep(5000)
  // The scenario's files, kept for the test to look at.
  std::shared_ptr<TempFolder> folder;
  std::vector<std::wstring> notes;  // anything else a scenario observed
  // Why the scenario did not start the program at all, for a test to name
  // as its skip; empty when it did.
  std::string notRun;
};

using ScenarioBody = std::function<Facts()>;

// Registers a scenario at static initialisation; all start before the tests.
bool RegisterScenario(const char* name, ScenarioBody body);
// Starts every registered scenario, each in a thread of its own.
void StartAllScenarios();
// Waits for the scenario and gives its facts.
const Facts& ScenarioFacts(const char* name);
// The names of every registered scenario, in name order: a check that holds
// for all of them cannot leave one out.
std::vector<std::string> ScenarioNames();

// Runs the program on rawTail and answers each message box in turn with the
// next of `answers`, calling beforeAnswer(i) first. Holds the update before
// it deletes scriptToHold, records the display there and calls whileHeld.
Facts RunUpdater(const Launch& launch, const std::wstring& scriptToHold,
                 const std::vector<int>& answers,
                 const std::function<void(std::size_t)>& beforeAnswer = {},
                 const std::function<void(Facts&)>& whileHeld = {});
// The same for devidudi.exe beside the test, with nothing but rawTail set.
Facts RunUpdater(const std::wstring& rawTail, const std::wstring& scriptToHold,
                 const std::vector<int>& answers,
                 const std::function<void(std::size_t)>& beforeAnswer = {},
                 const std::function<void(Facts&)>& whileHeld = {});

// Runs the program as launched and answers whatever it asks with No, and
// whatever it tells with OK, until it ends.
Facts RunUpdaterSayingNo(const Launch& launch);

// Bounded waits: reached only when something is broken.
constexpr DWORD kScenarioWaitMs = 60000;
