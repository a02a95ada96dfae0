#include "app/update_sequence.h"

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>
#include <vector>

#include "app/update_messages.h"
#include "support/test_files.h"

namespace {

// Stands in for the window: records everything the sequence shows or asks,
// answers questions from a list, and notes whether the script still existed
// when the commands ran and when the window was told to close.
class RecordingSurface : public UpdateSurface {
 public:
  RecordingSurface(std::wstring scriptPath, std::vector<bool> answers)
      : script_(std::move(scriptPath)), answers_(std::move(answers)) {}

  // Called with the question number (0, 1, ...) before each answer is given.
  std::function<void(std::size_t)> beforeAnswer;

  std::vector<std::wstring> events;
  std::vector<FileCommand> ran;
  // The one call ("tell", "ask", "title", "run") that fails as an allocation
  // would, after it is recorded.
  std::wstring failIn;

  void Tell(const std::wstring& text) override {
    events.push_back(L"tell: " + text);
    FailIf(L"tell");
  }
  bool AskToRetry(const std::wstring& text) override {
    const std::size_t asked = asked_++;
    events.push_back(L"ask: " + text);
    FailIf(L"ask");
    if (beforeAnswer) beforeAnswer(asked);
    return asked < answers_.size() && answers_[asked];
  }
  void ShowTitle(const std::wstring& text) override {
    events.push_back(L"title: " + text);
    FailIf(L"title");
  }
  void RunCommands(std::vector<FileCommand> commands) override {
    events.push_back(L"run " + std::to_wstring(commands.size()) + ScriptState());
    FailIf(L"run");
    ran = std::move(commands);
  }
  void Close() override { events.push_back(L"close" + ScriptState()); }

 private:
  void FailIf(const wchar_t* call) const {
    if (failIn == call) throw std::bad_alloc();
  }
  std::wstring ScriptState() const {
    return FileExists(script_) ? L", script present" : L", script deleted";
  }
  std::wstring script_;
  std::vector<bool> answers_;
  std::size_t asked_ = 0;
};

using Events = std::vector<std::wstring>;

class UpdateSequence : public ::testing::Test {
 protected:
  std::string Path(const std::wstring& name) const { return Narrow(folder_.File(name)); }
  std::wstring WidePath(const std::wstring& name) const { return folder_.File(name); }
  std::wstring Script() const { return folder_.File(L"upd.txt"); }
  void WriteScript(const std::string& text) { WriteBytes(Script(), text); }

