// The window honours the show command the program was started with, as a
// shortcut set to "Minimized" or a caller that hides it would pass it.
#include <gtest/gtest.h>

#include "e2e/scenario.h"

namespace {

const struct {
  const char* name;
  WORD showCommand;
  bool visible;
  bool minimised;
} kShowCases[] = {
    {"started normally", SW_SHOWNORMAL, true, false},
    {"started minimised", SW_SHOWMINNOACTIVE, true, true},
    {"started hidden", SW_HIDE, false, false},
};

// An empty script: the update runs through to deleting it, where it is held
// while the window is looked at.
//
// Wine and Windows differ here: Windows uses STARTUPINFO's show command for a
// program's first ShowWindow call whatever that call passes, while Wine 8
// uses what the program passes. So under Wine this also catches a window
// shown with a fixed command instead of wWinMain's; on Windows it catches
// only a window made visible some other way (WS_VISIBLE, a later ShowWindow).
const bool kShown = [] {
  for (const auto& c : kShowCases) {
    RegisterScenario(c.name, [showCommand = c.showCommand] {
      Facts facts;
      auto folder = std::make_shared<TempFolder>();
      const std::wstring script = folder->File(L"update.txt");
      WriteBytes(script, "");
      Launch launch{L" " + script, {}, {}};
      launch.showCommand = showCommand;
      UpdaterProcess updater(launch, CallMatch{"DeleteFileW", 0, script});
      facts.started = updater.Started();
      if (!facts.started || !updater.WaitUntilHeld(kScenarioWaitMs)) return facts;
      const HWND window = FindProgressWindow(updater.ProcessId());
      facts.notes.push_back(window == nullptr ? L"no window" : L"window");
      facts.notes.push_back(IsWindowVisible(window) ? L"visible" : L"not visible");
      facts.notes.push_back(IsIconic(window) ? L"minimised" : L"not minimised");
      updater.ReleaseHold();
      facts.exitCode = updater.WaitForExit(kScenarioWaitMs);
      facts.folder = folder;
      return facts;
    });
  }
  return true;
}();

TEST(ShowCommand, TheWindowIsShownAsTheProgramWasStarted) {
  for (const auto& c : kShowCases) {
    SCOPED_TRACE(c.name);
    const Facts& facts = ScenarioFacts(c.name);
    ASSERT_TRUE(facts.started);
    const std::vector<std::wstring> expected = {
        L"window", c.visible ? L"visible" : L"not visible",
        c.minimised ? L"minimised" : L"not minimised"};
    EXPECT_EQ(facts.notes, expected);
    EXPECT_EQ(facts.exitCode, 0u);
  }
}

}  // namespace
