// Longer than most files: every rule of the table has its bad and good rows
// here, and the tables that test one behaviour across all rules stay together.
#include "script_tool/lint/lint_rules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "app/update_messages.h"
#include "names/text_conversions.h"

namespace {

using std::string_literals::operator""s;

std::set<std::string> CodesOf(const std::vector<Finding>& findings) {
  std::set<std::string> codes;
  for (const Finding& finding : findings) codes.insert(std::string(finding.Code));
  return codes;
}

std::string Describe(const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& f : findings) {
    text += std::to_string(f.Line) + ":" + std::to_string(f.Column) + " " +
            std::string(f.Code) + " " + f.Message + "\n";
  }
  return text;
}

// One bad and one good script per rule (several where a rule has several
// forms). The bad one must draw the rule; the good one must be clean.
struct RuleCase {
  std::string Code, Bad, Good;
};

const std::string kCopy = "COP\tC:\\new\\a.exe\tC:\\app\\a.exe\n";
const std::string kRun = "RUN \"C:\\Program Files\\app\\a.exe\" /updated\n";

// The start of a Windows program: "MZ", NULs, a line feed here and there.
const std::string kMzHeader = "MZ\x90\0\x03\0\0\0\x04\0\0\0\xFF\xFF\0\0\n\xB8\0\0\0@\0\n\0\0"s;

// More programs than lint compares one by one with each target (kFewPrograms),
// so that the target index answers.
std::string ManyRuns() {
  std::string runs;
  for (int i = 0; i < 17; ++i) runs += "RUN C:\\p\\x" + std::to_string(i) + ".exe\n";
  return runs;
}

// A COP line a file, each from and to a folder of this name.
std::string CopiesInFolder(const std::string& folder, int files) {
  std::string lines;
  for (int i = 1; i <= files; ++i) {
    const std::string file = folder + "\\f" + std::to_string(i);
    lines += "COP\tC:\\n\\" + file + "\tC:\\p\\" + file + "\n";
  }
  return lines;
}

