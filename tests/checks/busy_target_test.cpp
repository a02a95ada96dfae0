#include <gtest/gtest.h>

#include "checks/busy_target.h"
#include "checks/check_fixture.h"
#include "checks/reported_name.h"
#include "support/peer_process.h"

namespace {

TEST(FindBusyTarget, NothingToTest) {
  CheckFolder folder;
  EXPECT_EQ(FindBusyTarget(folder.Load({})->Commands), "");
  EXPECT_EQ(FindBusyTarget(folder.Load({"RUN a.exe", "RUN b.exe"})->Commands), "");
  EXPECT_EQ(FindBusyTarget(folder.Load({"cop x y", "XYZ q"})->Commands), "")
      << "lines of other kinds are passed over";
}

TEST(FindBusyTarget, TargetsThatAreNotBusy) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"src"), "new");
  WriteBytes(folder.WidePath(L"free.txt"), "old contents");
  const std::string missingInMissingFolder = folder.Path(L"no\\such\\folder\\a.txt");

  const auto collection = folder.Load({
      "COP " + folder.Path(L"src") + "\t" + folder.Path(L"free.txt"),
      "COP " + folder.Path(L"src") + "\t" + folder.Path(L"missing.txt"),
      "COP " + folder.Path(L"src") + "\t" + missingInMissingFolder,
  });
  EXPECT_EQ(FindBusyTarget(collection->Commands), "");

  EXPECT_EQ(ReadBytes(folder.WidePath(L"free.txt")), "old contents") << "nothing written";
  EXPECT_FALSE(FileExists(folder.WidePath(L"missing.txt"))) << "nothing created";
  EXPECT_FALSE(FileExists(folder.WidePath(L"no")));
}

TEST(FindBusyTarget, TargetsThatCannotBeOpenedExclusively) {
  struct Case {
    const char* name;
    const wchar_t* access;  // how another process holds the target
    const wchar_t* share;
  };
  const Case held[] = {
      {"held for reading, sharing reads", L"r", L"r"},
      {"held for writing, sharing everything", L"w", L"rwd"},
      {"held with no sharing", L"rw", L"-"},
  };
  for (const Case& c : held) {
    SCOPED_TRACE(c.name);
    CheckFolder folder;
    WriteBytes(folder.WidePath(L"target.dll"), "old");
    const auto collection =
        folder.Load({"COP " + folder.Path(L"src") + " " + folder.Path(L"target.dll")});
    FileHolder holder(folder.WidePath(L"target.dll"), c.access, c.share);
    EXPECT_EQ(FindBusyTarget(collection->Commands), folder.Path(L"target.dll"));
    holder.Release();
    EXPECT_EQ(FindBusyTarget(collection->Commands), "") << "free again once released";
  }
  {
    SCOPED_TRACE("the image of a running program");
    CheckFolder folder;
    RunningProgram program(folder.WidePath(L"PexaMenu.exe"));
    program.Start();
    ASSERT_TRUE(program.WaitUntilRunning());
    const auto collection =
        folder.Load({"COP " + folder.Path(L"new.exe") + " " + folder.Path(L"PexaMenu.exe")});
    EXPECT_EQ(FindBusyTarget(collection->Commands), folder.Path(L"PexaMenu.exe"));
  }
  {
    SCOPED_TRACE("read-only target, and a folder of that name");
    CheckFolder folder;
    WriteBytes(folder.WidePath(L"ro.txt"), "old");
    SetReadOnly(folder.WidePath(L"ro.txt"), true);
    ASSERT_TRUE(CreateDirectoryW(folder.WidePath(L"dir").c_str(), nullptr));
    EXPECT_EQ(FindBusyTarget(folder.Load({"COP s " + folder.Path(L"ro.txt")})->Commands),
              folder.Path(L"ro.txt"));
    EXPECT_EQ(FindBusyTarget(folder.Load({"COP s " + folder.Path(L"dir")})->Commands),
              folder.Path(L"dir"));
  }
}

TEST(FindBusyTarget, OnlyTheFirstIsReportedAndLaterOnesAreNotTested) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"one"), "1");
  WriteBytes(folder.WidePath(L"two"), "2");
  SetReadOnly(folder.WidePath(L"one"), true);
  SetReadOnly(folder.WidePath(L"two"), true);
  const auto collection = folder.Load({
      "RUN x.exe",
      "COP s " + folder.Path(L"free"),
      "COP s " + folder.Path(L"two"),
      "COP s " + folder.Path(L"one"),
  });
  EXPECT_EQ(FindBusyTarget(collection->Commands), folder.Path(L"two"));
}

TEST(FindBusyTarget, CopyLinesWithoutExactlyTwoPaths) {
  CheckFolder folder;
  // The parser gives a Copy no arguments when its line has no separator.
  EXPECT_EQ(FindBusyTarget(folder.Load({"COP " + folder.Path(L"only-a-source")})->Commands),
            kCopyWithoutTarget);
  FileCommand three("COP a b");
  three.Arguments.push_back("c");
  EXPECT_EQ(FindBusyTarget({three}), "b")
      << "three arguments: the target, untested";
  FileCommand one("COP a b");
  one.Arguments.pop_back();
  EXPECT_EQ(FindBusyTarget({one}), "a")
      << "one argument: the source names the line";
}

TEST(FindBusyTarget, ReportsTheTargetByteForByte) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"caf\u00E9.dll"), "old");
  SetReadOnly(folder.WidePath(L"caf\u00E9.dll"), true);
  const std::string target = folder.Path(L"caf\u00E9.dll");
  ASSERT_NE(target.find('\xE9'), std::string::npos);
  EXPECT_EQ(FindBusyTarget(folder.Load({"COP s\t" + target})->Commands), target);
}

TEST(FindBusyTarget, ANulByteNeverCutsTheNameShort) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"busy.txt"), "old");
  SetReadOnly(folder.WidePath(L"busy.txt"), true);
  // Cut at the NUL, the name would be the busy file; whole, it names nothing.
  const std::string target = folder.Path(L"busy.txt") + std::string(1, '\0') + "x";
  EXPECT_EQ(FindBusyTarget({FileCommand("COP s " + target)}), "");
  EXPECT_FALSE(CanOpenExclusively(target));
}

}  // namespace
