#include "exec/command_runner.h"

#include <windows.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "script/progress.h"
#include "script/widen_text.h"
#include "support/test_files.h"

namespace {

using Events = std::vector<std::wstring>;

// Every call the runner makes on its display, in order, plus what the fake
// executor adds. It also keeps what each control would show now, so that an
// executor can read the display back as the user would see it.
class RecordingDisplay : public ProgressDisplay {
 public:
  void ShowTitle(const std::wstring& text) override {
    Record(L"Title: " + text);
    title = text;
  }
  void ShowStatus(const std::wstring& text) override {
    Record(L"Status: " + text);
    status = text;
  }
  void ShowPercentage(const std::wstring& number) override {
    Record(L"Percent: " + number);
    percent = number;
  }
  void ShowBar(std::int32_t position) override {
    Record(L"Bar: " + std::to_wstring(position));
    bar = position;
  }
  void ReportFailure(const std::wstring& caption, const std::wstring& text) override {
    Record(L"Box: " + caption + L" | " + text);
  }
  void Record(std::wstring event) { events.push_back(std::move(event)); }

  Events events;
  std::wstring title, status, percent;
  std::int32_t bar = 0;
};

// Runs the commands through the real execution step on a fresh display.
// Gives what the display received.
Events RunAndRecord(std::vector<FileCommand> commands) {
  RecordingDisplay display;
  RunCommands(std::move(commands), display);
  return display.events;
}

// What the controls receive before the Copy of `source` runs.
void ExpectCopyShown(Events& expected, const std::wstring& source,
                     int percentage) {
  expected.push_back(L"Status: " + source);
  expected.push_back(L"Percent: " + std::to_wstring(percentage));
  expected.push_back(L"Bar: " + std::to_wstring(percentage));
}

// Runs the commands on a fresh display with a fake execution step that
// records each command among the display's events and gives the results in
// turn (0 once they run out).
Events RunFaked(std::vector<FileCommand> commands, std::vector<std::int32_t> results = {}) {
  RecordingDisplay display;
  const CommandExecutor execute = [&display, results,
                                   next = std::size_t{0}](const FileCommand& command) mutable {
    display.Record(L"Execute: " +
                   (command.Arguments.empty() ? L"" : WidenText(command.Arguments[0])));
    return next < results.size() ? results[next++] : 0;
  };
  RunCommandsWith(std::move(commands), display, execute);
  return display.events;
}

std::vector<FileCommand> Copies(int count) {
  std::vector<FileCommand> commands;
  for (int i = 0; i < count; ++i) {
    commands.emplace_back("COP src" + std::to_string(i) + " dst" +
                          std::to_string(i));
  }
  return commands;
}

// What the window shows before each of count commands, when all succeed.
std::vector<int> Rising(int count) {
  std::vector<int> shown;
  for (int i = 0; i < count; ++i) shown.push_back(PercentageAfter(i, count));
  return shown;
}

// What the controls receive once the last command has succeeded.
void ExpectFull(Events& expected) {
  expected.push_back(L"Percent: 100");
  expected.push_back(L"Bar: 100");
}

TEST(RunCommands, ShowsEachPercentageBeforeItsCommandAndAHundredAfterTheLast) {
  // A number the window already shows is not sent again: in a long script it
  // stays the same over several commands.
  const struct {
    const char* name;
    int count;
    std::vector<int> shown;
  } cases[] = {
      {"no command", 0, {}},
      {"one command", 1, {0}},
      {"three commands", 3, {0, 33, 66}},
      {"ten commands", 10, {0, 10, 20, 30, 40, 50, 60, 70, 80, 90}},
      {"60 commands", 60, Rising(60)},
      {"150 commands: some numbers stand for two", 150, Rising(150)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Events expected;
    for (std::size_t i = 0; i < c.shown.size(); ++i) {
      const std::wstring source = L"src" + std::to_wstring(i);
      if (i > 0 && c.shown[i] == c.shown[i - 1]) {
        expected.push_back(L"Status: " + source);
      } else {
        ExpectCopyShown(expected, source, c.shown[i]);
      }
      expected.push_back(L"Execute: " + source);
    }
    if (c.count > 0) ExpectFull(expected);
    EXPECT_EQ(RunFaked(Copies(c.count)), expected);
  }
}

TEST(RunCommands, LabelsAndReportsEachKind) {
  const std::wstring failed = L"Copy failed, error code: ";
  const struct {
    const char* name;
    std::vector<FileCommand> commands;
    std::vector<std::int32_t> results;
    Events expected;
  } cases[] = {
      {"a Run first keeps the title it sets",
       {FileCommand("RUN \"C:\\app\\pexa.exe\" /update"),
        FileCommand("COP a.txt b.txt")},
       {},
       {L"Status: Done", L"Title: Ready, Starting...", L"Percent: 0",
        L"Bar: 0", L"Execute: \"C:\\app\\pexa.exe\" /update", L"Status: a.txt",
        L"Percent: 50", L"Bar: 50", L"Execute: a.txt", L"Percent: 100", L"Bar: 100"}},
      {"an unknown keyword is labelled like a Run",
       {FileCommand("DEL a.txt")},
       {},
       {L"Status: Done", L"Title: Ready, Starting...", L"Percent: 0",
        L"Bar: 0", L"Execute: a.txt", L"Percent: 100", L"Bar: 100"}},
      {"a text the status line already shows is not sent again",
       {FileCommand("COP a.txt b.txt"), FileCommand("COP a.txt c.txt"),
        FileCommand("RUN x.exe"), FileCommand("RUN y.exe"),
        FileCommand("COP Done d.txt"), FileCommand("COP a.txt e.txt")},
       {},
       {L"Status: a.txt", L"Percent: 0", L"Bar: 0", L"Execute: a.txt",
        L"Percent: 16", L"Bar: 16", L"Execute: a.txt",
        L"Status: Done", L"Title: Ready, Starting...", L"Percent: 33",
        L"Bar: 33", L"Execute: x.exe",
        L"Percent: 50", L"Bar: 50", L"Execute: y.exe",
        L"Percent: 66", L"Bar: 66", L"Execute: Done",
        L"Status: a.txt", L"Percent: 83", L"Bar: 83", L"Execute: a.txt",
        L"Percent: 100", L"Bar: 100"}},
      {"a failure stops the run after its message",
       {FileCommand("COP a.txt b.txt"), FileCommand("COP c.txt d.txt"),
        FileCommand("COP e.txt f.txt")},
       {0, 32},
       {L"Status: a.txt", L"Percent: 0", L"Bar: 0", L"Execute: a.txt",
        L"Status: c.txt", L"Percent: 33", L"Bar: 33", L"Execute: c.txt",
        L"Box: Command failed | " + failed + L"32 command: c.txt"}},
      {"a failure of the last command leaves the bar short of full",
       {FileCommand("COP a.txt b.txt"), FileCommand("COP c.txt d.txt")},
       {0, 5},
       {L"Status: a.txt", L"Percent: 0", L"Bar: 0", L"Execute: a.txt",
        L"Status: c.txt", L"Percent: 50", L"Bar: 50", L"Execute: c.txt",
        L"Box: Command failed | " + failed + L"5 command: c.txt"}},
      {"an error code with its top bit set is negative",
       {FileCommand("COP a.txt b.txt")},
       {static_cast<std::int32_t>(0x80070005u)},
       {L"Status: a.txt", L"Percent: 0", L"Bar: 0", L"Execute: a.txt",
        L"Box: Command failed | " + failed +
            L"-2147024891 command: a.txt"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RunFaked(c.commands, c.results), c.expected);
  }
}

// Updates that would change nothing are left out; what the window shows
// before each command must be what sending every update would have made it
// show. Read back from the display while each command "runs".
TEST(RunCommands, ShowsWhatSendingEveryUpdateWouldShow) {
  const std::wstring updating = L"Updating PexaMenu, Please wait...";
  RecordingDisplay display;
  display.title = updating;
  // 130 commands (so some numbers repeat), with a run of equal
  // sources, Runs and a stray keyword in between, and a copy whose source
  // reads "Done".
  std::vector<FileCommand> commands;
  for (int i = 0; i < 130; ++i) {
    if (i % 7 == 3) {
      commands.emplace_back("RUN prog" + std::to_string(i % 2) + ".exe");
    } else if (i % 13 == 6) {
      commands.emplace_back("XYZ stray line");
    } else if (i == 11) {
      commands.emplace_back("COP Done target.txt");
    } else {
      commands.emplace_back("COP src" + std::to_string(i / 4) + " dst" + std::to_string(i));
    }
  }

  // With every update sent, before command i the title reads "Ready,
  // Starting..." once any command up to i was not a Copy; the status line
  // holds i's source or "Done"; number and bar hold the i-th percentage.
  std::vector<std::wstring> expected;
  std::wstring title = updating;
  const std::vector<int> percentages = Rising(130);
  for (std::size_t i = 0; i < commands.size(); ++i) {
    const bool copy = commands[i].Kind == CommandKind::Copy;
    if (!copy) title = L"Ready, Starting...";
    const std::wstring percent = std::to_wstring(percentages[i]);
    expected.push_back(title + L" | " +
                       (copy ? WidenText(commands[i].Arguments[0]) : L"Done") + L" | " +
                       percent + L" | " + percent);
  }

  std::vector<std::wstring> shown;
  const CommandExecutor readBack = [&shown, &display](const FileCommand&) {
    shown.push_back(display.title + L" | " + display.status + L" | " + display.percent +
                    L" | " + std::to_wstring(display.bar));
    return std::int32_t{0};
  };
  RunCommandsWith(std::move(commands), display, readBack);
  ASSERT_EQ(shown.size(), expected.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    EXPECT_EQ(shown[i], expected[i]) << "before command " << i;
  }
}

// The real execution step from here on: real files.

TEST(RunCommands, StopsAtACopyThatWindowsRefuses) {
  TempFolder folder;
  std::wstring source[3], target[3];
  std::vector<FileCommand> commands;
  for (int i = 0; i < 3; ++i) {
    source[i] = folder.File(L"new" + std::to_wstring(i) + L".txt");
    target[i] = folder.File(L"old" + std::to_wstring(i) + L".txt");
    WriteBytes(source[i], "new " + std::to_string(i));
    commands.emplace_back("COP " + Narrow(source[i]) + "\t" + Narrow(target[i]));
  }
  // A read-only target cannot be replaced: ERROR_ACCESS_DENIED (5).
  WriteBytes(target[1], "old 1");
  SetReadOnly(target[1], true);

  Events expected;
  ExpectCopyShown(expected, source[0], 0);
  ExpectCopyShown(expected, source[1], 33);
  expected.push_back(L"Box: Command failed | Copy failed, error code: 5 command: " +
                     source[1] + L"");
  EXPECT_EQ(RunAndRecord(std::move(commands)), expected);
  EXPECT_EQ(ReadBytes(target[0]), "new 0");
  EXPECT_EQ(ReadBytes(target[1]), "old 1");
  EXPECT_FALSE(FileExists(target[2])) << "the third copy ran";
}

TEST(RunCommands, PassesOverARunThatCannotStart) {
  TempFolder folder;
  const std::wstring source = folder.File(L"new.txt");
  const std::wstring target = folder.File(L"old.txt");
  WriteBytes(source, "new");
  std::vector<FileCommand> commands;
  commands.emplace_back("RUN " + Narrow(folder.File(L"missing.exe")));
  commands.emplace_back("COP " + Narrow(source) + "\t" + Narrow(target));

  Events expected = {L"Status: Done", L"Title: Ready, Starting...",
                     L"Percent: 0", L"Bar: 0"};
  ExpectCopyShown(expected, source, 50);
  ExpectFull(expected);
  EXPECT_EQ(RunAndRecord(std::move(commands)), expected);
  EXPECT_EQ(ReadBytes(target), "new");
}

TEST(RunCommands, ReportsACopyWithoutArgumentsWithoutReadingOne) {
  // "COP" without a separator gives a Copy with no arguments; the checks stop
  // it before any run, but the runner must survive one all the same.
  std::vector<FileCommand> commands;
  commands.emplace_back("COP");
  const Events expected = {
      L"Status: ", L"Percent: 0", L"Bar: 0",
      L"Box: Command failed | Copy failed, error code: " +
          std::to_wstring(ERROR_BAD_ARGUMENTS) + L" command: "};
  EXPECT_EQ(RunAndRecord(std::move(commands)), expected);
}

}  // namespace