const std::vector<RuleCase>& RuleCases() {
  static const std::vector<RuleCase> cases = {
      {"DS001", "cop\tC:\\n\\a\tC:\\p\\a\n", "COP\tC:\\n\\a\tC:\\p\\a\n"},
      {"DS001", "Run C:\\p\\a.exe\n", "RUN C:\\p\\a.exe\n"},
      {"DS002", "COPY C:\\n\\a C:\\p\\a\n", "COP C:\\n\\a C:\\p\\a\n"},
      {"DS002", "CPO\tC:\\n\\a\tC:\\p\\a\n", kCopy},
      {"DS002", "RUNS C:\\p\\a.exe\n", "RUN C:\\p\\a.exe\n"},
      {"DS002", "RUN\"C:\\app\\a.exe\" /x\n", "RUN\t\"C:\\app\\a.exe\" /x\n"},
      {"DS003", "COP\tC:\\n\\a\n", "COP\tC:\\n\\a\tC:\\p\\a\n"},
      {"DS004", "COP\t\tC:\\n\\a\tC:\\p\\a\n", "COP\tC:\\n\\a\tC:\\p\\a\n"},
      {"DS005", "COP\tC:\\n\\a\t\n", "COP\tC:\\n\\a\tC:\\p\\a\n"},
      {"DS006", "\xEF\xBB\xBF" + kCopy, kCopy},
      {"DS007", "\xFF\xFE" "C\0O\0P\0\t\0"s, kCopy},
      {"DS007", "\0\0\xFE\xFF\0\0\0C"s, kCopy},
      // UTF-16 without a mark, either byte order.
      {"DS007", "C\0O\0P\0\t\0a\0\r\0\n\0"s, kCopy},
      {"DS007", "\0C\0O\0P\0\t\0a\0\r\0\n"s, kCopy},
      {"DS008", "COP\tC:\\n\\a\0\tC:\\p\\a\n"s, kCopy},
      {"DS008", "COP\tC:\\n\\a\tC:\\p\\a\0\n"s, kCopy},
      {"DS008", "RUN C:\\p\\a.exe\0x\n"s, "RUN C:\\p\\a.exe x\n"},
      {"DS009", kCopy + "\x1A" + kRun, kCopy + kRun + "\x1A"},
      {"DS009", kCopy + "\x1A\r\n" + kRun, kCopy + "RUN C:\\p\\a.exe\x1A\r\n"},
      {"DS010", "COP\tC:\\n\\a?\tC:\\p\\a\n", kCopy},
      {"DS010", "COP\tC:\\n\\a\tC:\\p:\\a\n", kCopy},
      {"DS010", "COP\tC:\\n\\a\tC:\\p\\a\tb\n", kCopy},
      {"DS011", "COP\tC:\\n\\a\tC:\\p\\a.\n", kCopy},
      {"DS011", "COP\tC:\\n\\dir \\a\tC:\\p\\a\n", "COP\tC:\\n\\dir x\\a\tC:\\p\\a\n"},
      {"DS011", "COP\tC:\\n\\a\tC:\\p\\a\t\n", kCopy},
      {"DS012", "COP\tC:\\n\\a\tC:\\p\\con.txt\n", "COP\tC:\\n\\a\tC:\\p\\console.txt\n"},
      {"DS012", "COP\tC:\\n\\LPT1\\a\tC:\\p\\a\n", "COP\tC:\\n\\LPT10\\a\tC:\\p\\a\n"},
      {"DS013", "COP\tC:\\" + std::string(257, 'a') + "\tC:\\p\\a\n",
       "COP\tC:\\" + std::string(256, 'a') + "\tC:\\p\\a\n"},
      {"DS014", "COP\tC:\\n\\a\tC:\\p\\\n", kCopy},
      {"DS014", "COP\tC:\\n\\a\tC:\\p\\.\n", kCopy},
      {"DS014", "COP\tC:\\n\\a\tC:\\p\\..\n", kCopy},
      {"DS015", "COP\tC:\\p\\a\tc:/P/A\n", kCopy},
      {"DS016", "RUN C:\\p\\a.exe " + std::string(256 - 11, 'x') + "\n",
       "RUN C:\\p\\a.exe " + std::string(255 - 11, 'x') + "\n"},
      {"DS017", "RUN C:\\p\\a\n" "COP\tC:\\n\\a.exe\tC:\\p\\a.exe\n",
       "COP\tC:\\n\\a.exe\tC:\\p\\a.exe\n" "RUN C:\\p\\a\n"},
      {"DS017", ManyRuns() + "COP\tC:\\n\\x3.exe\tC:\\P\\X3.EXE\n",
       "COP\tC:\\n\\x3.exe\tC:\\P\\X3.EXE\n" + ManyRuns()},
      {"DS017", "RUN \"C:\\v1.2\\prog\"\n" "COP\tC:\\n\\prog.exe\tC:\\v1.2\\prog.exe\n",
       "COP\tC:\\n\\prog.exe\tC:\\v1.2\\prog.exe\n" "RUN \"C:\\v1.2\\prog\"\n"},
      {"DS018", "COP\tC:\\n\\\x93" "a\x94\tC:\\p\\a\n", kCopy},
      {"DS018", "RUN C:\\p\\\x85.exe\n", "RUN C:\\p\\a.exe\n"},
      {"DS019", "RUN  C:\\p\\a.exe\n", "RUN C:\\p\\a.exe\n"},
      {"DS019", "RUN \tC:\\p\\a.exe\n", "RUN\tC:\\p\\a.exe\n"},
      {"DS019", kCopy + "RUN \n", kCopy},
      {"DS019", kCopy + "RUN", kCopy},
      {"DS019", "RUN C:\\p\\a\".exe\n", "RUN \"C:\\p\\a.exe\"\n"},
      {"DS020", kMzHeader, kCopy},
      {"DS020", "a\0b\nc\0d\ne\0f\n"s, kCopy},
      {"DS021", kCopy + "COP\tC:\\new\\b\tc:/APP/A.EXE.DDU-NEW\n",
       kCopy + "COP\tC:\\new\\b\tC:\\app\\b.exe.ddu-new\n"},
      // A name too long for the suffix is cut short before it.
      {"DS021", "COP\tC:\\n\\a\tC:\\" + std::string(248, 'x') + "\nCOP\tC:\\n\\b\tC:\\" +
                    std::string(247, 'x') + ".ddu-new\n",
       "COP\tC:\\n\\a\tC:\\" + std::string(248, 'x') + "\nCOP\tC:\\n\\b\tC:\\" +
           std::string(248, 'x') + ".ddu-new\n"},
      {"DS022", "COP\tC:\\n\\a\tC:\\p\\..\\q\\a\n", "COP\tC:\\n\\..\\n\\a\tC:\\p\\a\n"},
      {"DS022", "COP\tC:\\n\\a\tC:\\p/./a\n", "COP\tC:\\n\\a\tC:\\p/.a\n"},
      {"DS041", "COP C:\\n\\a C:\\p\\my file\n", "COP C:\\n\\a C:\\p\\my_file\n"},
      {"DS042", "COP\tC:\\n\\men\xC3\xBC\tC:\\p\\a\n", "COP\tC:\\n\\menu\tC:\\p\\a\n"},
      {"DS043", "COP\ta.exe\tC:\\p\\a.exe\n", "COP\t\\\\server\\n\\a.exe\tC:\\p\\a.exe\n"},
      {"DS043", "RUN a.exe /x\n", "RUN C:\\p\\a.exe /x\n"},
      {"DS044", "RUN C:\\Program Files\\a.exe /u\n", "RUN \"C:\\Program Files\\a.exe\" /u\n"},
      {"DS044", "RUN C:\\Program Files\\PexaMenu\\PexaMenu /updated\n",
       "RUN \"C:\\Program Files\\PexaMenu\\PexaMenu\" /updated\n"},
      {"DS045", "RUN C:\\p\\b.exe\n" + kCopy, kCopy + "RUN C:\\p\\b.exe\n"},
      {"DS046", kCopy + "REM copy the new files\n", kCopy},
      {"DS046", kCopy + "\n" + kRun, kCopy + kRun},
      {"DS047", kCopy + "COP\tC:\\new\\b.exe\tc:/APP/A.EXE\n", kCopy + "COP\tC:\\n\\b\tC:\\p\\b\n"},
      {"DS048", "COP\tC:\\n\\a\tC:\\p\\a\r" + kRun, kCopy + kRun},
      {"DS049", "COPYZ:\\new\\a.txt\tZ:\\app\\a.txt\n", "COP\tZ:\\new\\a.txt\tZ:\\app\\a.txt\n"},
      {"DS049", "RUNXC:\\app\\a.exe\n", "RUN\tC:\\app\\a.exe\n"},
      {"DS081", "", kCopy},
      {"DS081", "\xEF\xBB\xBF", kCopy},
      {"DS082", "COP\tC:\\n\\caf\xE9\tC:\\p\\a\n", "COP\tC:\\n\\cafe\tC:\\p\\a\n"},
      {"DS083", kCopy + "\r\n" + kRun, "COP\tC:\\n\\a\tC:\\p\\a\r\n" + kRun.substr(0, kRun.size() - 1) + "\r\n"},
  };
  return cases;
}

