// The script writer, natively and under Wine: what it refuses, the bytes it
// writes, and that a file is written whole or not at all.
#include "updater_client/updater_client.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include "support/scratch_folder.h"

#ifdef _WIN32
#include "support/test_files.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using devidudi::UpdateScript;

namespace {

// The names directly in a folder.
std::set<std::string> NamesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().u8string());
  return names;
}

std::string Contents(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Put(const fs::path& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

TEST(UpdateScript, RefusesWhatTheFormatCannotCarry) {
  const std::wstring long259 = L"C:\\" + std::wstring(256, L'x');
  const struct {
    const char* row;
    std::wstring source, target;
    bool accepted;
  } copies[] = {
      {"plain", L"C:\\u\\a.txt", L"C:\\Program Files\\a.txt", true},
      {"UNC and Latin-1", L"\\\\srv\\share\\caf\u00E9.txt", L"D:/x/\u00FF", true},
      {"not Latin-1", L"C:\\u\\\u4E2D.txt", L"C:\\a", false},
      {"U+0100, one past Latin-1", L"C:\\a", L"C:\\\u0100", false},
      {"TAB", L"C:\\a\tb", L"C:\\a", false},
      {"CR", L"C:\\a", L"C:\\a\r", false},
      {"LF", L"C:\\a\nb", L"C:\\a", false},
      {"NUL", L"C:\\a", std::wstring(L"C:\\a\0b", 6), false},
      {"0x1A ends the updater's data", L"C:\\a\x1A", L"C:\\a", false},
      {"relative", L"a.txt", L"C:\\a", false},
      {"rooted without a drive", L"\\a.txt", L"C:\\a", false},
      {"drive without a backslash", L"C:a.txt", L"C:\\a", false},
      {"UNC without a share", L"\\\\srv", L"C:\\a", false},
      {"empty", L"", L"C:\\a", false},
      {"a quote", L"C:\\a\"b", L"C:\\a", false},
      {"a wildcard", L"C:\\a*", L"C:\\a", false},
      {"a colon in a name", L"C:\\a:b", L"C:\\a", false},
      {"a bar", L"C:\\a", L"C:\\a|b", false},
      {"less than", L"C:\\a<b", L"C:\\a", false},
      {"greater than", L"C:\\a", L"C:\\a>b", false},
      {"a question mark", L"C:\\a?", L"C:\\a", false},
      {"the C1 control U+0085", L"C:\\a\u0085b", L"C:\\a", false},
      {"U+00A0 is a character", L"C:\\a\u00A0b", L"C:\\a", true},
      {"name ends in a TAB", L"C:\\a", L"C:\\b\t", false},
      {"name ends in a dot", L"C:\\dir.\\a", L"C:\\a", false},
      {"name ends in a space", L"C:\\a", L"C:\\a ", false},
      {"device name", L"C:\\x\\nul.txt", L"C:\\a", false},
      {"device name COM1", L"C:\\a", L"C:\\Com1", false},
      {"device name COM with a superscript one", L"C:\\a", L"C:\\COM\u00B9.txt", false},
      {"device name COM with a superscript two", L"C:\\COM\u00B2", L"C:\\a", false},
      {"device name LPT with a superscript three", L"C:\\a", L"C:\\lpt\u00B3", false},
      {"device name CONIN$", L"C:\\a", L"C:\\app\\CONIN$", false},
      {"device name CONOUT$ as a folder", L"C:\\conout$\\a", L"C:\\a", false},
      {"COM10 is no device", L"C:\\COM10", L"C:\\CONSOLE", true},
      // Inside a source they lead to a file all the same; inside a target
      // they hide which file the copy replaces.
      {"dot names inside the source", L"C:\\a\\..\\b", L"C:\\b", true},
      {"\"..\" inside the target", L"C:\\a", L"C:\\App\\..\\Other\\a.dll", false},
      {"\".\" inside the target", L"C:\\a", L"C:\\.\\b", false},
      {"target ends in a backslash", L"C:\\a", L"C:\\app\\", false},
      {"target ends in a slash", L"C:\\a", L"C:\\app/", false},
      {"target ends in \\.", L"C:\\a", L"C:\\app\\.", false},
      {"target ends in \\..", L"C:\\a", L"C:\\app\\..", false},
      {"target is the source", L"C:\\App\\\u00E9.txt", L"c:/app/\u00C9.TXT", false},
      {"verbatim and long", L"\\\\?\\C:\\" + std::wstring(300, L'x'), L"C:\\a", true},
      {"259 units", long259, L"C:\\a", true},
      {"260 units", long259 + L"x", L"C:\\a", false},
  };
  for (const auto& c : copies) {
    UpdateScript script;
    const std::wstring reason = script.AddCopy(c.source, c.target);
    EXPECT_EQ(reason.empty(), c.accepted) << c.row;
    EXPECT_EQ(script.LineCount(), c.accepted ? 1u : 0u) << c.row;
    EXPECT_EQ(script.Bytes().empty(), !c.accepted) << c.row;
  }

  const std::wstring program = L"C:\\p.exe";  // "C:\p.exe" is 10 units quoted
  const struct {
    const char* row;
    std::wstring program, arguments;
    bool accepted;
  } runs[] = {
      {"program alone", program, L"", true},
      {"with arguments", program, L"/a \"b c\" \u00E9", true},
      {"quote in the program", L"C:\\a\"b.exe", L"", false},
      {"empty program", L"", L"/a", false},
      {"TAB in the arguments", program, L"a\tb", false},
      {"not Latin-1", program, L"\u20AC", false},
      {"255 units", program, std::wstring(244, L'a'), true},
      {"256 units", program, std::wstring(245, L'a'), false},
  };
  for (const auto& c : runs) {
    UpdateScript script;
    EXPECT_EQ(script.AddRun(c.program, c.arguments).empty(), c.accepted) << c.row;
    EXPECT_EQ(script.LineCount(), c.accepted ? 1u : 0u) << c.row;
  }
  UpdateScript script;
  EXPECT_FALSE(script.AddRunCommandLine(L"").empty()) << "an empty command line";
  EXPECT_FALSE(script.AddRunCommandLine(L"a\rb").empty()) << "CR in a command line";
  EXPECT_FALSE(script.AddRunCommandLine(L"a\u0085b").empty()) << "C1 control in a command line";
}

TEST(UpdateScript, WritesLatin1LinesWithCrLfAndNoByteOrderMark) {
  UpdateScript script;
  ASSERT_EQ(script.AddCopy(L"C:\\new\\caf\u00E9 menu.txt", L"C:\\Program Files\\P\\menu.txt"), L"");
  ASSERT_EQ(script.AddRun(L"C:\\Program Files\\P\\P.exe", L"/updated \u00FF"), L"");
  ASSERT_EQ(script.AddRunCommandLine(L"cmd /c \"echo done\""), L"");
  EXPECT_EQ(script.Bytes(),
            "COP\tC:\\new\\caf\xE9 menu.txt\tC:\\Program Files\\P\\menu.txt\r\n"
            "RUN \"C:\\Program Files\\P\\P.exe\" /updated \xFF\r\n"
            "RUN cmd /c \"echo done\"\r\n");

  const ScratchFolder folder("devidudi-writer");
  const fs::path target = folder.Path() / "update.txt";
  ASSERT_FALSE(script.WriteTo(target)) << "a new file";
  EXPECT_EQ(Contents(target), script.Bytes());
  UpdateScript shorter;
  ASSERT_EQ(shorter.AddRunCommandLine(L"x.exe"), L"");
  ASSERT_FALSE(shorter.WriteTo(target)) << "over an existing, longer file";
  EXPECT_EQ(Contents(target), "RUN x.exe\r\n");
  EXPECT_EQ(NamesIn(folder.Path()), std::set<std::string>{"update.txt"}) << "no temporary file left";
}

TEST(UpdateScript, WritesWholeOrNotAtAll) {
  UpdateScript script;
  ASSERT_EQ(script.AddRunCommandLine(L"x.exe"), L"");
  {
    SCOPED_TRACE("the target's folder is missing");
    const ScratchFolder folder("devidudi-writer");
    EXPECT_TRUE(script.WriteTo(folder.Path() / "missing" / "update.txt"));
    EXPECT_TRUE(NamesIn(folder.Path()).empty());
  }
  {
    SCOPED_TRACE("the target is a folder");
    const ScratchFolder folder("devidudi-writer");
    fs::create_directory(folder.Path() / "update.txt");
    EXPECT_TRUE(script.WriteTo(folder.Path() / "update.txt"));
    EXPECT_TRUE(fs::is_directory(folder.Path() / "update.txt"));
    EXPECT_EQ(NamesIn(folder.Path()), std::set<std::string>{"update.txt"});
  }
#ifdef _WIN32
  {
    // Windows refuses to replace a read-only file; Wine would, but the
    // writer leaves such a file alone itself.
    SCOPED_TRACE("the target is read-only");
    const ScratchFolder folder("devidudi-writer");
    const fs::path target = folder.Path() / "update.txt";
    Put(target, "old");
    SetReadOnly(target.wstring(), true);
    EXPECT_TRUE(script.WriteTo(target));
    SetReadOnly(target.wstring(), false);
    EXPECT_EQ(Contents(target), "old");
    EXPECT_EQ(NamesIn(folder.Path()), std::set<std::string>{"update.txt"});
  }
  {
    SCOPED_TRACE("a folder without write permission (prepared by the host)");
    const fs::path folder = FixturePath(L"nowrite");
    const auto entries = [&] {
      return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    const auto before = entries();
    EXPECT_TRUE(script.WriteTo(folder / "upd.txt"));
    EXPECT_EQ(Contents(folder / "upd.txt"), "RUN nothing.exe\n");
    EXPECT_EQ(entries(), before) << "no temporary file left beside it";
  }
#else
  if (geteuid() != 0) {  // root writes into any folder
    SCOPED_TRACE("a folder without write permission");
    const ScratchFolder folder("devidudi-writer");
    Put(folder.Path() / "update.txt", "old");
    fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_TRUE(script.WriteTo(folder.Path() / "update.txt"));
    fs::permissions(folder.Path(), fs::perms::owner_all);
    EXPECT_EQ(Contents(folder.Path() / "update.txt"), "old");
    EXPECT_EQ(NamesIn(folder.Path()), std::set<std::string>{"update.txt"});
  }
#endif
}

}  // namespace
