// The real devidudi.exe killed in the middle of an update, as a crash or the
// task manager would end it: every target still holds either its old bytes
// or its new ones, never a mixture, a new file not yet copied is not there
// at all (not even empty), and running the same script again finishes the
// update and leaves nothing behind in the application's folder.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "e2e/scenario.h"

namespace {

constexpr int kFiles = 300;
// Appended to a target's path to name the file its new bytes are written to
// first (see the README).
constexpr wchar_t kTemporarySuffix[] = L".ddu-new";
// Every copy is flushed to the disk before its rename, and on a loaded
// machine a flush may take a good part of a second: the waits for a moment
// some hundred copies in, and for a second run of all of them, are longer
// than other scenarios'. Within the test's own time limit.
constexpr DWORD kKillWaitMs = 3 * kScenarioWaitMs;
// The first note when the update ended or hung before the moment came.
const std::wstring kNeverReached = L"never reached the moment: ";

std::wstring FileName(int index) {
  wchar_t name[16];
  swprintf(name, 16, L"f%03d.dll", index);
  return name;
}

// Old and new versions differ in length and in every block, so a target that
// holds a mixture of the two, or a cut-off copy of either, matches neither.
std::string Version(const char* version, int index, std::size_t bytes) {
  const std::string block = std::string(version) + " of " + Narrow(FileName(index)) + ". ";
  std::string text;
  while (text.size() < bytes) text += block;
  return text.substr(0, bytes);
}
std::string OldBytes(int index) { return Version("old", index, 6000 + 7 * index); }
// Every tenth file is new: the installed version has none.
bool IsNewFile(int index) { return index % 10 == 9; }
std::string NewBytes(int index) { return Version("new", index, 9000 + 5 * index); }

// The new version under new\, the installed one under app\, and the script.
struct Update {
  std::shared_ptr<TempFolder> folder = std::make_shared<TempFolder>();
  std::wstring New(int index) const { return folder->File(L"new\\" + FileName(index)); }
  std::wstring App(int index) const { return folder->File(L"app\\" + FileName(index)); }
  std::wstring Script() const { return folder->File(L"update.txt"); }

  Update() {
    CreateDirectoryW(folder->File(L"new").c_str(), nullptr);
    CreateDirectoryW(folder->File(L"app").c_str(), nullptr);
    std::string script;
    for (int i = 0; i < kFiles; ++i) {
      WriteBytes(New(i), NewBytes(i));
      if (!IsNewFile(i)) WriteBytes(App(i), OldBytes(i));
      script += "COP " + Narrow(New(i)) + "\t" + Narrow(App(i)) + "\r\n";
    }
    WriteBytes(Script(), script);
  }