TEST(LintRules, EachRuleHasABadAndAGoodCase) {
  for (const RuleCase& c : RuleCases()) {
    const auto bad = LintScriptBytes(c.Bad);
    EXPECT_EQ(CodesOf(bad).count(c.Code), 1u) << c.Code << " not drawn by:\n" << c.Bad
                                              << "\nfound:\n" << Describe(bad);
    const auto good = LintScriptBytes(c.Good);
    EXPECT_TRUE(good.empty()) << c.Code << " good case not clean:\n" << c.Good << "\nfound:\n"
                              << Describe(good);
  }
  std::set<std::string> tested;
  for (const RuleCase& c : RuleCases()) tested.insert(c.Code);
  for (const LintRule& rule : LintRules()) {
    EXPECT_EQ(tested.count(std::string(rule.Code)), 1u) << rule.Code << " has no case";
  }
}

// One finding per problem: a line with a broken keyword, or a script behind
// a UTF-16 mark, draws that finding and not the echoes of it; a sound
// script draws none.
TEST(LintRules, OneFindingPerProblem) {
  const struct {
    std::string Bytes;
    std::set<std::string> Codes;
  } cases[] = {
      {"COP\tC:\\Updates\\PexaMenu 2.0\\PexaMenu.exe\tC:\\Program Files\\PexaMenu\\PexaMenu.exe\r\n"
       "COP C:\\Updates\\menu.txt C:\\PexaMenu\\menu.txt\r\n"
       "RUN \"C:\\Program Files\\PexaMenu\\PexaMenu.exe\" /updated\r\n",
       {}},
      {"COPY a b\n", {"DS002"}},
      {"RUNS C:\\p\\a.exe\n", {"DS002"}},
      {"RUNX C:\\p\\a\0.exe\n"s, {"DS002"}},
      {"COPYC:\\n\\a\tC:\\p\\a\n", {"DS049"}},
      {"RUN\n", {"DS019"}},
      {"RUN  C:\\p\\a.exe\n", {"DS019"}},
      {"REM caf\xE9 \x93\n", {"DS046", "DS082"}},
      {"cop\ta\tb\n", {"DS001"}},
      {"\xFF\xFE" "c\0o\0p\0\0\r\0\n\0"s, {"DS007"}},
      {"COP\tC:\\a\0\tC:\\b\x1A" "c"s, {"DS008", "DS009"}},
      {"COP\tC:\\n\\a\tC:\\p\\a\n" "COP\tC:\\n\\a\tC:\\p\\a\n", {"DS047"}},
      {"COP\tC:\\n\\a \\b .\tC:\\p\\a\n", {"DS011"}},
      // A TAB ending a name is DS011's, not a character Windows forbids (DS010).
      {"COP\tC:\\n\\a\tC:\\p\\a\t\n", {"DS011"}},
      // A file that is not text, or UTF-16 without its mark: one finding,
      // not one per line.
      {kMzHeader + "\x1A\r\n\x93\n", {"DS020"}},
      {"a\0b\nc\0d\ne\0f\n"s, {"DS020"}},
      {"C\0O\0P\0\t\0a\0\r\0\n\0R\0U\0N\0 \0x\0\r\0\n\0"s, {"DS007"}},
      // A COP line the updater carries out: the file is read as a script.
      {"MZ\0\0\nCOP\tC:\\n\\a\tC:\\p\\a\n"s, {"DS046"}},
      {"MZ menu\n", {"DS046"}},
      // A name is reported once, however many lines hold it: the folder of
      // every source and target here.
      {CopiesInFolder("Nouveaut\xE9s", 21), {"DS082"}},
      {CopiesInFolder("Nouveaut\xC3\xA9s", 21), {"DS042"}},
  };
  for (const auto& c : cases) {
    const auto findings = LintScriptBytes(c.Bytes);
    EXPECT_EQ(CodesOf(findings), c.Codes) << Describe(findings);
    EXPECT_EQ(findings.size(), c.Codes.size()) << Describe(findings);
  }
}

