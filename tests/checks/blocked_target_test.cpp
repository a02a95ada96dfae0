#include <gtest/gtest.h>

#include <vector>

#include "checks/blocked_target.h"
#include "checks/check_fixture.h"
#include "checks/reported_name.h"
#include "support/peer_process.h"

namespace {

constexpr std::int32_t kUntouched = 42;

TEST(FindBlockedTarget, NothingToTestLeavesTheCodeAlone) {
  CheckFolder folder;
  std::int32_t code = kUntouched;
  EXPECT_EQ(FindBlockedTarget(folder.Load({})->Commands, code), "");
  EXPECT_EQ(FindBlockedTarget(folder.Load({"RUN a.exe", "cop x y"})->Commands, code), "");
  EXPECT_EQ(code, kUntouched);
}

// A missing target is created to prove it can be, and deleted at once: an
// update that stops after the checks must leave no empty file behind.
TEST(FindBlockedTarget, MissingTargetsAreTestedAndLeftMissingAndExistingOnesKeptAsTheyAre) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"existing.dll"), "old contents");
  const auto collection = folder.Load({
      "COP s " + folder.Path(L"existing.dll"),
      "COP s\t" + folder.Path(L"new file.dll"),
  });
  std::int32_t code = kUntouched;
  EXPECT_EQ(FindBlockedTarget(collection->Commands, code), "");
  EXPECT_EQ(code, kUntouched);
  EXPECT_EQ(ReadBytes(folder.WidePath(L"existing.dll")), "old contents");
  EXPECT_FALSE(FileExists(folder.WidePath(L"new file.dll")));
}

TEST(FindBlockedTarget, TargetsThatCannotBeOpenedForWriting) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"ro.txt"), "old");
  SetReadOnly(folder.WidePath(L"ro.txt"), true);
  WriteBytes(folder.WidePath(L"held.txt"), "old");
  ASSERT_TRUE(CreateDirectoryW(folder.WidePath(L"dir").c_str(), nullptr));
  FileHolder holder(folder.WidePath(L"held.txt"), L"r", L"rw");

  const std::string targets[] = {
      folder.Path(L"no\\such\\folder\\t.txt"),
      folder.Path(L"ro.txt"),
      folder.Path(L"dir"),
      folder.Path(L"held.txt"),
      Narrow(FixturePath(L"nowrite\\new.txt")),  // a folder without write permission
  };
  for (const std::string& target : targets) {
    SCOPED_TRACE(target);
    std::int32_t code = kUntouched;
    EXPECT_EQ(FindBlockedTarget(folder.Load({"COP s " + target})->Commands, code), target);
    EXPECT_EQ(code, 1);
  }
  EXPECT_FALSE(FileExists(folder.WidePath(L"no"))) << "no folder is ever created";
  EXPECT_EQ(ReadBytes(folder.WidePath(L"ro.txt")), "old");
}

TEST(FindBlockedTarget, OnlyTheFirstIsReportedAndNoTargetIsLeftCreated) {
  CheckFolder folder;
  const auto collection = folder.Load({
      "COP s " + folder.Path(L"before.txt"),
      "COP s " + folder.Path(L"missing\\blocked.txt"),
      "COP s " + folder.Path(L"after.txt"),
  });
  std::int32_t code = kUntouched;
  EXPECT_EQ(FindBlockedTarget(collection->Commands, code), folder.Path(L"missing\\blocked.txt"));
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(FileExists(folder.WidePath(L"before.txt"))) << "tested before the failure";
  EXPECT_FALSE(FileExists(folder.WidePath(L"after.txt")));
}

// The failing target is tested a second time; what the file system says then
// is what counts. A fake test decides each answer, so no race is needed.
TEST(FindBlockedTarget, TheSecondTestOfAFailingTargetDecidesTheCode) {
  struct Case {
    const char* name;
    std::vector<std::int32_t> answers;  // what the access test says, call by call
    std::string reported;
    std::int32_t code;
    std::size_t calls;
  };
  const Case cases[] = {
      {"still blocked", {1, 1}, "b", 1, 3},
      {"freed between the two tests", {1, 0}, "b", 0, 3},
      {"passes at once", {0, 0, 0}, "", kUntouched, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<std::string> asked;
    std::size_t next = 0;
    const TargetAccessTest fake = [&](const std::string& name) {
      asked.push_back(name);
      // The first target always passes; the answers are for "b".
      if (name == "a") return 0;
      return next < c.answers.size() ? c.answers[next++] : 0;
    };
    const std::vector<FileCommand> commands = {FileCommand("COP s a"), FileCommand("COP s b"),
                                               FileCommand("COP s c")};
    std::int32_t code = kUntouched;
    EXPECT_EQ(FindBlockedTargetIn(commands, fake, code), c.reported);
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(asked.size(), c.calls);
  }
}

TEST(FindBlockedTarget, CopyLinesWithoutExactlyTwoPaths) {
  std::vector<std::string> asked;
  const TargetAccessTest fake = [&](const std::string& name) {
    asked.push_back(name);
    return 0;
  };
  std::int32_t code = kUntouched;
  EXPECT_EQ(FindBlockedTargetIn({FileCommand("COP no-separator")}, fake, code),
            kCopyWithoutTarget);
  EXPECT_EQ(code, 1);
  EXPECT_TRUE(asked.empty()) << "there is no target to test";

  FileCommand three("COP a b");
  three.Arguments.push_back("c");
  code = kUntouched;
  EXPECT_EQ(FindBlockedTargetIn({three}, fake, code), "b");
  EXPECT_EQ(code, 0) << "one test of the target, which may pass";
  EXPECT_EQ(asked, std::vector<std::string>{"b"});
}

TEST(FindBlockedTarget, EmptyAndNulTargetsAreBlocked) {
  CheckFolder folder;
  std::int32_t code = kUntouched;
  EXPECT_EQ(FindBlockedTarget(folder.Load({"COP s "})->Commands, code), kCopyWithEmptyTarget);
  EXPECT_EQ(code, 1);

  // Cut at the NUL, the name would create new.txt; whole, it names no file.
  const std::string target = folder.Path(L"new.txt") + std::string(1, '\0') + "x";
  code = kUntouched;
  EXPECT_EQ(FindBlockedTarget({FileCommand("COP s " + target)}, code), target);
  EXPECT_EQ(code, 1);
  EXPECT_FALSE(FileExists(folder.WidePath(L"new.txt")));
}

}  // namespace