  TempFolder folder_;
};

TEST_F(UpdateSequence, AllChecksPassRunsThenDeletesTheScriptThenCloses) {
  WriteBytes(WidePath(L"new.dll"), "new");
  WriteScript("COP " + Path(L"new.dll") + " " + Path(L"old.dll") + "\nRUN x.exe\n");
  RecordingSurface surface(Script(), {});

  RunUpdateSequence(Script().c_str(), surface, 0);

  EXPECT_EQ(surface.events, (Events{L"title: Updating PexaMenu, Please wait...",
                                    L"run 2, script present", L"close, script deleted"}));
  ASSERT_EQ(surface.ran.size(), 2u);
  EXPECT_EQ(surface.ran[1].Arguments[0], "x.exe");
  EXPECT_FALSE(FileExists(WidePath(L"old.dll")))
      << "the access check deletes the target it created to prove it could";
}

TEST_F(UpdateSequence, AnEmptyScriptStillChangesTheTitleAndIsDeleted) {
  WriteScript("");
  RecordingSurface surface(Script(), {});
  RunUpdateSequence(Script().c_str(), surface, 0);
  EXPECT_EQ(surface.events, (Events{L"title: Updating PexaMenu, Please wait...",
                                    L"run 0, script present", L"close, script deleted"}));
}

TEST_F(UpdateSequence, FolderWithoutWritePermissionShowsOnlyTheWriteMessage) {
  const std::wstring script = FixturePath(L"nowrite\\upd.txt");
  RecordingSurface surface(script, {});
  RunUpdateSequence(script.c_str(), surface, 0);
  EXPECT_EQ(surface.events, (Events{L"tell: " + FolderWriteMessage(script),
                                    L"close, script present"}));
}

TEST_F(UpdateSequence, ReadOnlyScriptShowsTheDeleteMessage) {
  WriteScript("RUN x.exe\n");
  SetReadOnly(Script(), true);
  RecordingSurface surface(Script(), {});
  RunUpdateSequence(Script().c_str(), surface, 0);
  EXPECT_EQ(surface.events, (Events{L"tell: Delete access to folder missing:\n" + folder_.Path(),
                                    L"close, script present"}));
}

// Every target may be written, but its folder takes no new file, which the
// copy's temporary file needs: the update ends as for the script's folder.
TEST_F(UpdateSequence, ATargetFolderThatTakesNoNewFileEndsWithTheFolderNotice) {
  WriteBytes(WidePath(L"new.ini"), "new");
  const std::wstring target = FixturePath(L"nowrite\\settings.ini");
  WriteScript("COP " + Path(L"new.ini") + "\t" + Narrow(target) + "\n");
  RecordingSurface surface(Script(), {});
  RunUpdateSequence(Script().c_str(), surface, 0);
  EXPECT_EQ(surface.events,
            (Events{L"tell: " + FolderWriteNotice(target.substr(0, target.rfind(L'\\'))),
                    L"close, script present"}));
}

TEST_F(UpdateSequence, NoToAQuestionEndsWithNothingCopiedAndTheScriptKept) {
  WriteBytes(WidePath(L"new.dll"), "new");
  WriteBytes(WidePath(L"busy.dll"), "old");
  SetReadOnly(WidePath(L"busy.dll"), true);
  WriteScript("COP " + Path(L"new.dll") + " " + Path(L"missing.dll") + "\n" +
              "COP " + Path(L"new.dll") + " " + Path(L"busy.dll") + "\n");
  RecordingSurface surface(Script(), {false});
  RunUpdateSequence(Script().c_str(), surface, 0);
  EXPECT_EQ(surface.events,
            (Events{L"ask: " + BusyTargetQuestion(Path(L"busy.dll")), L"close, script present"}));
  EXPECT_EQ(ReadBytes(WidePath(L"busy.dll")), "old");
  EXPECT_FALSE(FileExists(WidePath(L"missing.dll"))) << "the busy check creates nothing";
}

TEST_F(UpdateSequence, YesRetriesWithoutLimitUntilTheChecksPass) {
  WriteBytes(WidePath(L"new.dll"), "new");
  WriteBytes(WidePath(L"busy.dll"), "old");
  SetReadOnly(WidePath(L"busy.dll"), true);
  WriteScript("COP " + Path(L"new.dll") + " " + Path(L"busy.dll") + "\n");
  RecordingSurface surface(Script(), {true, true, true, true});
  surface.beforeAnswer = [&](std::size_t asked) {
    if (asked == 3) SetReadOnly(WidePath(L"busy.dll"), false);
  };
  RunUpdateSequence(Script().c_str(), surface, 0);
  const std::wstring busy = L"ask: " + BusyTargetQuestion(Path(L"busy.dll"));
  EXPECT_EQ(surface.events,
            (Events{busy, busy, busy, busy, L"title: Updating PexaMenu, Please wait...",
                    L"run 1, script present", L"close, script deleted"}));
}

TEST_F(UpdateSequence, EveryPassStartsAgainFromTheBusyCheck) {
  WriteBytes(WidePath(L"target.dll"), "old");
  WriteScript("COP " + Path(L"new.dll") + " " + Path(L"target.dll") + "\n");
  RecordingSurface surface(Script(), {true, true, false});
  surface.beforeAnswer = [&](std::size_t asked) {
    if (asked == 0) {
      // The source appears, but meanwhile the target has become busy.
      WriteBytes(WidePath(L"new.dll"), "new");
      SetReadOnly(WidePath(L"target.dll"), true);
    }
  };
  RunUpdateSequence(Script().c_str(), surface, 0);
  EXPECT_EQ(surface.events, (Events{L"ask: " + MissingSourceQuestion(Path(L"new.dll")),
                                    L"ask: " + BusyTargetQuestion(Path(L"target.dll")),
                                    L"ask: " + BusyTargetQuestion(Path(L"target.dll")),
                                    L"close, script present"}));
}

TEST_F(UpdateSequence, ABlockedTargetAsksForWriteAccess) {
  WriteBytes(WidePath(L"new.dll"), "new");
  WriteScript("COP " + Path(L"new.dll") + " " + Path(L"no-folder\\t.dll") + "\n");
  RecordingSurface surface(Script(), {true, false});
  surface.beforeAnswer = [&](std::size_t asked) {
    if (asked == 0) CreateDirectoryW(WidePath(L"no-folder").c_str(), nullptr);
    if (asked == 1) FAIL() << "asked again after the folder was made";
  };
  RunUpdateSequence(Script().c_str(), surface, 0);
  EXPECT_EQ(surface.events,
            (Events{L"ask: " + BlockedTargetQuestion(Path(L"no-folder\\t.dll"), 1),
                    L"title: Updating PexaMenu, Please wait...", L"run 1, script present",
                    L"close, script deleted"}));
}

// The worker's guard: an allocation that fails anywhere in the update still
// closes the window, and leaves the script in place.
TEST_F(UpdateSequence, AFailedAllocationOnTheWorkerStillCloses) {
  WriteBytes(WidePath(L"new.dll"), "new");
  const std::string copy = "COP " + Path(L"new.dll") + " " + Path(L"old.dll") + "\n";
  const std::string missing = "COP " + Path(L"gone.dll") + " " + Path(L"old.dll") + "\n";
  const std::wstring asked = L"ask: Can't access source files: " + WidePath(L"gone.dll") +
                             L"\nTry again?";
  const struct {
    const char* name;
    const wchar_t* failIn;
    std::string script;
    Events events;
  } cases[] = {
      {"while asking", L"ask", missing, {asked, L"close, script present"}},
      {"while setting the title", L"title", copy,
       {L"title: Updating PexaMenu, Please wait...", L"close, script present"}},
      {"while running", L"run", copy,
       {L"title: Updating PexaMenu, Please wait...", L"run 1, script present",
        L"close, script present"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    WriteScript(c.script);
    RecordingSurface surface(Script(), {});
    surface.failIn = c.failIn;
    RunUpdateSequenceOnWorker(Script().c_str(), surface, 0);
    EXPECT_EQ(surface.events, c.events);
  }
}

}  // namespace