// Columns count the bytes of the file's line from 1, a byte-order mark and a
// CR before the LF included, as an editor shows them.
TEST(LintRules, FindingsPointAtTheBytes) {
  const struct {
    std::string Bytes, Code;
    std::size_t Line, Column, EndColumn;
  } cases[] = {
      {"\xEF\xBB\xBF" "cop\tC:\\a\tC:\\b", "DS001", 1, 4, 7},
      {"COP\tC:\\n\\a\tC:\\p\\a\t\n", "DS011", 1, 18, 19},
      {"COP\tC:\\n\\a\tC:\\p\\a\r\nxy\x1Az", "DS009", 2, 3, 4},
      {"COP\tC:\\n\\a\tC:\\p\\a\r\nCOP\tC:\\n\\b\tC:\\p\\b\n", "DS083", 2, 18, 19},
      {"COP\tC:\\n\\a\tC:\\p\\con\n", "DS012", 1, 17, 20},
      {"RUN C:\\p\\a\nCOP\tC:\\n\\a\tC:\\p\\a.exe\n", "DS017", 1, 5, 11},
      {"COP\tC:\\n\\a\n", "DS003", 1, 1, 11},
      {"COP\t\tC:\\n\\a\tC:\\p\\a\n", "DS004", 1, 5, 6},
      {"COP\tC:\\n\\a\t\n", "DS005", 1, 11, 12},
      {"COP C:\\n\\a C:\\p\\my file\n", "DS041", 1, 11, 12},
      {"COP\tC:\\n\\a\tp\\a.exe\n", "DS043", 1, 12, 19},
      {"COP\tn\\a.exe\tC:\\p\\a\n", "DS043", 1, 5, 12},
      {"COP\tC:\\n\\a\tC:\\p\\a\0\n"s, "DS008", 1, 18, 19},
      // On the target the temporary file takes, whichever line comes first.
      {"COP\tC:\\n\\b\tC:\\p\\A.DDU-NEW\nCOP\tC:\\n\\a\tc:/p/a\n", "DS021", 1, 12, 26},
      {"COP\tC:\\n\\a\tc:/p/a\nCOP\tC:\\n\\b\tC:\\p\\a.ddu-new\n", "DS021", 2, 12, 26},
      {"COP\tC:\\n\\a\tC:\\p\\..\\a\n", "DS022", 1, 17, 19},
      {"COPYC:\\n\\a\tC:\\p\\a\n", "DS049", 1, 4, 5},
      {"RUN \t C:\\p\\a.exe\n", "DS019", 1, 5, 7},
      {"RUN C:\\p\\a\".exe /x\n", "DS019", 1, 5, 16},
      // At the first line that holds the name.
      {kCopy + "COP\tC:\\n\\b\tC:\\p\\caf\xE9\nCOP\tC:\\caf\xE9\tC:\\p\\c\n", "DS082", 2, 20, 21},
      {kCopy + "COP\tC:\\n\\b\tC:\\p\\caf\xC3\xA9\nCOP\tC:\\caf\xC3\xA9\tC:\\p\\c\n", "DS042",
       2, 20, 22},
  };
  for (const auto& c : cases) {
    const auto findings = LintScriptBytes(c.Bytes);
    const auto found = std::find_if(findings.begin(), findings.end(),
                                    [&](const Finding& f) { return f.Code == c.Code; });
    ASSERT_NE(found, findings.end()) << c.Code << "\n" << Describe(findings);
    EXPECT_EQ(found->Line, c.Line) << c.Code;
    EXPECT_EQ(found->Column, c.Column) << c.Code;
    EXPECT_EQ(found->EndColumn, c.EndColumn) << c.Code;
  }
}

