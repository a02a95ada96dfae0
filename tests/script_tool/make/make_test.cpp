// devidudi-script make over folders generated here: what it copies, the bytes
// it writes, what it refuses, and its exit codes. Longer than most files: the
// tables share the folders they generate, and splitting them would repeat those.
#include "script_tool/make/make_plan.h"
#include "script_tool/make/make_json.h"
#include "script_tool/make/make_self_check.h"
#include "script_tool/lint/lint_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <string>

#include "names/generated_names.h"
#include "names/text_conversions.h"
#include "support/scratch_folder.h"

#ifdef _WIN32
#include "support/test_files.h"
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// An OLD and a NEW folder under the system's temporary folder.
class Trees {
 public:
  Trees() {
    fs::create_directories(root_ / "old");
    fs::create_directories(root_ / "new");
  }

  // Writes a file under "old" or "new" (side), its folders too, with a fixed
  // last-write time, or one older by this much.
  void Put(const char* side, const std::string& relative, const std::string& bytes,
           std::chrono::milliseconds olderBy = {}) {
    const fs::path path = root_ / side / fs::u8path(relative);
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
#ifdef _WIN32
    // The runtime would set whole seconds only.
    constexpr ULONGLONG kTicksPerMs = 10000;
    const ULONGLONG time = kFileTime - static_cast<ULONGLONG>(olderBy.count()) * kTicksPerMs;
    SetTimes(path.wstring(), time, time);
#else
    fs::last_write_time(path, kTime - olderBy);
#endif
  }
  void Folder(const char* side, const std::string& relative) {
    fs::create_directories(root_ / side / fs::u8path(relative));
  }

  MakeRequest Request(bool times = false) const {
    MakeRequest request;
    request.OldFolder = root_ / "old";
    request.NewFolder = root_ / "new";
    request.SourceRoot = L"C:\\Update";
    request.TargetRoot = L"C:\\App\\";
    request.Times = times;
    return request;
  }
  const fs::path& Root() const { return root_; }

 private:
#ifdef _WIN32
  // Half a second past a whole one: a quarter of a second earlier is still
  // within the same second.
  static constexpr ULONGLONG kFileTime = 133000000005000000;  // 2022-06-16, in 100 ns
#else
  // The same: a whole second a month ago, and half of one. (The file
  // clock's epoch lies a whole number of seconds from the Unix one.)
  inline static const fs::file_time_type kTime =
      std::chrono::floor<std::chrono::seconds>(fs::file_time_type::clock::now() -
                                               std::chrono::hours(24 * 30)) +
      500ms;
#endif
  const ScratchFolder scratch_{"devidudi-make"};
  const fs::path root_ = scratch_.Path();
};

std::map<std::string, std::string> PlanCodes(const MakeOutcome& outcome) {
  std::map<std::string, std::string> codes;
  for (const PlanItem& item : outcome.Plan) codes[item.Path] = PlanCode(item);
  return codes;
}