  // What the application's folder holds: how many targets are new and how
  // many old (a new file not yet copied counts as old), and every target or
  // other file that is neither. With
  // `withTimes`, a new target counts as new only with its source's
  // last-write time.
  std::vector<std::wstring> Survey(bool withTimes) const {
    std::set<std::wstring> others = NamesIn(folder->File(L"app"));
    int olds = 0, news = 0;
    std::vector<std::wstring> found;
    for (int i = 0; i < kFiles; ++i) {
      others.erase(FileName(i));
      const bool exists = FileExists(App(i));
      const std::string bytes = exists ? ReadBytes(App(i)) : "(missing)";
      if (IsNewFile(i) ? !exists : bytes == OldBytes(i)) {
        ++olds;
      } else if (bytes == NewBytes(i) &&
                 (!withTimes || TimesOf(App(i)).written == TimesOf(New(i)).written)) {
        ++news;
      } else if (bytes == NewBytes(i)) {
        found.push_back(FileName(i) + L" new, without its source's time");
      } else {
        found.push_back(FileName(i) + L" torn: " + std::to_wstring(bytes.size()) + L" bytes");
      }
    }
    found.insert(found.begin(), std::to_wstring(news) + L" new, " + std::to_wstring(olds) + L" old");
    for (const std::wstring& other : others) found.push_back(L"other file: " + other);
    return found;
  }
};

// Where the worker is held before it is killed: at the call of `function`
// whose first argument names file `index`, and then `lateMs` later. The
// copy of a file opens its source first (CreateFileW), and once every byte
// is in the temporary file it reads the target's full path for the rename
// (GetFullPathNameW). The worker runs on in `lateMs`; the debugger lets it
// go within some 50 ms.
struct KillMoment {
  const char* name;
  const char* function;
  int index;
  DWORD lateMs;
};

const KillMoment kMoments[] = {
    {"before the first copy", "CreateFileW", 0, 0},
    {"before the temporary file of file 100 takes the target's place", "GetFullPathNameW", 100, 0},
    // Early enough that even a fast machine is still copying when the kill
    // comes: the rest of the 300 files takes longer than lateMs plus the
    // debugger's 50 ms.
    {"around file 40", "CreateFileW", 40, 15},
    {"around file 80", "CreateFileW", 80, 35},
    {"around file 120", "CreateFileW", 120, 60},
};

CallMatch HoldAt(const Update& update, const KillMoment& moment) {
  const std::wstring path = std::string(moment.function) == "CreateFileW"
                                ? update.New(moment.index)
                                : update.App(moment.index);
  return CallMatch{moment.function, 0, path};
}

// Runs the update, kills it at the moment, surveys the folder, runs the same
// script again to its end and surveys the folder once more. Notes: the
// survey after the kill, whether the script is still there, the second
// run's exit code, then the survey after it.
Facts KillThenRunAgain(const KillMoment& moment) {
  const Update update;
  Facts facts;
  facts.folder = update.folder;
  {
    UpdaterProcess updater(Launch{L" " + update.Script(), {}, {}}, HoldAt(update, moment));
    facts.started = updater.Started();
    if (!updater.WaitUntilHeld(kKillWaitMs)) {
      const DWORD exitCode = updater.WaitForExit(0);
      facts.notes.push_back(kNeverReached + (exitCode == STILL_ACTIVE
                                                 ? std::wstring(L"still running")
                                                 : L"ended with " + std::to_wstring(exitCode)) +
                            (updater.Crashed() ? L", crashed" : L""));
      return facts;
    }
    // Killed where it stands, or let go and killed a moment later: the
    // debugger lets it go within some 50 ms, too late for an exact moment.
    if (moment.lateMs > 0) {
      updater.ReleaseHold();
      Sleep(moment.lateMs);
    }
    // The updater starts no process of its own here: it is the whole tree.
    TerminateProcess(updater.Handle(), 1);
    facts.exitCode = updater.WaitForExit(kScenarioWaitMs);
    facts.crashed = updater.Crashed();
  }
  const std::vector<std::wstring> afterKill = update.Survey(false);
  facts.notes.insert(facts.notes.end(), afterKill.begin(), afterKill.end());
  facts.notes.push_back(FileExists(update.Script()) ? L"script kept" : L"script gone");

  UpdaterProcess again(Launch{L" " + update.Script(), {}, {}});
  facts.notes.push_back(L"second run ended with " +
                        std::to_wstring(again.WaitForExit(kKillWaitMs)));
  const std::vector<std::wstring> afterSecond = update.Survey(true);
  facts.notes.insert(facts.notes.end(), afterSecond.begin(), afterSecond.end());
  facts.notes.push_back(FileExists(update.Script()) ? L"script kept" : L"script gone");
  return facts;
}

const bool kRegistered = [] {
  for (const KillMoment& moment : kMoments) {
    RegisterScenario(moment.name, [&moment] { return KillThenRunAgain(moment); });
  }
  return true;
}();

// "n new, m old", then whatever is neither an old nor a new target.
bool IsCount(const std::wstring& note) { return note.find(L" new, ") != std::wstring::npos; }

TEST(KilledUpdate, LeavesEveryTargetOldOrNewAndTheSecondRunFinishesWithoutLitter) {
  for (const KillMoment& moment : kMoments) {
    SCOPED_TRACE(moment.name);
    const Facts& facts = ScenarioFacts(moment.name);
    ASSERT_TRUE(facts.started);
    EXPECT_FALSE(facts.crashed);
    ASSERT_FALSE(facts.notes.empty());
    ASSERT_NE(facts.notes[0].rfind(kNeverReached, 0), 0u) << facts.notes[0];
    EXPECT_EQ(facts.exitCode, 1u) << "killed, not ended by itself";

    // After the kill: each target whole, old or new; at most the temporary
    // file of the copy that was under way beside them; the script kept.
    std::size_t at = 0;
    ASSERT_TRUE(IsCount(facts.notes[at]));
    const std::wstring afterKill = facts.notes[at++];
    int temporaries = 0;
    for (; at < facts.notes.size() && facts.notes[at] != L"script kept" &&
           facts.notes[at] != L"script gone";
         ++at) {
      const std::wstring& note = facts.notes[at];
      const std::wstring suffix = kTemporarySuffix;
      const bool temporary = note.rfind(L"other file: ", 0) == 0 && note.size() > suffix.size() &&
                             note.compare(note.size() - suffix.size(), suffix.size(), suffix) == 0;
      EXPECT_TRUE(temporary) << "after the kill: " << Narrow(note);
      temporaries += temporary;
    }
    EXPECT_LE(temporaries, 1);
    if (std::string(moment.function) == "GetFullPathNameW") {
      EXPECT_EQ(afterKill, L"100 new, 200 old");
      EXPECT_EQ(temporaries, 1) << "the complete copy of file 100 lies beside its target";
    }
    ASSERT_LT(at, facts.notes.size());
    EXPECT_EQ(facts.notes[at++], L"script kept");

    // After the second run: the folder is the new version, and only that.
    const std::vector<std::wstring> rest(facts.notes.begin() + at, facts.notes.end());
    EXPECT_EQ(rest, (std::vector<std::wstring>{L"second run ended with 0",
                                               std::to_wstring(kFiles) + L" new, 0 old",
                                               L"script gone"}));
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  StartAllScenarios();
  return RUN_ALL_TESTS();
}