// Each name is checked wherever it falls, behind folders of every length
// from 1 to 20 bytes.
TEST(LintRules, NameRulesSeeEveryNameWhereverItFalls) {
  const struct {
    std::string Name;
    std::set<std::string> Codes;
  } cases[] = {
      {"a.txt", {}},
      {"con", {"DS012"}},
      {"Con.txt", {"DS012"}},
      {"CON  .log", {"DS012", }},
      {"aux", {"DS012"}},
      {"nul.x", {"DS012"}},
      {"com1", {"DS012"}},
      {"LPT9.dat", {"DS012"}},
      {"COM\xB9", {"DS012", "DS082"}},
      {"COM\xB2.txt", {"DS012", "DS082"}},
      {"com\xB3", {"DS012", "DS082"}},
      {"LPT\xB3.log", {"DS012", "DS082"}},
      {"lpt\xB9", {"DS012", "DS082"}},
      {"COM\xB0", {"DS082"}},
      {"conin$", {"DS012"}},
      {"CONOUT$.txt", {"DS012"}},
      {"com0", {}},
      {"com10", {}},
      {"lpt", {}},
      {"console", {}},
      {"conin", {}},
      {"xcon", {}},
      {"lib", {}},
      {"a.", {"DS011"}},
      {"a ", {"DS011"}},
      {"abcdefg.\\b", {"DS011"}},
      {"abcdefgh \\b", {"DS011"}},
      {"abcdefghijklmnopqrstuvw.\\abcdefghijklmnopqrstuvwxyz", {"DS011"}},
      {"abcdefghijklmnopqrstuvw\\con\\abcdefghijklmnopqrstuvwxyz", {"DS012"}},
      {".\\..\\a", {"DS022"}},
      {"a/b./c", {"DS011"}},
      {"a<b", {"DS010"}},
      {"abcdefghijklmno|", {"DS010"}},
      {"abcdefg?", {"DS010"}},
      {"a:b", {"DS010"}},
      {"a\x1F" "b", {"DS010"}},
      {"abcdefgh", {}},
  };
  for (const auto& c : cases) {
    for (std::size_t folder = 1; folder <= 20; ++folder) {
      const std::string script =
          "COP\tC:\\new\\a\tC:\\" + std::string(folder, 'f') + "\\" + c.Name + "\n";
      const auto findings = LintScriptBytes(script);
      EXPECT_EQ(CodesOf(findings), c.Codes) << script << Describe(findings);
    }
  }
}

// Targets are the same file when Windows says so: letters in either case,
// '/' for '\\', at every length about the eight bytes compared at a time.
// Windows folds every Latin-1 letter, accented ones too; the signs 0x20 apart
// (the division and multiplication signs, ß and ÿ) stay apart.
TEST(LintRules, SameTargetAsWindowsComparesNames) {
  std::vector<std::pair<std::string, std::string>> sameFile;
  for (char letter = 'a'; letter <= 'z'; ++letter) {
    sameFile.push_back({std::string("x") + letter, std::string("X") + static_cast<char>(letter - 32)});
  }
  for (int accented = 0xE0; accented <= 0xFE; ++accented) {
    if (accented == 0xF7) continue;
    sameFile.push_back({std::string(1, static_cast<char>(accented)),
                        std::string(1, static_cast<char>(accented - 0x20))});
  }
  for (const auto& [first, second] : sameFile) {
    const auto findings = LintScriptBytes("COP\tC:\\n\\x\tC:\\p\\" + first + "\n" +
                                          "COP\tC:\\n\\y\tC:\\p\\" + second + "\n");
    EXPECT_EQ(CodesOf(findings).count("DS047"), 1u) << first << " and " << second;
  }
  const std::pair<std::string, std::string> otherFiles[] = {
      {"\xF7", "\xD7"}, {"\xFF", "\xDF"}, {"@", "`"}, {"[", "{"}, {"\xB5", "\x95"}};
  for (const auto& [first, second] : otherFiles) {
    const auto findings = LintScriptBytes("COP\tC:\\n\\x\tC:\\p\\" + first + "\n" +
                                          "COP\tC:\\n\\y\tC:\\p\\" + second + "\n");
    EXPECT_EQ(CodesOf(findings).count("DS047"), 0u) << first << " and " << second;
  }

  for (std::size_t length = 1; length <= 18; ++length) {
    const std::string name(length, 'a');
    const struct {
      std::string SecondName;
      bool Repeat;
      const char* Why;
    } cases[] = {
        {std::string(length, 'A'), true, "the same name in capitals"},
        {std::string(length - 1, 'A') + "B", false, "names differing in their last byte"},
        {name + "a", false, "names of different lengths"},
    };
    for (const auto& c : cases) {
      const auto findings = LintScriptBytes("COP\tC:\\n\\x\tC:\\p/" + name + "\n" +
                                            "COP\tC:\\n\\y\tc:\\P\\" + c.SecondName + "\n");
      EXPECT_EQ(CodesOf(findings), c.Repeat ? std::set<std::string>{"DS047"} : std::set<std::string>{})
          << length << ": " << c.Why;
    }
  }
}