TEST(MakeScript, CopiesWhatDiffersAndItemizesWhy) {
  // Over one compared block, equal in size, other only near the end.
  const std::string big(64 * 1024 + 300, 'b');
  const std::string bigChanged = big.substr(0, big.size() - 3) + "Bbb";
  const struct {
    const char* name;
    const char* old;  // nullptr: not in OLD
    const char* now;  // nullptr: not in NEW
    std::chrono::milliseconds oldOlderBy;
    const char* code;       // nullptr: not in the plan
    const char* codeTimes;  // with --times
  } rows[] = {
      {"same.txt", "abc", "abc", 0ms, nullptr, nullptr},
      {"added.txt", nullptr, "abc", 0ms, ">f+++", ">f+++"},
      {"size.txt", "abc", "abcd", 0ms, ">fs..", ">fs.."},
      {"bytes.txt", "abc", "abd", 0ms, ">f.c.", ">f.c."},
      {"big.bin", big.c_str(), bigChanged.c_str(), 0ms, ">f.c.", ">f.c."},
      {"big-and-same.bin", big.c_str(), big.c_str(), 0ms, nullptr, nullptr},
      {"time.txt", "abc", "abc", 5h, nullptr, ">f..t"},
      {"time within a second.txt", "abc", "abc", 250ms, nullptr, ">f..t"},
      {"size-and-time.txt", "ab", "abc", 5h, ">fs.t", ">fs.t"},
      {"empty-and-same.txt", "", "", 0ms, nullptr, nullptr},
      {"only-old.txt", "abc", nullptr, 0ms, "*kept", "*kept"},
      {"only-old-too.txt", "abc", nullptr, 0ms, "*kept", "*kept"},
  };
  Trees trees;
  for (const auto& row : rows) {
    if (row.old != nullptr) trees.Put("old", row.name, row.old, row.oldOlderBy);
    if (row.now != nullptr) trees.Put("new", row.name, row.now);
  }
  for (const bool times : {false, true}) {
    const MakeOutcome outcome = MakeScript(trees.Request(times));
    EXPECT_TRUE(outcome.Errors.empty());
    const auto codes = PlanCodes(outcome);
    for (const auto& row : rows) {
      const char* const expected = times ? row.codeTimes : row.code;
      const auto found = codes.find(row.name);
      EXPECT_EQ(found == codes.end() ? "(not listed)" : found->second,
                expected == nullptr ? "(not listed)" : expected)
          << row.name << (times ? " with --times" : "");
    }
    // Each file only in OLD is in the plan (*kept), and one warning, about
    // OLD, says what that means for them all.
    ASSERT_EQ(outcome.Warnings.size(), 1u);
    EXPECT_EQ(outcome.Warnings[0].Code, "DM041");
    EXPECT_EQ(fs::u8path(outcome.Warnings[0].File), trees.Root() / "old");
    EXPECT_NE(outcome.Warnings[0].Message.find("holds 2 files that NEW lacks (*kept in the plan)"),
              std::string::npos)
        << outcome.Warnings[0].Message;
  }
}

// The summary writes its counts as the progress line does.
TEST(MakeScript, SummaryCountsAsTheProgressLineDoes) {
  MakeOutcome outcome;
  PlanItem copied;
  PlanItem kept;
  kept.What = PlanItem::Action::KeepOnlyInOld;
  outcome.Plan.assign(1234, copied);
  outcome.Plan.push_back(kept);
  outcome.Unchanged = 20172;
  outcome.Excluded = 1000;
  EXPECT_EQ(MakeSummaryLine(outcome, true),
            "make: 1,234 to copy (0 new, 1,234 changed), 1 only in OLD, 20,172 unchanged, "
            "1,000 excluded\n");
  EXPECT_EQ(MakeSummaryLine(outcome, false),
            "make: 1,234 to copy (0 new, 1,234 changed), 1 only in OLD, 20,172 unchanged\n");
}

TEST(MakeScript, WritesOneLineAFileInWindowsOrderThenTheRuns) {
  Trees trees;
  for (const char* name : {"b.txt", "C.txt", "a.txt", "zz.txt", "\xC3\xA9.txt", "sub.txt",
                           "sub/k.txt", "Sub2/x.txt"}) {
    trees.Put("new", name, name);
  }
  trees.Folder("old", "sub");
  trees.Folder("old", "SUB2");  // the same folder to Windows
  MakeRequest request = trees.Request();
  request.Runs = {L"\"C:\\App\\P.exe\" /updated", L"cmd /c exit"};
  const MakeOutcome outcome = MakeScript(request);
  ASSERT_TRUE(outcome.Errors.empty())
      << outcome.Errors[0].File << ": " << outcome.Errors[0].Message;
  EXPECT_EQ(outcome.Script.Bytes(),
            "COP\tC:\\Update\\a.txt\tC:\\App\\a.txt\r\n"
            "COP\tC:\\Update\\b.txt\tC:\\App\\b.txt\r\n"
            "COP\tC:\\Update\\C.txt\tC:\\App\\C.txt\r\n"
            "COP\tC:\\Update\\sub\\k.txt\tC:\\App\\sub\\k.txt\r\n"
            "COP\tC:\\Update\\sub.txt\tC:\\App\\sub.txt\r\n"
            "COP\tC:\\Update\\Sub2\\x.txt\tC:\\App\\Sub2\\x.txt\r\n"
            "COP\tC:\\Update\\zz.txt\tC:\\App\\zz.txt\r\n"
            "COP\tC:\\Update\\\xE9.txt\tC:\\App\\\xE9.txt\r\n"
            "RUN \"C:\\App\\P.exe\" /updated\r\n"
            "RUN cmd /c exit\r\n");
  EXPECT_EQ(MakeScript(request).Script.Bytes(), outcome.Script.Bytes()) << "a second run";
}

