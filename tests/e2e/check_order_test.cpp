// The order of the three checks where it shows, and the owner of every box
// the update shows: the real devidudi.exe, driven from outside (scenario.h).
#include <gtest/gtest.h>

#include <memory>

#include "e2e/scenario.h"
#include "support/peer_process.h"

namespace {

// A scenario's files: new versions under new\, the installed ones under app\.
struct Files {
  std::shared_ptr<TempFolder> folder = std::make_shared<TempFolder>();
  Files() {
    CreateDirectoryW(New(L"").c_str(), nullptr);
    CreateDirectoryW(App(L"").c_str(), nullptr);
  }
  std::wstring New(const std::wstring& name) const { return folder->File(L"new\\" + name); }
  std::wstring App(const std::wstring& name) const { return folder->File(L"app\\" + name); }
  std::wstring Script() const { return folder->File(L"update.txt"); }
  // One Copy line per pair of source and target.
  void WriteScript(const std::vector<std::pair<std::wstring, std::wstring>>& copies) const {
    std::string text;
    for (const auto& [source, target] : copies) {
      text += "COP " + Narrow(source) + "\t" + Narrow(target) + "\r\n";
    }
    WriteBytes(Script(), text);
  }
};

std::wstring Busy(const std::wstring& name) {
  return L"PexaMenu is already running\n(" + name + L")\nTry again?";
}
std::wstring Missing(const std::wstring& name) {
  return L"Can't access source files: " + name + L"\nTry again?";
}
std::wstring Blocked(const std::wstring& name) {
  return L"Write access to file missing: " + name + L"\nTry again?";
}

// A missing source together with a target that the access check would act
// on: the source question must come first, and the target stays untouched.
// If the access check ran first, it would create the first target, and
// refuse the second, before the source was looked at.
const struct {
  const char* name;
  const wchar_t* target;  // under app\ .
} kMissingSourceCases[] = {
    {"missing source, target the access check would create", L"a.dll"},
    {"missing source, target the access check would refuse", L"no folder\\a.dll"},
};

const bool kMissingSource = [] {
  for (const auto& c : kMissingSourceCases) {
    RegisterScenario(c.name, [target = std::wstring(c.target)] {
      Files files;
      files.WriteScript({{files.New(L"a.dll"), files.App(target)}});
      Facts facts = RunUpdater(L" " + files.Script(), L"", {IDNO});
      facts.folder = files.folder;
      facts.notes.push_back(files.App(target));
      return facts;
    });
  }
  return true;
}();

TEST(CheckOrder, TheSourceQuestionComesBeforeTheTargetIsTested) {
  for (const auto& c : kMissingSourceCases) {
    SCOPED_TRACE(c.name);
    const Facts& facts = ScenarioFacts(c.name);
    ASSERT_TRUE(facts.started);
    ASSERT_EQ(facts.messages.size(), 1u);
    EXPECT_EQ(facts.messages[0].text, Missing(facts.folder->File(L"new\\a.dll")));
    EXPECT_FALSE(FileExists(facts.notes[0])) << "the target was created";
    EXPECT_TRUE(FileExists(facts.folder->File(L"update.txt")));
    EXPECT_EQ(facts.exitCode, 0u);
  }
}

// Each check stops the update in turn, and each Yes follows a repair: a busy
// target, then a missing source, then a target whose folder is missing, then
// a copy that fails because its source is held. Every question and the
// failure report must come in that order, each in a box the window owns.
const bool kEachCheckInTurn = RegisterScenario("each check in turn", [] {
  Files files;
  WriteBytes(files.New(L"a.dll"), "new a");
  WriteBytes(files.App(L"a.dll"), "old a");
  files.WriteScript({{files.New(L"a.dll"), files.App(L"a.dll")},
                     {files.New(L"b.dll"), files.App(L"sub\\b.dll")}});
  auto busy = std::make_unique<FileHolder>(files.App(L"a.dll"), L"r", L"-");
  std::unique_ptr<FileHolder> heldSource;
  const auto repair = [&](std::size_t question) {
    if (question == 0) busy.reset();
    if (question == 1) WriteBytes(files.New(L"b.dll"), "new b");
    if (question == 2) {
      CreateDirectoryW(files.App(L"sub").c_str(), nullptr);
      heldSource = std::make_unique<FileHolder>(files.New(L"b.dll"), L"rw", L"-");
    }
  };
  Facts facts = RunUpdater(L" " + files.Script(), L"", {IDYES, IDYES, IDYES, IDOK}, repair);
  facts.folder = files.folder;
  return facts;
});

TEST(CheckOrder, BusyThenSourceThenAccessThenTheRun) {
  const Facts& facts = ScenarioFacts("each check in turn");
  ASSERT_TRUE(facts.started);
  const auto file = [&](const wchar_t* name) { return facts.folder->File(name); };
  const struct {
    std::wstring caption;
    std::wstring text;
  } expected[] = {
      {L"Failed to copy", Busy(file(L"app\\a.dll"))},
      {L"Failed to copy", Missing(file(L"new\\b.dll"))},
      {L"Failed to copy", Blocked(file(L"app\\sub\\b.dll"))},
      {L"Command failed", L"Copy failed, error code: 32 command: " + file(L"new\\b.dll")},
  };
  ASSERT_EQ(facts.messages.size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE("message " + std::to_string(i));
    EXPECT_EQ(facts.messages[i].caption, expected[i].caption);
    EXPECT_EQ(facts.messages[i].text, expected[i].text);
  }
  EXPECT_EQ(ReadBytes(file(L"app\\a.dll")), "new a");
  EXPECT_EQ(facts.exitCode, 0u);
}

// The folder message as well: the one box shown before any check.
const bool kFolderMessage = RegisterScenario("folder message", [] {
  return RunUpdater(L" " + FixturePath(L"nowrite\\upd.txt"), L"", {IDOK});
});

// A box without an owner can fall behind the window, and the window would
// take clicks while the question is open.
TEST(MessageBoxes, EveryBoxIsOwnedByTheProgressWindow) {
  for (const char* scenario : {"each check in turn", "folder message",
                               kMissingSourceCases[0].name, kMissingSourceCases[1].name}) {
    const Facts& facts = ScenarioFacts(scenario);
    ASSERT_FALSE(facts.messages.empty()) << scenario;
    for (std::size_t i = 0; i < facts.messages.size(); ++i) {
      EXPECT_TRUE(facts.messages[i].ownedByProgressWindow)
          << scenario << ", message " << i << ": " << Narrow(facts.messages[i].text);
    }
  }
}

}  // namespace