// A RUN of a program that a later COP replaces, its name written in another
// case: Windows folds accented letters as well as ASCII ones.
TEST(LintRules, RunOfAReplacedProgramFoldsLatin1Letters) {
  const struct {
    const char* row;
    std::string program, target;
    bool replaced;
  } rows[] = {
      {"the same bytes", "C:\\p\\\xE9t\xE9", "C:\\p\\\xE9t\xE9.exe", true},
      {"accented capitals", "C:\\p\\\xE9t\xE9", "c:/P/\xC9T\xC9.EXE", true},
      {"another accent", "C:\\p\\\xE9t\xE9", "C:\\P\\\xC9T\xC8.EXE", false},
      {"ASCII in another case", "C:\\p\\zed.exe", "C:\\P\\ZED.EXE", true},
  };
  for (const auto& row : rows) {
    const auto findings = LintScriptBytes("RUN \"" + row.program + "\" /u\nCOP\tC:\\n\\a.exe\t" +
                                          row.target + "\n");
    EXPECT_EQ(CodesOf(findings).count("DS017"), row.replaced ? 1u : 0u) << row.row << "\n"
                                                                     << Describe(findings);
  }
}

// The name rules' messages say an invisible character in words, so that a
// name holding the text "<TAB>" reads differently from one holding a TAB.
TEST(LintRules, NameMessagesSayInvisibleCharactersInWords) {
  const struct {
    std::string target, code, said, notSaid;
  } rows[] = {
      {"C:\\p\\a\tb", "DS010", "a TAB", "<TAB>"},
      {"C:\\p\\a\x1B" "b", "DS010", "the control character 0x1B", "<0x1B>"},
      {"C:\\p\\a<TAB>b", "DS010", "'<'", "a TAB"},
      {"C:\\p\\menu.txt\t", "DS011", "\"menu.txt\" ends in a TAB", "<TAB>"},
      {"C:\\p\\menu.txt ", "DS011", "\"menu.txt\" ends in a blank", "<SP>"},
      {"C:\\p\\COM\xB9.txt", "DS012", "\"COM\xC2\xB9.txt\"", "<"},
      {"C:\\p\\.", "DS014", "\".\"", "backslash"},
      // The whole name, blanks and all, not the word after the last blank.
      {"C:\\p\\prix \xE9t\xE9.csv", "DS082", "\"prix \xC3\xA9t\xC3\xA9.csv\": each byte",
       "\"\xC3\xA9t\xC3\xA9.csv\""},
      {"C:\\p\\neu \xE9\\a.txt", "DS082", "\"neu \xC3\xA9\": each byte", "\"\xC3\xA9\""},
      {"C:\\p\\Caf\xC3\xA9 Noir\\a", "DS042",
       "\"Caf\xC3\xA9 Noir\" is read as \"Caf\xC3\x83\xC2\xA9 Noir\"", "\"Noir"},
  };
  for (const auto& row : rows) {
    const auto findings = LintScriptBytes("COP\tC:\\n\\a\t" + row.target + "\n");
    const auto found = std::find_if(findings.begin(), findings.end(),
                                    [&](const Finding& f) { return f.Code == row.code; });
    ASSERT_NE(found, findings.end()) << row.code << " " << row.said << "\n" << Describe(findings);
    EXPECT_NE(found->Message.find(row.said), std::string::npos) << found->Message;
    EXPECT_EQ(found->Message.find(row.notSaid), std::string::npos) << found->Message;
  }
}