TEST(MakeScript, ErrorsNameWhatTheFormatCannotDo) {
  const struct {
    const char* row;
    void (*prepare)(Trees&);
    const char* where;    // the end of the path named
    const char* message;  // a part of the message
  } rows[] = {
      {"a folder of NEW missing in OLD", [](Trees& t) { t.Put("new", "plugins/a.dll", "a"); },
       "new/plugins", "Write access to file missing"},
      {"an empty folder of NEW missing in OLD", [](Trees& t) { t.Folder("new", "logs"); },
       "new/logs", "creates no folders"},
      {"the refusal of a new folder names the flag",
       [](Trees& t) { t.Put("new", "plugins/a.dll", "a"); }, "new/plugins", "--new-folders"},
      {"a name that is not Latin-1", [](Trees& t) { t.Put("new", "\xE4\xB8\xAD.txt", "a"); },
       "new/\xE4\xB8\xAD.txt", "U+4E2D is not Latin-1"},
      {"a path of 260 units once rooted",
       [](Trees& t) { t.Put("new", std::string(245, 'x') + ".txt", "a"); }, ".txt",
       "characters long; Windows takes 259 at most"},
      {"a file of OLD named as a copied file's temporary file",
       [](Trees& t) {
         t.Put("old", "data.bin", "1");
         t.Put("new", "data.bin", "2");
         t.Put("old", "data.bin.ddu-new", "kept");
       },
       "new/data.bin",
       "old/data.bin.ddu-new is a file of that name: the updater overwrites it and renames it"},
      {"a file of NEW so named, in another case",
       [](Trees& t) {
         t.Put("new", "data.bin", "2");
         t.Put("new", "DATA.BIN.DDU-NEW", "b");
       },
       "new/data.bin", "DATA.BIN.DDU-NEW is a file of that name"},
      {"a file of NEW where OLD has a folder",
       [](Trees& t) {
         t.Folder("old", "data");
         t.Put("new", "data", "a");
       },
       "new/data", "is a folder in OLD"},
#ifndef _WIN32
      // Windows itself cannot hold these in one folder or under such names.
      {"two names equal to Windows",
       [](Trees& t) {
         t.Put("new", "readme.txt", "a");
         t.Put("new", "README.TXT", "b");
       },
       "new/readme.txt", "same name to Windows as README.TXT"},
      {"two names equal to Windows in an accented letter",
       [](Trees& t) {
         t.Put("new", "caf\xC3\xA9.txt", "a");
         t.Put("new", "CAF\xC3\x89.txt", "b");
       },
       "new/caf\xC3\xA9.txt", "same name to Windows as CAF\xC3\x89.txt"},
      {"a character Windows forbids", [](Trees& t) { t.Put("new", "a?b.txt", "a"); }, "new/a?b.txt",
       "'?' cannot stand in a Windows name"},
      {"a device name with a superscript digit",
       [](Trees& t) { t.Put("new", "COM\xC2\xB9.txt", "a"); }, "new/COM\xC2\xB9.txt",
       "is a Windows device name"},
      {"the console's input device", [](Trees& t) { t.Put("new", "conin$", "a"); }, "new/conin$",
       "is a Windows device name"},
      {"a device name as a folder", [](Trees& t) { t.Put("new", "aux/a.txt", "a"); },
       "new/aux/a.txt", "is a Windows device name"},
      {"a C1 control character", [](Trees& t) { t.Put("new", "a\xC2\x85" "b.txt", "a"); },
       "new/a\xC2\x85" "b.txt", "the control character 0x85"},
      {"a backslash, a separator to Windows", [](Trees& t) { t.Put("new", "a\\b.txt", "a"); },
       "new/a\\b.txt", "backslash"},
      {"a name ending in a dot", [](Trees& t) { t.Put("new", "notes.", "a"); }, "new/notes.",
       "ends in a dot"},
      {"a name that is not UTF-8", [](Trees& t) { t.Put("new", "caf\xE9.txt", "a"); },
       "new/caf\xE9.txt", "not UTF-8"},
      {"a symbolic link",
       [](Trees& t) {
         t.Put("new", "real.txt", "a");
         fs::create_symlink("real.txt", t.Root() / "new" / "link.txt");
       },
       "new/link.txt", "symbolic link"},
#endif
  };
  for (const auto& row : rows) {
    Trees trees;
    row.prepare(trees);
    MakeRequest request = trees.Request();
    request.TargetRoot = L"C:\\" + std::wstring(10, L't');
    const MakeOutcome outcome = MakeScript(request);
    EXPECT_FALSE(outcome.FolderUnreadable) << row.row;
    bool named = false;
    for (const Finding& error : outcome.Errors) {
      const std::string where = error.File;
      const std::string end = row.where;
      named = named || (where.size() >= end.size() &&
                        where.compare(where.size() - end.size(), end.size(), end) == 0 &&
                        error.Message.find(row.message) != std::string::npos);
    }
    EXPECT_TRUE(named) << row.row << ": " << outcome.Errors.size() << " error(s), the first "
                       << (outcome.Errors.empty()
                               ? ""
                               : outcome.Errors[0].File + ": " + outcome.Errors[0].Message);
  }

#ifndef _WIN32
  if (geteuid() != 0) {  // root reads any file
    // NEW's copy unreadable: new, or in OLD too with another size (no bytes
    // compared then, so only the opening finds it).
    const struct {
      const char* row;
      const char* oldBytes;  // nullptr: not in OLD
    } unreadable[] = {{"a new file", nullptr}, {"a file of another size in OLD", "old bytes"}};
    for (const auto& row : unreadable) {
      Trees trees;
      trees.Put("new", "secret.txt", "a");
      if (row.oldBytes != nullptr) trees.Put("old", "secret.txt", row.oldBytes);
      fs::permissions(trees.Root() / "new" / "secret.txt", fs::perms::none);
      const MakeOutcome outcome = MakeScript(trees.Request());
      ASSERT_EQ(outcome.Errors.size(), 1u) << row.row;
      EXPECT_EQ(outcome.Errors[0].Message, "cannot be read") << row.row;
    }
  }
#endif

  Trees trees;
  MakeRequest request = trees.Request();
  request.Runs = {L"x.exe " + std::wstring(300, L'a')};
  const MakeOutcome outcome = MakeScript(request);
  ASSERT_EQ(outcome.Errors.size(), 1u) << "a RUN too long";
  EXPECT_EQ(outcome.Errors[0].File, "--run 1");
}

