#include "script/file_command_collection.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/folder_probe.h"
#include "support/test_files.h"

namespace {

std::vector<std::vector<std::string>> ArgumentsOf(const FileCommandCollection& c) {
  std::vector<std::vector<std::string>> all;
  for (const FileCommand& command : c.Commands) all.push_back(command.Arguments);
  return all;
}

std::vector<CommandKind> KindsOf(const FileCommandCollection& c) {
  std::vector<CommandKind> kinds;
  for (const FileCommand& command : c.Commands) kinds.push_back(command.Kind);
  return kinds;
}

struct ReadCase {
  const char* name;
  std::string bytes;
  std::vector<std::string> lines;  // the lines the runtime's text mode gives
};

// The script is read through the C runtime's text mode, so these are the
// runtime's rules for line ends, not ours; dropping a leading byte-order mark
// is ours.
TEST(ScriptReading, LineEndsAsTheRuntimeReadsThem) {
  const std::string chunkEdge = "RUN " + std::string(65536 - 5, 'x');  // CR at 65535
  const ReadCase cases[] = {
      {"zero bytes", "", {}},
      {"LF", "COP a b\nRUN c\nCOP d e\n", {"COP a b", "RUN c", "COP d e"}},
      {"no LF after the last line", "COP a b\nRUN c\nCOP d e", {"COP a b", "RUN c", "COP d e"}},
      {"CR LF leaves no CR", "COP a b\r\nRUN c\r\nCOP d e\r\n", {"COP a b", "RUN c", "COP d e"}},
      {"lone CR is one line", "COP a b\rRUN c\rCOP d e", {"COP a b\rRUN c\rCOP d e"}},
      {"CR CR LF keeps the first CR", "RUN a\r\r\nRUN b", {"RUN a\r", "RUN b"}},
      {"0x1A ends the data", "COP a b\nRUN c\x1A" "d\nRUN e\n", {"COP a b", "RUN c"}},
      {"empty lines count", "COP a b\n\n\nRUN c\n", {"COP a b", "", "", "RUN c"}},
      {"UTF-8 byte-order mark at the start is no part of the first line",
       "\xEF\xBB\xBF" "COP a b\r\nRUN c\r\n", {"COP a b", "RUN c"}},
      {"only a byte-order mark is an empty script", "\xEF\xBB\xBF", {}},
      {"byte-order mark bytes elsewhere stay", "RUN a\n\xEF\xBB\xBF" "COP b c\n",
       {"RUN a", "\xEF\xBB\xBF" "COP b c"}},
      {"a second mark stays", "\xEF\xBB\xBF\xEF\xBB\xBF" "COP a b\n",
       {"\xEF\xBB\xBF" "COP a b"}},
      {"NUL and Latin-1 bytes pass through", std::string("COP a\0\xE9 b\n", 10),
       {std::string("COP a\0\xE9 b", 9)}},
      {"CR LF across the reader's 64 KiB chunks", chunkEdge + "\r\nRUN y\r\n",
       {chunkEdge, "RUN y"}},
  };
  for (const ReadCase& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    const std::wstring script = folder.File(L"upd.txt");
    WriteBytes(script, c.bytes);

    const FileCommandCollection collection(script.c_str());

    ASSERT_EQ(collection.Commands.size(), c.lines.size());
    for (std::size_t i = 0; i < c.lines.size(); ++i) {
      const FileCommand expected(c.lines[i]);
      EXPECT_EQ(collection.Commands[i].Kind, expected.Kind) << "line " << i;
      EXPECT_EQ(collection.Commands[i].Arguments, expected.Arguments) << "line " << i;
    }
  }
}

TEST(ScriptReading, NoLimitOnLinesOrLineLength) {
  TempFolder folder;
  const std::wstring script = folder.File(L"upd.txt");
  const std::string longTarget(1 << 20, 't');
  std::string bytes = "COP s " + longTarget + "\r\n";
  for (int i = 0; i < 100000; ++i) bytes += "RUN p" + std::to_string(i) + ".exe\r\n";
  WriteBytes(script, bytes);

  const FileCommandCollection collection(script.c_str());

  ASSERT_EQ(collection.Commands.size(), 100001u);
  EXPECT_EQ(collection.Commands[0].Arguments[1], longTarget);
  EXPECT_EQ(collection.Commands[100000].Arguments[0], "p99999.exe");
}

TEST(ScriptReading, SharesTheScriptWithAWriterButNotWithAnExclusiveHolder) {
  TempFolder folder;
  const std::wstring script = folder.File(L"upd.txt");
  WriteBytes(script, "COP a b\nRUN c\n");
  {
    const HANDLE writer = CreateFileW(script.c_str(), GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const FileCommandCollection collection(script.c_str());
    CloseHandle(writer);
    EXPECT_EQ(KindsOf(collection), (std::vector<CommandKind>{CommandKind::Copy,
                                                              CommandKind::Run}));
  }
  {
    const HANDLE holder = CreateFileW(script.c_str(), GENERIC_READ, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
    const FileCommandCollection collection(script.c_str());
    CloseHandle(holder);
    EXPECT_TRUE(collection.Commands.empty());
    // The probe is a copy of the script, which cannot be read either.
    EXPECT_EQ(collection.FolderWritable, 0);
    EXPECT_EQ(collection.FolderDeletable, 0);
  }
}

TEST(FolderProbe, WritableAndDeletableFolder) {
  TempFolder folder;
  const std::wstring script = folder.File(L"upd.txt");
  WriteBytes(script, "RUN a\n");

  const FileCommandCollection collection(script.c_str());

  EXPECT_NE(collection.FolderWritable, 0);
  EXPECT_NE(collection.FolderDeletable, 0);
  EXPECT_FALSE(FileExists(folder.File(L"upd.txtcopyFilr.scp")));
  EXPECT_EQ(ReadBytes(script), "RUN a\n");
  EXPECT_EQ(ArgumentsOf(collection), (std::vector<std::vector<std::string>>{{"a"}}));
}

TEST(FolderProbe, FolderWithoutWritePermission) {
  const std::wstring script = FixturePath(L"nowrite\\upd.txt");
  ASSERT_TRUE(FileExists(script));

  const FileCommandCollection collection(script.c_str());

  EXPECT_EQ(collection.FolderWritable, 0);
  EXPECT_EQ(collection.FolderDeletable, 0);
  EXPECT_FALSE(FileExists(ProbeFilePath(script)));
  EXPECT_EQ(collection.Commands.size(), 1u) << "the script is still read";
}

TEST(FolderProbe, ReadOnlyScriptLeavesAReadOnlyProbeBehind) {
  TempFolder folder;
  const std::wstring script = folder.File(L"upd.txt");
  WriteBytes(script, "RUN a\n");
  SetReadOnly(script, true);

  const FileCommandCollection collection(script.c_str());

  EXPECT_NE(collection.FolderWritable, 0);
  EXPECT_EQ(collection.FolderDeletable, 0);
  const std::wstring probe = folder.File(L"upd.txtcopyFilr.scp");
  EXPECT_EQ(ReadBytes(probe), "RUN a\n") << "the probe is a copy of the script";
  EXPECT_NE(GetFileAttributesW(probe.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
}

TEST(FolderProbe, ProbeLeftOverFromAnEarlierRun) {
  TempFolder folder;
  const std::wstring script = folder.File(L"upd.txt");
  const std::wstring probe = folder.File(L"upd.txtcopyFilr.scp");
  WriteBytes(script, "RUN a\n");
  {
    SCOPED_TRACE("deletable leftover");
    WriteBytes(probe, "left over");
    const FileCommandCollection collection(script.c_str());
    EXPECT_NE(collection.FolderWritable, 0);
    EXPECT_NE(collection.FolderDeletable, 0);
    EXPECT_FALSE(FileExists(probe));
  }
  {
    SCOPED_TRACE("read-only leftover: no copy is tried, and it stays");
    WriteBytes(probe, "left over");
    SetReadOnly(probe, true);
    const FileCommandCollection collection(script.c_str());
    EXPECT_NE(collection.FolderWritable, 0);
    EXPECT_EQ(collection.FolderDeletable, 0);
    EXPECT_EQ(ReadBytes(probe), "left over");
  }
}

TEST(FolderProbe, ScriptPathThatNamesAFolder) {
  TempFolder folder;
  const FileCommandCollection collection(folder.Path().c_str());
  EXPECT_EQ(collection.FolderWritable, 0);
  EXPECT_EQ(collection.FolderDeletable, 0);
  EXPECT_TRUE(collection.Commands.empty());
}

// The probe path is the script path with 12 units appended; no fixed buffer
// limits it. 243 units is the longest path whose probe fits 256 units with
// its terminator; what Windows does with longer paths decides the flags.
TEST(FolderProbe, LongScriptPaths) {
  for (const std::size_t length : {243u, 244u, 300u}) {
    SCOPED_TRACE(length);
    TempFolder folder;
    std::wstring dir = folder.Path();
    // Folders of at most 100 units each, then a file name to fill the length.
    while (length - dir.size() > 110) {
      dir += L"\\" + std::wstring(100, L'd');
      ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + dir).c_str(), nullptr));
    }
    const std::wstring script =
        dir + L"\\" + std::wstring(length - dir.size() - 5, L'f') + L".txt";
    ASSERT_EQ(script.size(), length);
    WriteBytes(L"\\\\?\\" + script, "RUN a\n");

    const FileCommandCollection collection(script.c_str());

    EXPECT_EQ(ProbeFilePath(script).size(), length + 12);
    if (collection.FolderDeletable) {
      EXPECT_NE(collection.FolderWritable, 0);
    }
    if (collection.FolderWritable && collection.FolderDeletable) {
      EXPECT_FALSE(FileExists(L"\\\\?\\" + ProbeFilePath(script)));
    }
    if (length < MAX_PATH - 12) {
      EXPECT_NE(collection.FolderWritable, 0);
      EXPECT_NE(collection.FolderDeletable, 0);
      EXPECT_EQ(collection.Commands.size(), 1u);
    }
  }
}

}  // namespace