// The byte after the keyword is skipped whatever it is: any byte there but a
// TAB or a space draws a finding, an error when what is left fails and a
// warning when it is carried out all the same, and the message says what the
// updater does with these very bytes.
TEST(LintRules, StrayByteAfterTheKeywordIsSaidAsTheUpdaterCarriesItOut) {
  const struct {
    std::string Line, Code, Words;
  } cases[] = {
      {"COPYZ:\\new\\a.txt\tZ:\\app\\a.txt", "DS049",
       "skips 'Y' after it, and copies \"Z:\\new\\a.txt\" to \"Z:\\app\\a.txt\""},
      {"COP\x1BZ:\\new\\a.txt\tZ:\\app\\a.txt", "DS049",
       "skips the control character 0x1B after it, and copies"},
      {"RUNXC:\\app\\a.exe /x", "DS049", "starts the command line \"C:\\app\\a.exe /x\""},
      {"RUNX\"C:\\Program Files\\a.exe\"", "DS049", "starts the command line"},
      {"RUN\"C:\\app\\a.exe\" /x", "DS002",
       "skips a quotation mark after it, and starts nothing: the program's name, up to the first "
       "blank, holds a quotation mark"},
      {"RUN\"C:\\Program Files\\a.exe\" /x", "DS002",
       "hands Windows the command line \"C:\\Program Files\\a.exe\", a quotation mark, \" /x\" "
       "without its opening "
       "quotation mark: it starts nothing unless a program is named \"C:\\Program\""},
      {"RUNS C:\\app\\a.exe", "DS002", "starts nothing: the command line starts with a space"},
      {"RUNX", "DS002", "starts nothing: the command line is empty"},
      {"RUNX" + std::string(256, 'x'), "DS002", "is 256 characters long"},
      {"COPY C:\\n\\a C:\\p\\a", "DS002",
       "the source is empty (the target is \"C:\\n\\a C:\\p\\a\"): the updater stops at its "
       "checks with \"Can't access source files\", naming \"COP line with an empty source\""},
      {"COPYC:\\n\\a\t", "DS002",
       "with \"Write access to file missing\", naming \"COP line with an empty target\""},
      {"COPYC:\\n\\a", "DS002",
       "with \"PexaMenu is already running\", naming \"COP line without a target\""},
      {"CPO\tC:\\n\\a\tC:\\p\\a", "DS002", "\"CPO\" is not a keyword: the updater does nothing"},
  };
  for (const auto& c : cases) {
    const auto findings = LintScriptBytes(c.Line + "\r\n");
    ASSERT_EQ(findings.size(), 1u) << c.Line << "\n" << Describe(findings);
    EXPECT_EQ(findings[0].Code, c.Code) << c.Line;
    EXPECT_NE(findings[0].Message.find(c.Words), std::string::npos)
        << c.Line << "\n" << findings[0].Message;
  }
  // Every byte that can stand there: 0x0A ends the line and 0x1A the data.
  for (int byte = 0; byte < 256; ++byte) {
    if (byte == '\t' || byte == ' ' || byte == '\n' || byte == 0x1A) continue;
    for (const std::string keyword : {"COP", "RUN"}) {
      const std::string line = keyword + static_cast<char>(byte) +
                               (keyword == "COP" ? "C:\\n\\a\tC:\\p\\a" : "C:\\p\\a.exe");
      const std::set<std::string> codes = CodesOf(LintScriptBytes(line + "\n"));
      EXPECT_TRUE(codes.count("DS002") + codes.count("DS049") == 1)
          << keyword << " then byte " << byte << ":\n" << Describe(LintScriptBytes(line));
    }
  }
}