std::string PlanText(const MakeOutcome& outcome) {
  std::string text;
  for (const PlanItem& item : outcome.Plan) text += PlanCode(item) + " " + item.Path + "; ";
  return text;
}

// With --new-folders each folder of NEW that OLD lacks is in the plan right
// before the first file copied into it, for the application to create; one
// that no file needs is a warning.
TEST(MakeScript, NewFoldersGoIntoThePlanBeforeTheirFiles) {
  const struct {
    const char* row;
    void (*prepare)(Trees&);
    const char* plan;
    const char* warned;  // the end of the one path warned of; "" none
    const char* error;   // a part of the one error; "" none
  } rows[] = {
      {"nested new folders, outermost first",
       [](Trees& t) {
         t.Put("new", "plugins/a.dll", "a");
         t.Put("new", "locale/de/Men\xC3\xBC.txt", "m");
         t.Put("new", "locale/fr/x.txt", "x");
         t.Put("new", "z.txt", "z");
         t.Put("old", "z.txt", "y");
       },
       "cd+++ locale/; cd+++ locale/de/; >f+++ locale/de/Men\xC3\xBC.txt; cd+++ locale/fr/; "
       ">f+++ locale/fr/x.txt; cd+++ plugins/; >f+++ plugins/a.dll; >f.c. z.txt; ",
       "", ""},
      {"a folder OLD has is not created",
       [](Trees& t) {
         t.Folder("old", "lib");
         t.Put("new", "lib/new/a.dll", "a");
       },
       "cd+++ lib/new/; >f+++ lib/new/a.dll; ", "", ""},
      {"an empty new folder is an error: no COP line makes it",
       [](Trees& t) {
         t.Folder("new", "logs");
         t.Put("new", "m.txt", "m");
       },
       nullptr, "", "no file to copy into it"},
      {"an empty folder beside a file deeper down",
       [](Trees& t) {
         t.Folder("new", "a/b");
         t.Put("new", "a/c/f.txt", "f");
       },
       nullptr, "", "no file to copy into it"},
      {"a new folder too long for Windows once rooted",
       [](Trees& t) { t.Put("new", std::string(241, 'd') + "/a.txt", "a"); }, nullptr, "",
       "cannot create before the update: the folder's path is 248 characters long"},
      {"a folder where OLD has a file stays an error",
       [](Trees& t) {
         t.Put("old", "data", "d");
         t.Put("new", "data/x.txt", "x");
       },
       nullptr, "", "is a folder in NEW but a file in OLD"},
  };
  for (const auto& row : rows) {
    Trees trees;
    row.prepare(trees);
    MakeRequest request = trees.Request();
    request.NewFolders = true;
    const MakeOutcome outcome = MakeScript(request);
    if (*row.error != '\0') {
      ASSERT_EQ(outcome.Errors.size(), 1u) << row.row;
      EXPECT_NE(outcome.Errors[0].Message.find(row.error), std::string::npos) << row.row;
      continue;
    }
    ASSERT_TRUE(outcome.Errors.empty())
        << row.row << ": " << outcome.Errors[0].File << ": " << outcome.Errors[0].Message;
    EXPECT_EQ(PlanText(outcome), row.plan) << row.row;
    const std::string warned = row.warned;
    std::string warnings;
    for (const Finding& warning : outcome.Warnings) warnings += warning.File + "; ";
    EXPECT_EQ(outcome.Warnings.size(), warned.empty() ? 0u : 1u) << row.row << ": " << warnings;
    if (!warned.empty() && !outcome.Warnings.empty()) {
      const std::string& where = outcome.Warnings[0].File;
      EXPECT_EQ(where.substr(where.size() - std::min(where.size(), warned.size())), warned)
          << row.row;
    }
    const bool folders = PlanText(outcome).find("cd+++") != std::string::npos;
    EXPECT_EQ(NewFoldersReminder(outcome).find("CreateTargetFolders") != std::string::npos,
              folders)
        << row.row;
  }
}

