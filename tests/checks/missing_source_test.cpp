#include <gtest/gtest.h>

#include "checks/check_fixture.h"
#include "checks/missing_source.h"
#include "checks/reported_name.h"
#include "support/peer_process.h"

namespace {

TEST(FindMissingSource, NothingToTest) {
  CheckFolder folder;
  EXPECT_EQ(FindMissingSource(folder.Load({})->Commands), "");
  EXPECT_EQ(FindMissingSource(folder.Load({"RUN a.exe", "Cop missing x"})->Commands), "");
}

TEST(FindMissingSource, SourcesThatExistPassWhateverTheirState) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"locked.bin"), "new");
  WriteBytes(folder.WidePath(L"plain.bin"), "new");
  const auto collection = folder.Load({
      "COP " + folder.Path(L"locked.bin") + " " + folder.Path(L"t1"),
      // The target plays no part, even in a folder that does not exist.
      "COP " + folder.Path(L"plain.bin") + " " + folder.Path(L"no\\such\\t3"),
  });
  FileHolder holder(folder.WidePath(L"locked.bin"), L"rw", L"-");
  EXPECT_EQ(FindMissingSource(collection->Commands), "");
  EXPECT_FALSE(FileExists(folder.WidePath(L"t1"))) << "nothing is created";
}

TEST(FindMissingSource, TheFirstMissingSourceIsReported) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"here"), "new");
  const auto collection = folder.Load({
      "COP " + folder.Path(L"here") + " t1",
      "COP " + folder.Path(L"gone-1") + " t2",
      "COP " + folder.Path(L"gone-2") + " t3",
  });
  EXPECT_EQ(FindMissingSource(collection->Commands), folder.Path(L"gone-1"));
  WriteBytes(folder.WidePath(L"gone-1"), "appeared");
  EXPECT_EQ(FindMissingSource(collection->Commands), folder.Path(L"gone-2"))
      << "every call looks at the file system afresh";
}

// A folder exists but can never be copied: reported as a missing source, so
// that the run does not start and fail half-way at that copy.
TEST(FindMissingSource, AFolderIsReportedAsAMissingSource) {
  CheckFolder folder;
  ASSERT_TRUE(CreateDirectoryW(folder.WidePath(L"PexaMenu 2.0").c_str(), nullptr));
  WriteBytes(folder.WidePath(L"first.dll"), "new");
  const struct {
    const char* name;
    std::string source;
  } cases[] = {
      {"folder", folder.Path(L"PexaMenu 2.0")},
      {"folder with a trailing backslash", folder.Path(L"PexaMenu 2.0\\")},
      {"the current folder", "."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto collection = folder.Load({"COP " + folder.Path(L"first.dll") + "\tt1",
                                         "COP " + c.source + "\tt2"});
    EXPECT_EQ(FindMissingSource(collection->Commands), c.source);
    EXPECT_FALSE(SourceExists(c.source));
  }
  // Yes tests afresh: a file put in the folder's place passes.
  const auto collection = folder.Load({"COP " + folder.Path(L"PexaMenu 2.0") + "\tt"});
  ASSERT_TRUE(RemoveDirectoryW(folder.WidePath(L"PexaMenu 2.0").c_str()));
  WriteBytes(folder.WidePath(L"PexaMenu 2.0"), "now a file");
  EXPECT_EQ(FindMissingSource(collection->Commands), "");
}

TEST(FindMissingSource, CopyLinesWithoutExactlyTwoPaths) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"exists"), "new");
  EXPECT_EQ(FindMissingSource(folder.Load({"COP " + folder.Path(L"exists")})->Commands),
            kCopyWithoutTarget);
  FileCommand three("COP " + folder.Path(L"exists") + " b");
  three.Arguments.push_back("c");
  EXPECT_EQ(FindMissingSource({three}), folder.Path(L"exists"))
      << "reported untested, though it exists";
  FileCommand one("COP " + folder.Path(L"exists") + " b");
  one.Arguments.pop_back();
  EXPECT_EQ(FindMissingSource({one}), folder.Path(L"exists"));
}

TEST(FindMissingSource, AnEmptySourceIsNotReportedAsAPass) {
  CheckFolder folder;
  // "COPY x": the space at index 4 separates an empty source from the target.
  EXPECT_EQ(FindMissingSource(folder.Load({"COPY " + folder.Path(L"t")})->Commands),
            kCopyWithEmptySource);
}

TEST(FindMissingSource, Latin1NamesReachTheFileSystemAsThatCharacter) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"d\u00E9j\u00E0.txt"), "new");
  const std::string source = folder.Path(L"d\u00E9j\u00E0.txt");
  EXPECT_TRUE(SourceExists(source));
  EXPECT_EQ(FindMissingSource(folder.Load({"COP " + source + " t"})->Commands), "");
}

TEST(FindMissingSource, ANulByteNeverCutsTheNameShort) {
  CheckFolder folder;
  WriteBytes(folder.WidePath(L"exists"), "new");
  const std::string source = folder.Path(L"exists") + std::string(1, '\0') + ".bak";
  EXPECT_FALSE(SourceExists(source));
  EXPECT_EQ(FindMissingSource({FileCommand("COP " + source + "\tt")}), source);
}

}  // namespace