// A message names a character that does not show in words outside its
// quotation marks: a TAB in the script and "<TAB>" typed into it read apart.
TEST(LintRules, MessagesNameWhatDoesNotShowInWords) {
  const struct {
    std::string Bytes, Code, Words;
  } cases[] = {
      {"RUNXa\tb.exe", "DS049", "\"a\", a TAB, \"b.exe\""},
      {"RUNXa<TAB>b.exe", "DS049", "\"a<TAB>b.exe\""},
      // A relative program on a line whose stray byte is skipped.
      {"RUNXa\x1B" "b.exe", "DS043", "\"a\", the control character 0x1B, \"b.exe\" is relative"},
      {"REM\x1B x", "DS046", "\"REM\", the control character 0x1B"},
      {"COP\tC:\\n\\\x85" "a\tC:\\p\\a", "DS018", "the control character 0x85"},
      {"COP C:\\n\\a\x7F C:\\p\\my file", "DS041", "\"C:\\n\\a\", the control character 0x7F"},
      {"RUN C:\\Program Files\\a\rb.exe", "DS044", "\"C:\\Program Files\\a\", a CR, \"b.exe\""},
      {"COP\tC:\\n\\a\0\tC:\\p\\a"s, "DS008",
       "a NUL in the source, which no Windows name can hold: the updater stops at its checks "
       "with \"Can't access source files\", naming \"C:\\n\\a\", a NUL"},
      {"COP\tC:\\n\\a\tC:\\p\\a\0"s, "DS008",
       "a NUL in the target, which no Windows name can hold: the updater stops at its checks "
       "with \"Write access to file missing\""},
      {"RUN C:\\p\\a.exe\0"s, "DS008", "a NUL in the command line: the updater starts nothing"},
      {"\xFF\xFE" "C\0"s, "DS007", "a UTF-16 LE byte-order mark: the updater reads"},
      {"\0C\0O\0P"s, "DS007", "UTF-16 BE text without a byte-order mark"},
      {"%PDF-1.7\n%\xE2\xE3\n", "DS020", "the file is not text: it starts as a PDF document"},
      {"a\0b\nc\0d\ne\0f\ng"s, "DS020", "NUL bytes in 3 of its 4 lines"},
      {"COP\tC:\\n\\a\tC:\\p\\a\tb\nCOP\tC:\\n\\b\tC:\\p\\a\tb.ddu-new\n", "DS021",
       "the copy to \"C:\\p\\a\", a TAB, \"b\" on line 1 first writes"},
      // A name of a RUN line: a quoted path's blanks are in its names, and
      // so are those in quotation marks within an argument.
      {"RUN \"C:\\Caf\xE9 Noir\\x.exe\" /u\n", "DS082", "\"Caf\xC3\xA9 Noir\": each byte"},
      {"RUN C:\\p\\x.exe /title=\"Caf\xE9 Noir\"\n", "DS082", "\"Caf\xC3\xA9 Noir\": each byte"},
      {"RUN C:\\Program Files\\Caf\xE9 Noir\\x.exe /u\n", "DS082",
       "\"Caf\xC3\xA9 Noir\": each byte"},
      // One finding a name: its message names the other lines that hold it.
      {"COP\tC:\\n\\caf\xE9\tC:\\p\\a\n" + kCopy + "COP\tC:\\n\\b\tC:\\p\\caf\xE9\n", "DS082",
       "\"caf\xC3\xA9\" (also on line 3): each byte"},
      {CopiesInFolder("caf\xE9", 5), "DS082",
       "\"caf\xC3\xA9\" (also on lines 2, 3, 4 and 5): each byte"},
      {CopiesInFolder("caf\xE9", 21), "DS082",
       "\"caf\xC3\xA9\" (also on lines 2, 3, 4 and 17 more): each byte"},
      {CopiesInFolder("caf\xC3\xA9", 3), "DS042",
       "\"caf\xC3\xA9\" is read as \"caf\xC3\x83\xC2\xA9\" (also on lines 2 and 3): the updater"},
  };
  for (const auto& c : cases) {
    const auto findings = LintScriptBytes(c.Bytes);
    const auto found = std::find_if(findings.begin(), findings.end(),
                                    [&](const Finding& f) { return f.Code == c.Code; });
    ASSERT_NE(found, findings.end()) << c.Code << "\n" << Describe(findings);
    EXPECT_NE(found->Message.find(c.Words), std::string::npos) << c.Code << "\n" << found->Message;
  }
}

TEST(LintRules, DisabledRulesAreNotChecked) {
  for (const std::vector<std::string>& disabled :
       {std::vector<std::string>{"DS001", "DS046"}, std::vector<std::string>{"ds001", "Ds046"}}) {
    const auto findings = LintScriptBytes("cop a b\nREM x\n", disabled);
    EXPECT_TRUE(findings.empty()) << disabled[0] << "\n" << Describe(findings);
  }
  EXPECT_EQ(FindLintRule("ds043"), FindLintRule("DS043"));
  EXPECT_NE(FindLintRule("ds043"), nullptr);
  EXPECT_EQ(FindLintRule("DS04"), nullptr);
}

// lint's exit status: info findings never fail unless --severity info asks.
TEST(LintRules, FindingsFailFromTheThreshold) {
  const Finding info{1, 1, 1, Severity::Info, "DS082", "", "", ""};
  const Finding warning{1, 1, 1, Severity::Warning, "DS043", "", "", ""};
  const Finding error{1, 1, 1, Severity::Error, "DS001", "", "", ""};
  EXPECT_FALSE(AnyFindingAtOrAbove({}));
  EXPECT_FALSE(AnyFindingAtOrAbove({info, info}));
  EXPECT_TRUE(AnyFindingAtOrAbove({info, warning}));
  EXPECT_TRUE(AnyFindingAtOrAbove({error}));
  EXPECT_TRUE(AnyFindingAtOrAbove({info}, Severity::Info));
  EXPECT_FALSE(AnyFindingAtOrAbove({info, warning}, Severity::Error));
}

// The rules page is read against the table: a section per code, with its
// title, a bad line and a good line.
// A rule that says what the window shows quotes the updater's own words,
// so that a change of those words shows here.
TEST(LintRules, MessagesQuoteTheUpdatersOwnWords) {
  const struct {
    const char* code;
    const wchar_t* words;
  } cases[] = {
      {"DS045", kReadyTitle},
      {"DS046", kReadyTitle},
      {"DS046", kDoneStatus},
  };
  for (const auto& c : cases) {
    const LintRule* rule = FindLintRule(c.code);
    ASSERT_NE(rule, nullptr) << c.code;
    EXPECT_NE(rule->Message.find("\"" + WideToUtf8(c.words) + "\""), std::string_view::npos)
        << c.code << ": " << rule->Message;
  }
}

}  // namespace