// Whatever two folders make gives, lint finds nothing at warning level or
// above in the script, and exits 0 on it (info findings pass): names of any character Windows allows in a name
// (blanks, accents, dots, odd cases), deep folders, and RUN lines with quoted
// programs. DS042 only says that bytes look like UTF-8: those Latin-1 names
// are what the folders hold.
TEST(MakeScript, LintFindsNothingToWarnOfInAnyScriptMakeWrites) {
  NameGenerator names(7);
  std::mt19937 random(7);
  auto piece = [&] { return Latin1ToUtf8(names.SoundName()); };
  for (int round = 0; round < 12; ++round) {
    Trees trees;
    const std::string folder = piece() + "/" + piece();
    trees.Folder("old", folder);
    trees.Folder("new", folder);
    for (int file = 0; file < 20; ++file) {
      const std::string name = (file % 3 == 0 ? folder + "/" : std::string()) + piece() +
                               std::to_string(file) + (file % 2 ? ".txt" : ".exe");
      const std::string bytes = "v" + std::to_string(random() % 3);
      if (random() % 4 != 0) trees.Put("old", name, bytes);
      if (random() % 5 != 0) trees.Put("new", name, "v" + std::to_string(random() % 3));
    }
    trees.Put("new", "PexaMenu.exe", "the program the first RUN starts");
    MakeRequest request = trees.Request(/*times=*/round % 2 == 1);
    request.TargetRoot = round % 3 == 0 ? L"C:\\Program Files\\PexaMenu" : L"D:\\App\\";
    request.Runs = {L"\"C:\\Program Files\\PexaMenu\\PexaMenu.exe\" /updated",
                    L"C:\\Tools\\notify.exe"};
    const MakeOutcome outcome = MakeScript(request);
    ASSERT_TRUE(outcome.Errors.empty()) << "round " << round << ": " << outcome.Errors[0].File
                                        << ": " << outcome.Errors[0].Message;
    EXPECT_GT(outcome.Script.LineCount(), request.Runs.size()) << "round " << round;
    std::vector<Finding> findings = LintScriptBytes(outcome.Script.Bytes(), {"DS042"});
    for (const Finding& finding : findings) {
      EXPECT_LT(finding.Level, Severity::Warning)
          << "round " << round << " line " << finding.Line << ": " << finding.Code << " "
          << finding.Message;
    }
    // lint's exit status, decided as the command line decides it.
    EXPECT_FALSE(AnyFindingAtOrAbove(findings)) << "round " << round;
    // make's own check told nothing either: only what the folders show.
    for (const Finding& warning : outcome.Warnings) {
      EXPECT_EQ(warning.Code.substr(0, 2), "DM") << "round " << round << ": " << warning.Message;
    }
  }
}

