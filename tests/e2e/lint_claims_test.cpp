// Every lint rule's claim, and every preflight code's, held against
// the real devidudi.exe under Wine: each row's script is linted (or
// preflighted), then run through the updater, which must do what the
// finding says it will. A rule's severity follows from that effect: error,
// the updater stops at its checks, fails a copy, starts nothing, or touches
// another file than a reader of the line expects; warning, it does what the
// bytes say, which is likely not what was meant, or fragile; info, harmless.
//
// The rows run many at once (DEVIDUDI_CLAIMS_PARALLEL of them), so that the
// updater's wait before its checks is paid a few times only.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <iostream>
#include <thread>
#include <vector>

#include "e2e/claim_case.h"
#include "e2e/toolkit_run.h"
#include "script_tool/findings/finding_codes.h"
#include "script_tool/lint/lint_rules.h"
#include "support/peer_process.h"

namespace {

using E = Effect;

const std::string kCopyA = "COP\t@S@\\a.txt\t@A@\\a.txt\r\n";

// A literal's bytes, a NUL among them.
template <std::size_t N>
std::string WithNul(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string Utf16Le(const std::string& bytes) {
  std::string wide = "\xFF\xFE";
  for (const char byte : bytes) wide += std::string{byte, '\0'};
  return wide;
}

std::vector<ClaimRow> RuleRows() {
  return {
      Rule("DS001", "error", E::DoesNothing, "cop\t@S@\\a.txt\t@A@\\b.txt\r\n", L"@A@\\b.txt"),
      // The byte after the keyword is skipped whatever it is: a quote there
      // is eaten, and the program's path ends in a stray quote.
      Rule("DS002", "error", E::StartsNothing, "RUN\"@R@\" /x\r\n"),
      Rule("DS002", "error", E::DoesNothing, "CPO\t@S@\\a.txt\t@A@\\b.txt\r\n", L"@A@\\b.txt"),
      // The fourth byte skipped, this line copies just as its writer meant:
      // the finding is about the fragile form.
      Rule("DS049", "warning", E::CopiesTo, "COPY@S@\\a.txt\t@A@\\b.txt\r\n", L"@A@\\b.txt"),
      Rule("DS003", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\r\n",
           L"PexaMenu is already running\n(COP line without a target)")
          .PrintStop(),
      Rule("DS004", "error", E::StopsAtQuestion, "COP\t\t@S@\\a.txt\t@A@\\b.txt\r\n",
           L"Can't access source files: COP line with an empty source"),
      Rule("DS005", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t\r\n",
           L"Write access to file missing: COP line with an empty target"),
      // Lint only notes the mark (info): the updater skips it.
      Rule("DS006", "info", E::CopiesTo, "\xEF\xBB\xBF" + kCopyA, L"@A@\\a.txt"),
      Rule("DS007", "error", E::DoesNothing, Utf16Le("COP\t@S@\\a.txt\t@A@\\b.txt\r\n"),
           L"@A@\\b.txt"),
      // Without its mark, UTF-16 is read byte by byte all the same.
      Rule("DS007", "error", E::DoesNothing,
           Utf16Le("COP\t@S@\\a.txt\t@A@\\b.txt\r\n").substr(2), L"@A@\\b.txt"),
      Rule("DS008", "error", E::StopsAtQuestion, WithNul("COP\t@S@\\a\0.txt\t@A@\\a.txt\r\n"),
           L"Can't access source files: @S@\\a\u2400.txt"),
      Rule("DS008", "error", E::StartsNothing, WithNul("RUN \"@R@\" /x\0y\r\n")),
      Rule("DS009", "error", E::DoesNothing, "\x1A\r\nCOP\t@S@\\a.txt\t@A@\\b.txt\r\n",
           L"@A@\\b.txt"),
      Rule("DS010", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\a|b.txt\r\n",
           L"Write access to file missing: @A@\\a|b.txt"),
      Rule("DS010", "error", E::StopsAtQuestion, "COP\t@S@\\a?.txt\t@A@\\a.txt\r\n",
           L"Can't access source files: @S@\\a?.txt"),
      // Windows, and Wine too, drop the blank: another file than written.
      Rule("DS011", "error", E::CopiesElsewhere, "COP\t@S@\\a.txt\t@A@\\b.txt \r\n", L"@A@\\b.txt"),
      // The second copy writes its new bytes to b.txt.ddu-new, the first
      // line's target, then renames that over b.txt: the first copy is gone.
      Rule("DS021", "error", E::DoesNothing,
           "COP\t@S@\\a.txt\t@A@\\b.txt.ddu-new\r\nCOP\t@S@\\a.txt\t@A@\\b.txt\r\n",
           L"@A@\\b.txt.ddu-new"),
      Rule("DS022", "error", E::CopiesElsewhere, "COP\t@S@\\a.txt\t@A@\\sub\\..\\b.txt\r\n",
           L"@A@\\b.txt"),
      Rule("DS011", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\b.txt\t\r\n",
           L"Write access to file missing: @A@\\b.txt\t"),
      // The checks open the device and pass; the copy's temporary file is
      // the device too, whose data cannot be flushed to a disk before the
      // rename. The code is Wine's (ERROR_ACCESS_DENIED).
      Rule("DS012", "error", E::FailsCopy, "COP\t@S@\\a.txt\t@A@\\nul.txt\r\n", L"@S@\\a.txt")
          .Error(ERROR_ACCESS_DENIED),
      // The console can be opened for writing by nobody else: the busy check.
      Rule("DS012", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\con.txt\r\n",
           L"PexaMenu is already running\n(@A@\\con.txt)"),
      Rule("DS012", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\CONIN$\r\n",
           L"PexaMenu is already running\n(@A@\\CONIN$)"),
      Rule("DS012", "error", E::NotObservable, "COP\t@S@\\a.txt\t@A@\\COM\xB9.txt\r\n")
          .Note("Windows reserves COM\xC2\xB9 as a device name; Wine writes a file of that name"),
      Rule("DS013", "error", E::NotObservable, "COP\t@LONG@\t@A@\\b.txt\r\n")
          .Note("Wine has no MAX_PATH limit: there the copy succeeds")
          .Arrange([](ClaimCase& c) {
            std::wstring path = c.folder.File(L"src");
            for (const wchar_t letter : {L'd', L'e', L'f'}) {
              path += L"\\" + std::wstring(90, letter);
              CreateDirectoryW((L"\\\\?\\" + path).c_str(), nullptr);
            }
            path += L"\\long.txt";
            WriteBytes(L"\\\\?\\" + path, "new long");
            c.vars[L"@LONG@"] = path;
          }),
      Rule("DS014", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\\r\n",
           L"PexaMenu is already running\n(@A@\\)"),
      Rule("DS014", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\.\r\n",
           L"PexaMenu is already running\n(@A@\\.)"),
      Rule("DS014", "error", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\..\r\n",
           L"PexaMenu is already running\n(@A@\\..)"),
      // The copy goes through a temporary file: it succeeds and leaves the
      // file as it was. Lint warns that the line does nothing.
      Rule("DS015", "warning", E::DoesNothing, "COP\t@A@\\a.txt\t@A@\\A.TXT\r\n", L"@A@\\a.txt"),
      Rule("DS016", "error", E::StartsNothing,
           "RUN \"@R@\" /x " + std::string(300, 'p') + "\r\n"),
      Rule("DS017", "error", E::FailsCopy, "RUN @PROG@\r\nCOP\t@S@\\prog.exe\t@A@\\prog.exe\r\n",
           L"@S@\\prog.exe")
          .Error(5)
          .Arrange([](ClaimCase& c) {
            auto program = std::make_shared<RunningProgram>(c.folder.File(L"app\\prog.exe"));
            c.vars[L"@PROG@"] = program->CommandLine();
            c.keep.push_back(program);
          }),
      // The program's folder holds a dot: the program is still found by the
      // name with ".exe" added.
      Rule("DS017", "error", E::FailsCopy,
           "RUN @PROG@\r\nCOP\t@S@\\prog.exe\t@A@\\v1.2\\prog.exe\r\n", L"@S@\\prog.exe")
          .Error(5)
          .Arrange([](ClaimCase& c) {
            CreateDirectoryW(c.folder.File(L"app\\v1.2").c_str(), nullptr);
            auto program = std::make_shared<RunningProgram>(c.folder.File(L"app\\v1.2\\prog.exe"));
            std::wstring commandLine = program->CommandLine();
            commandLine.replace(commandLine.find(L"prog.exe\""), 9, L"prog\"");
            c.vars[L"@PROG@"] = commandLine;
            c.keep.push_back(program);
          }),
      // Saved as Windows-1252, the line meant curly quotes.
      Rule("DS018", "error", E::CopiesElsewhere, "COP\t@S@\\a.txt\t@A@\\\x93menu\x94.txt\r\n",
           L"@A@\\\u0093menu\u0094.txt"),
      Rule("DS041", "warning", E::CopiesTo, "COP @S@\\a.txt @A@\\Pexa Menu\\a.txt\r\n",
           L"@A@\\Pexa Menu\\a.txt"),
      // Saved as UTF-8, the line meant "caf\u00E9.txt".
      Rule("DS042", "warning", E::CopiesElsewhere, "COP\t@S@\\a.txt\t@A@\\caf\xC3\xA9.txt\r\n",
           L"@A@\\caf\u00C3\u00A9.txt"),
      // From the updater's current folder, not the script's.
      Rule("DS043", "warning", E::CopiesElsewhere, "COP\t@S@\\a.txt\tapp\\rel.txt\r\n",
           L"@F@\\cwd\\app\\rel.txt")
          .WorkingFolder(L"@F@\\cwd")
          .Arrange([](ClaimCase& c) {
            CreateDirectoryW(c.folder.File(L"cwd").c_str(), nullptr);
            CreateDirectoryW(c.folder.File(L"cwd\\app").c_str(), nullptr);
          }),
      // Wine's CreateProcessW, having found the program at a longer name up
      // to a blank, hands it a command line with that name quoted; Windows
      // hands on the command line as written.
      Rule("DS044", "warning", E::Starts, "RUN @F@\\Pexa Menu\\started.exe /x\r\n",
           L"\"@F@\\Pexa Menu\\started.exe\" /x")
          .Recorder(L"@F@\\Pexa Menu\\started.exe")
          .Arrange([](ClaimCase& c) { PlaceRecorder(c.folder.File(L"Pexa Menu\\started.exe")); }),
      // With a program planted at the part before the space, that one starts.
      Rule("DS044", "warning", E::Starts, "RUN @F@\\Pexa Menu\\started.exe /x\r\n",
           L"@F@\\Pexa Menu\\started.exe /x")
          .Recorder(L"@F@\\Pexa.exe")
          .Arrange([](ClaimCase& c) {
            PlaceRecorder(c.folder.File(L"Pexa Menu\\started.exe"));
            PlaceRecorder(c.folder.File(L"Pexa.exe"));
          }),
      Rule("DS044", "warning", E::Starts, "RUN @F@\\Pexa Menu\\started /x\r\n",
           L"\"@F@\\Pexa Menu\\started\" /x")
          .Recorder(L"@F@\\Pexa Menu\\started.exe")
          .Arrange([](ClaimCase& c) { PlaceRecorder(c.folder.File(L"Pexa Menu\\started.exe")); }),
      Rule("DS045", "warning", E::ReadyWhileCopying, "RUN \"@R@\" /x\r\n" + kCopyA,
           L"@S@\\a.txt"),
      Rule("DS046", "warning", E::ReadyWhileCopying, "REM the new menu\r\n" + kCopyA,
           L"@S@\\a.txt"),
      Rule("DS047", "warning", E::CopiesTo,
           "COP\t@S@\\a.txt\t@A@\\x.txt\r\nCOP\t@S@\\b.txt\t@A@\\X.TXT\r\n", L"@A@\\x.txt")
          .Bytes("new b"),
      Rule("DS047", "warning", E::CopiesTo,
           "COP\t@S@\\a.txt\t@A@\\\xE9t\xE9.txt\r\nCOP\t@S@\\b.txt\t@A@\\\xC9T\xC9.TXT\r\n",
           L"@A@\\\u00E9t\u00E9.txt")
          .Bytes("new b"),
      // The lone CR keeps the second RUN in the first one's command line.
      Rule("DS048", "warning", E::Starts, "RUN \"@R@\" /a\rRUN \"@R@\" /b\r\n",
           L"\"@R@\" /a\rRUN \"@R@\" /b"),
      // A program, or NULs in most lines, given as the script: no line is COP
      // or RUN, and the updater deletes the file as it deletes any script.
      Rule("DS020", "error", E::DoesNothing,
           WithNul("MZ\x90\0\x03\0\0\0\x04\0\r\n@S@\\a.txt\t@A@\\b.txt\r\n\xFF\xFF\0\0"),
           L"@A@\\b.txt"),
      Rule("DS020", "error", E::DoesNothing,
           WithNul("C\0OP\t@S@\\a.txt\t@A@\\b.txt\r\nR\0UN \"@R@\"\r\nx\0\r\n"), L"@A@\\b.txt"),
      Rule("DS081", "info", E::DoesNothing, ""),
      Rule("DS082", "info", E::CopiesTo, "COP\t@S@\\caf\xE9.txt\t@A@\\caf\xE9.txt\r\n",
           L"@A@\\caf\u00E9.txt")
          .Bytes("new caf\xE9"),
      Rule("DS083", "info", E::CopiesTo, kCopyA + "COP\t@S@\\b.txt\t@A@\\b.txt\n", L"@A@\\b.txt")
          .Bytes("new b"),
      // Wine's CreateProcessW refuses a command line that starts with a
      // blank (error 2).
      Rule("DS019", "error", E::StartsNothing, "RUN  \"@R@\" /x\r\n"),
  };
}

std::vector<ClaimRow> PreflightRows() {
  return {
      PreflightFinding("DP101", E::StopsAtNotice, "",
              L"Write access to folder missing:\n@NW@")
          .Script(L"@NW@\\upd.txt")
          .AtLine(0),
      PreflightFinding("DP102", E::NotObservable, "")
          .AtLine(0)
          .Note("Wine maps rights to Unix permissions, where creating and deleting a file in "
                "a folder are one right"),
      PreflightFinding("DP114", E::NotObservable, kCopyA)
          .Note("Wine maps rights to Unix permissions, where creating and deleting a file in "
                "a folder are one right"),
      PreflightFinding("DP103", E::StopsAtNotice, "", L"Delete access to folder missing:\n@F@")
          .AtLine(0)
          .Arrange([](ClaimCase& c) {
            WriteBytes(c.folder.File(L"update.txt"), c.ExpandNarrow(kCopyA));
            SetReadOnly(c.folder.File(L"update.txt"), true);
          }),
      PreflightFinding("DP104", E::StopsAtQuestion, "COP\t@S@\\a.txt\r\n",
              L"PexaMenu is already running\n(COP line without a target)"),
      PreflightFinding("DP105", E::StopsAtQuestion,
              WithNul("COP\t@S@\\a\0.txt\t@A@\\a.txt\r\n"),
              L"Can't access source files: @S@\\a\u2400.txt"),
      PreflightFinding("DP106", E::StopsAtQuestion, "COP\t@S@\\none.txt\t@A@\\a.txt\r\n",
              L"Can't access source files: @S@\\none.txt"),
      // A folder counts as a missing source: preflight and the updater's checks agree.
      PreflightFinding("DP107", E::StopsAtQuestion, "COP\t@S@\\sub\t@A@\\a.txt\r\n",
              L"Can't access source files: @S@\\sub"),
      PreflightFinding("DP108", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\sub\r\n",
              L"PexaMenu is already running\n(@A@\\sub)"),
      PreflightFinding("DP109", E::StopsAtQuestion, kCopyA,
              L"PexaMenu is already running\n(@A@\\a.txt)")
          .Arrange([](ClaimCase& c) { SetReadOnly(c.folder.File(L"app\\a.txt"), true); }),
      PreflightFinding("DP110", E::StopsAtQuestion, kCopyA,
              L"PexaMenu is already running\n(@A@\\a.txt)")
          .Arrange([](ClaimCase& c) {
            c.keep.push_back(std::make_shared<FileHolder>(c.folder.File(L"app\\a.txt"), L"r", L"-"));
          }),
      PreflightFinding("DP111", E::NotObservable, kCopyA)
          .Note("under Wine every refusal is a read-only file, a folder or a file in use"),
      PreflightFinding("DP112", E::StopsAtQuestion,
              "COP\t@S@\\a.txt\t@A@\\none\\a.txt\r\n",
              L"Write access to file missing: @A@\\none\\a.txt"),
      PreflightFinding("DP113", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@NW@\\a.txt\r\n",
              L"Write access to file missing: @NW@\\a.txt"),
      PreflightFinding("DP115", E::StartsNothing, WithNul("RUN \"@R@\" /x\0y\r\n")),
      PreflightFinding("DP116", E::StartsNothing,
              "RUN \"@R@\" /x " + std::string(300, 'p') + "\r\n"),
      PreflightFinding("DP117", E::StartsNothing, "RUN \r\n"),
      PreflightFinding("DP118", E::StartsNothing, "RUN \"@F@\\none.exe\" \"@R@\"\r\n"),
      // With --new-folders the application creates the folders first: a
      // file in the way stops it, and then the updater as without it.
      PreflightFinding("DP119", E::StopsAtQuestion, "COP\t@S@\\a.txt\t@A@\\a.txt\\x\\b.txt\r\n",
              L"Write access to file missing: @A@\\a.txt\\x\\b.txt")
          .NewFolders(),
      PreflightFinding("DP120", E::StopsAtNotice, "COP\t@S@\\a.txt\t@NW@\\settings.ini\r\n",
              L"Write access to folder missing:\n@NW@"),
      PreflightFinding("DP121", E::NotObservable, kCopyA)
          .Note("Wine maps rights to Unix permissions, where creating and deleting a file in "
                "a folder are one right"),
      // The program's path holds a blank, and a program stands at the name
      // before it: CreateProcessW tries that name first, and starts it.
      PreflightFinding("DP122", E::Starts, "RUN @F@\\Pexa Menu\\started.exe /x\r\n",
              L"@F@\\Pexa Menu\\started.exe /x")
          .Recorder(L"@F@\\Pexa.exe")
          .Arrange([](ClaimCase& c) {
            PlaceRecorder(c.folder.File(L"Pexa Menu\\started.exe"));
            PlaceRecorder(c.folder.File(L"Pexa.exe"));
          }),
      PreflightFinding("DP181", E::CopiesTo, "COP\t@S@\\a.txt\t@A@\\new\\deep\\a.txt\r\n",
              L"@A@\\new\\deep\\a.txt")
          .NewFolders()
          .Severity("info"),
  };
}

struct Running {
  ClaimRow row;
  std::string outcome;
};

std::vector<Running>& AllRows() {
  static std::vector<Running> rows;
  return rows;
}

// Rows at once: enough that the updater's wait is paid a few times only, few
// enough that the one wineserver keeps within its open files (past them a
// program under Wine fails with STATUS_TOO_MANY_OPENED_FILES).
constexpr std::size_t kDefaultParallel = 16;

void HoldEveryClaim() {
  const char* text = std::getenv("DEVIDUDI_CLAIMS_PARALLEL");
  const std::size_t parallel =
      std::max<std::size_t>(1, text != nullptr ? std::strtoul(text, nullptr, 10) : kDefaultParallel);
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  for (std::size_t w = 0; w < parallel; ++w) {
    workers.emplace_back([&] {
      for (std::size_t i = next++; i < AllRows().size(); i = next++) {
        AllRows()[i].outcome = HoldClaim(AllRows()[i].row);
      }
    });
  }
  for (std::thread& worker : workers) worker.join();
}

std::string RowName(const ClaimRow& row) {
  return (row.preflight ? "preflight: " : "") + (row.code.empty() ? "(new code)" : row.code) +
         ", " + EffectName(row.effect) + (row.note.empty() ? "" : " (" + row.note + ")");
}

// A preflight row of this kind is not run at all (its finding cannot be
// brought about here); a lint row is run through lint alone. Neither may pass
// for a claim seen held.
bool WineCannotShow(const ClaimRow& row) { return row.effect == Effect::NotObservable; }

// The table as it came out, for the log: each row's code, its severity and
// the updater's effect, and whether it held, or why it was skipped.
void ExpectEveryRowHolds(bool preflight) {
  for (const Running& running : AllRows()) {
    if (running.row.preflight != preflight) continue;
    const std::string& outcome = running.outcome;
    if (WineCannotShow(running.row) && preflight) {
      std::cout << "skipped " << RowName(running.row) << "\n";
      continue;
    }
    const char* verdict = !outcome.empty()              ? "FAILED  "
                          : WineCannotShow(running.row) ? "linted  "
                                                        : "held    ";
    std::cout << verdict << RowName(running.row) << " [" << running.row.severity << "]\n";
    EXPECT_EQ(outcome, "") << RowName(running.row);
  }
}

// Names every row of the table whose effect Wine cannot show, with its
// reason, as a skip: what only Windows can confirm stays in sight.
void SkipWhatWineCannotShow(bool preflight) {
  std::string skipped;
  for (const Running& running : AllRows()) {
    const ClaimRow& row = running.row;
    if (row.preflight != preflight || !WineCannotShow(row)) continue;
    EXPECT_FALSE(row.note.empty()) << row.code << " is skipped without a reason";
    skipped += "\n  " + row.code + ": " + row.note;
  }
  if (skipped.empty()) return;
  GTEST_SKIP() << (preflight ? "not run, " : "lint's finding checked, the updater's effect ")
               << "not observable under Wine:" << skipped;
}

}  // namespace

TEST(LintClaims, EveryRuleDoesWhatItsFindingSays) { ExpectEveryRowHolds(false); }

TEST(LintClaims, WhatWineCannotShowIsSkipped) { SkipWhatWineCannotShow(false); }

TEST(PreflightClaims, EveryFindingIsWhereTheUpdaterStops) { ExpectEveryRowHolds(true); }

TEST(PreflightClaims, WhatWineCannotShowIsSkipped) { SkipWhatWineCannotShow(true); }

// A rule added to lint without a row here would make a claim nobody saw
// the updater keep.
TEST(LintClaims, EveryRuleHasARow) {
  for (const LintRule& rule : LintRules()) {
    const bool held = std::any_of(AllRows().begin(), AllRows().end(), [&](const Running& running) {
      return !running.row.preflight && running.row.code == rule.Code;
    });
    EXPECT_TRUE(held) << rule.Code << " has no row";
  }
}

// A preflight code without a row would make a claim nobody saw the updater
// keep. DP123 claims what the application's VerifyUpdate does, not the
// updater: verify_update_test holds it, on the same kinds of bundle.
TEST(PreflightClaims, EveryCodeHasARow) {
  for (const FindingCode& code : ToolFindingCodes()) {
    if (code.Tool != "preflight" || code.Code == preflight_code::kBundleRefused) continue;
    const bool held = std::any_of(AllRows().begin(), AllRows().end(), [&](const Running& running) {
      return running.row.preflight && running.row.code == code.Code;
    });
    EXPECT_TRUE(held) << code.Code << " has no row";
  }
}

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  for (ClaimRow& row : RuleRows()) AllRows().push_back({std::move(row), ""});
  for (ClaimRow& row : PreflightRows()) AllRows().push_back({std::move(row), ""});
  HoldEveryClaim();
  return RUN_ALL_TESTS();
}
