// The writer and make against lint, over names from the whole Latin-1 range
// and Windows' traps: whatever the writer or make accepts, lint finds
// nothing at warning level in and exits 0 on; whatever lint calls an error,
// they refuse.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "names/generated_names.h"
#include "names/text_conversions.h"
#include "script/widen_text.h"
#include "script_tool/lint/lint_rules.h"
#include "script_tool/make/make_plan.h"
#include "script_tool/script_reader/visible_text.h"
#include "support/scratch_folder.h"
#include "updater_client/updater_client.h"

namespace fs = std::filesystem;

namespace {

// Printed with every failure: a failing case is reproduced by its seed.
constexpr unsigned kSeed = 20261208;

// DS042 says that bytes look like UTF-8. The writer writes the Latin-1 a
// caller gives it on purpose: "Ã©" is a name of its own, whatever it looks like.
bool CountsAgainstAWrittenScript(const Finding& finding) {
  return finding.Level >= Severity::Warning && finding.Code != "DS042";
}

// lint's exit status on a written script, decided as the command line
// decides it (AnyFindingAtOrAbove at the default threshold), DS042 aside.
bool LintFailsOn(const std::vector<Finding>& findings) {
  std::vector<Finding> counted;
  for (const Finding& finding : findings) {
    if (finding.Code != "DS042") counted.push_back(finding);
  }
  return AnyFindingAtOrAbove(counted);
}

std::string Described(const std::vector<Finding>& findings) {
  std::string text;
  for (const Finding& f : findings) {
    text += std::string(SeverityName(f.Level)) + " " + std::string(f.Code) + " " + f.Message + "\n";
  }
  return text;
}

bool HasError(const std::vector<Finding>& findings) {
  for (const Finding& finding : findings) {
    if (finding.Level == Severity::Error) return true;
  }
  return false;
}

std::string CopyLine(const std::string& source, const std::string& target) {
  return "COP\t" + source + "\t" + target + "\r\n";
}

TEST(NameRules, TheWriterRefusesWhatLintCallsAnErrorAndWritesNothingItWarnsOf) {
  NameGenerator names(kSeed);
  std::size_t accepted = 0;
  std::size_t refused = 0;
  constexpr int kCases = 6000;
  for (int i = 0; i < kCases; ++i) {
    std::string relative = names.AnyName();
    if (names.Below(3) == 0) relative = names.AnyName() + "\\" + relative;
    const std::string source = "C:\\new\\" + relative;
    std::string target;
    switch (names.Below(6)) {
      case 0:
        target = "C:\\app\\" + names.AnyName();
        break;
      case 1:
        target = source;  // the source itself
        break;
      case 2:
        target = "C:\\App\\" + relative + (names.Below(2) == 0 ? "\\" : "\\.");
        break;
      default:
        target = "C:\\app\\" + relative;
        break;
    }
    devidudi::UpdateScript script;
    const std::wstring reason = script.AddCopy(WidenText(source), WidenText(target));
    const std::string line = CopyLine(source, target);
    const std::vector<Finding> findings = LintScriptBytes(line);
    const std::string what = "seed " + std::to_string(kSeed) + ", case " + std::to_string(i) +
                             ": " + VisibleText(line) + "\nwriter: " +
                             (reason.empty() ? "accepted" : WideToUtf8(reason)) + "\nlint:\n" +
                             Described(findings);
    if (reason.empty()) {
      ++accepted;
      EXPECT_EQ(script.Bytes(), line) << what;
      for (const Finding& finding : findings) {
        EXPECT_FALSE(CountsAgainstAWrittenScript(finding)) << what;
      }
      EXPECT_FALSE(LintFailsOn(findings)) << "lint exits 1 on " << what;
    } else {
      ++refused;
    }
    EXPECT_FALSE(HasError(findings) && reason.empty()) << what;
  }
  // Both sides of the property are exercised, not one alone.
  EXPECT_GT(accepted, kCases / 10u);
  EXPECT_GT(refused, kCases / 10u);
}

#ifndef _WIN32
// Linux names may hold almost any byte: NEW holds files named by the
// generator, each in a folder of its own (so that no two fold equal), and
// make's script is linted.
TEST(NameRules, MakeRefusesWhatLintCallsAnErrorAndWritesNothingItWarnsOf) {
  NameGenerator names(kSeed + 1);
  std::size_t copied = 0;
  std::size_t refused = 0;
  for (int round = 0; round < 12; ++round) {
    const ScratchFolder scratch("devidudi-names");
    const fs::path oldFolder = scratch.Path() / "old";
    const fs::path newFolder = scratch.Path() / "new";
    MakeRequest request;
    request.OldFolder = oldFolder;
    request.NewFolder = newFolder;
    // Long roots now and then, so that some paths reach the length limit.
    const std::string sourceRoot = "C:\\Update" + std::string(names.Below(3) == 0 ? 150 : 0, 'u');
    const std::string targetRoot = "D:\\App";
    request.SourceRoot = WidenText(sourceRoot);
    request.TargetRoot = WidenText(targetRoot);
    struct Planted {
      std::string relative;  // Latin-1, '\' between the names
      std::string shown;     // UTF-8, '/' between the names
    };
    std::vector<Planted> planted;
    for (int file = 0; file < 30; ++file) {
      std::string name = names.AnyName();
      for (char& byte : name) {
        if (byte == '/') byte = '_';  // Linux names cannot hold one
      }
      if (name == "." || name == "..") continue;  // nor be one of these
      const std::string folder = "f" + std::to_string(file);
      fs::create_directories(oldFolder / folder);
      fs::create_directories(newFolder / folder);
      std::ofstream(newFolder / folder / Latin1ToUtf8(name), std::ios::binary) << file;
      planted.push_back({folder + "\\" + name, folder + "/" + Latin1ToUtf8(name)});
    }
    const MakeOutcome outcome = MakeScript(request);
    ASSERT_FALSE(outcome.FolderUnreadable) << "seed " << kSeed + 1 << ", round " << round;
    const std::string context = "seed " + std::to_string(kSeed + 1) + ", round " +
                                std::to_string(round);
    const std::vector<Finding> scriptFindings = LintScriptBytes(outcome.Script.Bytes());
    for (const Finding& finding : scriptFindings) {
      EXPECT_FALSE(CountsAgainstAWrittenScript(finding))
          << context << ", line " << finding.Line << ": " << finding.Code << " " << finding.Message
          << "\n" << VisibleText(outcome.Script.Bytes());
    }
    if (outcome.Errors.empty()) {
      EXPECT_FALSE(LintFailsOn(scriptFindings)) << context << ": lint exits 1 on\n"
                                                << VisibleText(outcome.Script.Bytes());
    }
    copied += outcome.Script.LineCount();
    for (const Planted& file : planted) {
      const std::vector<Finding> findings = LintScriptBytes(
          CopyLine(sourceRoot + "\\" + file.relative, targetRoot + "\\" + file.relative));
      if (!HasError(findings)) continue;
      ++refused;
      bool named = false;
      for (const Finding& error : outcome.Errors) {
        const std::string end = "/" + file.shown;
        named = named || (error.File.size() >= end.size() &&
                          error.File.compare(error.File.size() - end.size(), end.size(), end) == 0);
      }
      EXPECT_TRUE(named) << context << ": make did not refuse " << VisibleText(file.relative)
                         << ", which lint calls an error:\n" << Described(findings);
    }
  }
  EXPECT_GT(copied, 50u);
  EXPECT_GT(refused, 50u);
}
#endif

}  // namespace