// The script is linted before it is written: a RUN line's warnings are
// told with their codes, its errors refuse the script; a program under the
// target root must be one of NEW's files.
TEST(MakeScript, ChecksItsRunLinesWithLintsRules) {
  Trees trees;
  trees.Put("old", "a.txt", "1");
  trees.Put("new", "a.txt", "2");
  trees.Put("new", "PexaMenu.exe", "p");
  trees.Folder("old", "tools");
  trees.Put("new", "tools/Helper.EXE", "h");
  const struct {
    const wchar_t* run;
    std::set<std::string> warnings;
    std::set<std::string> errors;
  } rows[] = {
      {L"\"C:\\App\\PexaMenu.exe\" /updated", {}, {}},
      {L"c:/app/PEXAMENU.EXE", {}, {}},
      {L"C:\\App\\tools\\helper /x", {}, {}},  // Windows adds ".exe"
      {L"D:\\Other\\x.exe", {}, {}},
      {L"C:\\Apps\\x.exe", {}, {}},  // beside the target root, not in it
      {L"C:\\App\\missing.exe", {"DS050"}, {}},
      {L"C:\\App\\a.txt\\x.exe", {"DS050"}, {}},
      {L"x.exe", {"DS043"}, {}},
      {L"C:\\Program Files\\x.exe /q", {"DS044"}, {}},
      {L" C:\\App\\PexaMenu.exe", {}, {"DS019"}},
  };
  for (const auto& row : rows) {
    MakeRequest request = trees.Request();
    request.Runs = {L"C:\\App\\PexaMenu.exe", row.run};
    const MakeOutcome outcome = MakeScript(request);
    std::set<std::string> warnings;
    std::set<std::string> errors;
    for (const Finding& warning : outcome.Warnings) {
      EXPECT_EQ(warning.File, "--run 2") << WideToUtf8(row.run) << ": " << warning.Message;
      warnings.insert(std::string(warning.Code));
    }
    for (const Finding& error : outcome.Errors) {
      EXPECT_EQ(error.File, "--run 2") << WideToUtf8(row.run) << ": " << error.Message;
      errors.insert(std::string(error.Code));
    }
    EXPECT_EQ(warnings, row.warnings) << WideToUtf8(row.run);
    EXPECT_EQ(errors, row.errors) << WideToUtf8(row.run);
  }
}

// --exclude: a file left out is neither copied nor kept, in NEW or OLD, and
// a folder left out takes what it holds, a folder that OLD lacks included.
// A finding of the written script is told as the path or option that made
// its line: the COP lines first, one for each of CopyWheres, then the RUNs.
TEST(MakeScript, TellsAWrittenLinesFindingByWhatMadeIt) {
  const struct {
    const char* row;
    std::string bytes;
    std::string where;
    std::string code;
  } rows[] = {
      {"the first COP line", "COP\tC:\\n\\a \tC:\\App\\a\r\nCOP\tC:\\n\\b\tC:\\App\\b\r\n",
       "NEW/a", "DS011"},
      {"the last COP line", "COP\tC:\\n\\a\tC:\\App\\a\r\nCOP\tC:\\n\\b\tC:\\App\\b \r\n",
       "NEW/b", "DS011"},
      {"a RUN line", "COP\tC:\\n\\a\tC:\\App\\a\r\nCOP\tC:\\n\\b\tC:\\App\\b\r\nRUN\tx.exe\r\n",
       "--run 1", "DS043"},
  };
  for (const auto& row : rows) {
    WrittenScript written;
    written.Bytes = row.bytes;
    written.CopyWheres = {"NEW/a", "NEW/b"};
    written.TargetRoot = L"C:\\App";
    std::vector<Finding> errors;
    std::vector<Finding> warnings;
    CheckWrittenScript(written, errors, warnings);
    std::vector<Finding> all = errors;
    all.insert(all.end(), warnings.begin(), warnings.end());
    ASSERT_EQ(all.size(), 1u) << row.row;
    EXPECT_EQ(all[0].File, row.where) << row.row;
    EXPECT_EQ(all[0].Code, row.code) << row.row;
  }
}

TEST(MakeScript, LeavesOutWhatExcludeMatches) {
  Trees trees;
  trees.Put("old", "a.pdb", "1");
  trees.Put("new", "a.pdb", "2");
  trees.Put("old", "legacy.pdb", "l");
  trees.Put("old", "config/user.ini", "u");
  trees.Put("new", "config/USER.INI", "u2");
  trees.Put("old", "bin/c.txt", "c");
  trees.Put("new", "bin/c.txt", "c2");
  trees.Put("new", "bin/c.PDB", "c");
  trees.Put("new", "debug/trace.bin", "t");  // a folder OLD lacks
  trees.Put("new", "symbols/x64/app.pdb", "p");  // a folder OLD lacks, all of it left out
  trees.Put("new", "b.txt", "b");
  MakeRequest request = trees.Request();
  request.Excludes = {L"**/*.pdb", L"config\\user.ini", L"Debug"};
  const MakeOutcome outcome = MakeScript(request);
  EXPECT_TRUE(outcome.Errors.empty()) << outcome.Errors[0].File << ": " << outcome.Errors[0].Message;
  EXPECT_TRUE(outcome.Warnings.empty()) << outcome.Warnings[0].File;
  const std::map<std::string, std::string> expected = {{"b.txt", ">f+++"}, {"bin/c.txt", ">fs.."}};
  EXPECT_EQ(PlanCodes(outcome), expected);
  EXPECT_EQ(outcome.Excluded, 6u)
      << "a.pdb once, legacy.pdb, user.ini once, c.PDB, trace.bin, app.pdb";
  EXPECT_EQ(MakeScript(trees.Request()).Excluded, 0u);
}

TEST(MakeScript, SaysWhenAFolderCannotBeRead) {
  Trees trees;
  trees.Put("new", "a.txt", "a");
  MakeRequest missing = trees.Request();
  missing.OldFolder = trees.Root() / "nothing";
  MakeRequest aFile = trees.Request();
  aFile.NewFolder = trees.Root() / "new" / "a.txt";
  for (const MakeRequest& request : {missing, aFile}) {
    const MakeOutcome outcome = MakeScript(request);
    EXPECT_TRUE(outcome.FolderUnreadable);
    ASSERT_EQ(outcome.Errors.size(), 1u);
    EXPECT_NE(outcome.Errors[0].Message.find("cannot be read"), std::string::npos);
  }
}

#ifndef _WIN32
// The program itself: exit codes, and the file or standard output it writes.
TEST(MakeCommand, ExitsAndWritesAsDocumented) {
  Trees trees;
  trees.Put("old", "a.txt", "1");
  trees.Put("new", "a.txt", "22");
  const std::string folders = " --old '" + (trees.Root() / "old").string() + "' --new '" +
                              (trees.Root() / "new").string() +
                              "' --source-root 'C:\\U' --target-root 'C:\\A'";
  const std::string same = " --old '" + (trees.Root() / "old").string() + "' --new '" +
                           (trees.Root() / "old").string() +
                           "' --source-root 'C:\\U' --target-root 'C:\\A'";
  const std::string script = (trees.Root() / "update.txt").string();
  const std::string printed = (trees.Root() / "printed.txt").string();
  const struct {
    const char* row;
    std::string arguments;
    int exitCode;
    bool scriptWritten;
  } rows[] = {
      {"--dry-run", folders + " --dry-run -o '" + script + "'", 0, false},
      {"-o", folders + " -o '" + script + "'", 0, true},
      {"a relative root", " --old x --new y --source-root U --target-root 'C:\\A'", 3, false},
      {"a missing option", " --old x", 3, false},
      {"a missing folder",
       " --old '" + trees.Root().string() +
           "/none' --new x --source-root 'C:\\U' --target-root 'C:\\A'",
       2, false},
      {"an error", folders + " --run '' -o '" + script + "'", 1, false},
      {"-o in a folder that does not exist",
       folders + " -o '" + (trees.Root() / "none" / "update.txt").string() + "'", 2, false},
      {"-o naming a folder", folders + " -o '" + trees.Root().string() + "'", 2, false},
      {"nothing to update", same + " -o '" + script + "'", 1, false},
      {"nothing to update, --dry-run", same + " --dry-run -o '" + script + "'", 1, false},
      {"nothing to update, --allow-empty", same + " --allow-empty -o '" + script + "'", 0, true},
      {"--exclude leaving nothing", folders + " --exclude '*.TXT' -o '" + script + "'", 1, false},
  };
  for (const auto& row : rows) {
    fs::remove(script);
    const std::string command =
        std::string(DEVIDUDI_SCRIPT_TOOL) + " make" + row.arguments + " 2>/dev/null";
    const int status = std::system(command.c_str());
    EXPECT_EQ(WEXITSTATUS(status), row.exitCode) << row.row;
    EXPECT_EQ(fs::exists(script), row.scriptWritten) << row.row;
  }
  ASSERT_EQ(
      std::system(
          (DEVIDUDI_SCRIPT_TOOL " make" + folders + " > '" + printed + "' 2>/dev/null").c_str()),
      0);
  std::ifstream file(printed, std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()),
            "COP\tC:\\U\\a.txt\tC:\\A\\a.txt\r\n")
      << "the script on standard output";
}
#endif

}  // namespace

namespace {

// Each file of NEW is told once, in the plan's order, with its folder and
// NEW's count; OLD's files and folders alone are not counted.
TEST(MakeScript, ProgressTellsOfEachFileOfNew) {
  Trees trees;
  trees.Put("old", "a.txt", "a");
  trees.Put("old", "only-old.txt", "o");
  trees.Put("new", "a.txt", "A");
  trees.Put("new", "locale/de/b.txt", "b");
  trees.Put("new", "locale/c.txt", "c");
  trees.Folder("old", "locale");
  trees.Folder("old", "locale/de");
  std::string heard;
  const MakeOutcome outcome = MakeScript(trees.Request(), [&](const TreeProgress& progress) {
    heard += std::to_string(progress.Done) + "/" + std::to_string(progress.Total) + " " +
             std::string(progress.Folder) + "; ";
  });
  EXPECT_TRUE(outcome.Errors.empty());
  EXPECT_EQ(heard, "1/3 ; 2/3 locale; 3/3 locale/de; ");
}

}  // namespace
