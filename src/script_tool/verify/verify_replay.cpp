#include "script_tool/verify/verify_replay.h"

#include <algorithm>
#include <optional>
#include <set>
#include <system_error>

#include "names/text_conversions.h"
#include "names/windows_names.h"
#include "script_tool/findings/finding_codes.h"
#include "script_tool/findings/quoted.h"
#include "script_tool/findings/updater_words.h"
#include "script_tool/cli/exit_codes.h"
#include "script_tool/script_reader/missing_folders.h"
#include "script_tool/tree_walker/windows_paths.h"
#include "script_tool/verify/folder_names.h"
#include "script_tool/verify/temporary_folder.h"
#include "updater_client/target_folders.h"

namespace fs = std::filesystem;

namespace {

enum class Tree { New, Copy };

struct MappedPath {
  Tree Root = Tree::New;
  std::vector<std::string> Names;
  std::string Problem;  // why the path maps to neither tree; empty when it does
  std::string_view Code;  // the problem's
};

struct Roots {
  std::vector<std::string> Source;
  std::vector<std::string> Target;
};

MappedPath MapScriptPath(const std::string& path, const Roots& roots) {
  const std::vector<std::string> names = SplitWindowsPath(path);
  auto underSource = NamesBelowRoot(names, roots.Source);
  auto underTarget = NamesBelowRoot(names, roots.Target);
  // Nested roots: the deeper one is meant.
  if (underSource && underTarget) {
    if (roots.Source.size() > roots.Target.size()) underTarget.reset();
    else underSource.reset();
  }
  MappedPath mapped;
  if (!underSource && !underTarget) {
    mapped.Problem = "lies below neither --source-root nor --target-root";
    mapped.Code = verify_code::kBelowNeitherRoot;
    return mapped;
  }
  mapped.Root = underSource ? Tree::New : Tree::Copy;
  mapped.Names = underSource ? *underSource : *underTarget;
  mapped.Problem = ProblemOfRelativeNames(mapped.Names);
  mapped.Code = verify_code::kUnmappableName;
  if (mapped.Problem.empty() && mapped.Names.empty()) {
    mapped.Problem = "names the root folder itself, not a file";
    mapped.Code = verify_code::kNamesTheRoot;
  }
  return mapped;
}

// True when path lies inside folder, by their names alone. The last guard
// before a copy: on Windows a name such as "D:x" put after a folder would
// stand for a path of its own on drive D.
bool LiesWithin(const fs::path& path, const fs::path& folder) {
  const fs::path normal = path.lexically_normal();
  const fs::path inside = folder.lexically_normal();
  auto name = normal.begin();
  for (const fs::path& part : inside) {
    if (part.empty()) continue;  // the empty name after a final separator
    if (name == normal.end() || *name != part) return false;
    ++name;
  }
  return name != normal.end();
}

// Names may differ in case on a file system that ignores case (Windows).
bool SameFile(const FolderNames::Resolved& a, const FolderNames::Resolved& b) {
  std::error_code error;
  return fs::equivalent(a.Path, b.Path, error) && !error;
}


// A relative path as lists show it, folded as Windows compares names.
std::string FoldedDisplayPath(const fs::path& relative) {
  const std::string display = DisplayPath(relative);
  const std::optional<std::string> latin1 = Utf8ToLatin1(display);
  return latin1 ? FoldName(*latin1) : display;
}

// One COP line, mapped and checked.
struct PlannedCopy {
  std::size_t Line = 0;
  std::size_t TargetColumn = 0;
  fs::path Source;
  MappedPath Target;
};

class Replay {
 public:
  Replay(const VerifySetup& setup, fs::path copy)
      : setup_(setup), copy_(std::move(copy)) {
    roots_.Source = SplitWindowsPath(setup.SourceRoot);
    roots_.Target = SplitWindowsPath(setup.TargetRoot);
  }

  // The checks the updater makes before it copies anything, over every line
  // rather than up to the first that fails, and the mapping onto the trees.
  void Plan(const std::vector<ScriptLine>& lines, VerifyReport& report) {
    const std::size_t planStart = report.Findings.size();
    std::vector<UnwritableTarget> folderMissing;
    for (const ScriptLine& line : lines) {
      const FileCommand& command = line.Command;
      if (command.Kind == CommandKind::Run) {
        report.Runs.push_back(
            {line.Number, Latin1ToUtf8(command.Arguments[0]), ArgumentColumn(line, 0)});
      }
      if (command.Kind != CommandKind::Copy) continue;
      const std::size_t sourceColumn = ArgumentColumn(line, 0);
      const std::size_t targetColumn = ArgumentColumn(line, 1);
      auto fail = [&](std::string_view code, const std::string& message, std::size_t column) {
        report.Findings.push_back(CodedFinding(code, line.Number, column, message));
      };
      if (command.Arguments.size() != 2) {
        fail(verify_code::kCopyWithoutTarget,
             "COP without a source and a target: the updater stops here", 0);
        continue;
      }
      const std::string& sourceText = command.Arguments[0];
      const std::string& targetText = command.Arguments[1];
      const MappedPath source = MapScriptPath(sourceText, roots_);
      const MappedPath target = MapScriptPath(targetText, roots_);
      if (!source.Problem.empty()) {
        fail(source.Code, "source " + Quoted(sourceText) + " " + source.Problem, sourceColumn);
      }
      if (!target.Problem.empty()) {
        fail(target.Code, "target " + Quoted(targetText) + " " + target.Problem, targetColumn);
      }
      if (!source.Problem.empty() || !target.Problem.empty()) continue;

      // NEW is the release itself and only ever read: a line that would
      // write there is not applied, whatever the updater would make of it.
      if (target.Root != Tree::Copy) {
        fail(verify_code::kTargetInNew,
             "target " + Quoted(targetText) +
                 " lies below --source-root, not in the installed folder: the update would "
                 "change the new version's own files; verify applies no such line",
             targetColumn);
        continue;
      }

      const FolderNames::Resolved from = Resolve(source);
      const FolderNames::Resolved to = Resolve(target);
      const bool sourceFine = from.What == FolderNames::State::File;
      if (from.What == FolderNames::State::Folder) {
        fail(verify_code::kSourceIsFolder,
             "source " + Quoted(sourceText) +
                 " is a folder: the updater stops at " + QuotedWords(kCantAccessSourceFiles),
             sourceColumn);
      } else if (!sourceFine) {
        fail(verify_code::kSourceMissing, "source " + Quoted(sourceText) + " is missing",
             sourceColumn);
      }
      if (to.What == FolderNames::State::Folder) {
        fail(verify_code::kTargetIsFolder, "target " + Quoted(targetText) + " is a folder",
             targetColumn);
      } else if (to.What == FolderNames::State::FolderMissing) {
        // Said once: the folder that could not be created is this line's
        // finding. The others are said once a folder, below.
        if (line.Number != folderFailureLine_) {
          folderMissing.push_back({line.Number, targetColumn, targetText});
        }
      } else if (sourceFine && to.What == FolderNames::State::File && SameFile(from, to)) {
        // The updater copies through a temporary file and renames it over
        // the target, which leaves a file copied onto itself as it was,
        // time included: the line does nothing.
        continue;
      } else if (sourceFine) {
        planned_.push_back({line.Number, targetColumn, from.Path, target});
      }
    }
    ReportMissingFolders(folderMissing, planStart, report);
  }

  // What the application does before it starts the updater (--new-folders):
  // the missing folders above the COP targets, by the rule of
  // CreateTargetFolders, made in the copy. Only folders in the installed
  // folder are made: the root and what lies elsewhere count as there, and a
  // line copying there is a finding of Plan's. A failure ends the creating,
  // as it ends CreateTargetFolders.
  void CreateTargetFolders(const std::vector<ScriptLine>& lines, VerifyReport& report) {
    const CopyTargets copies = CopyTargetsOf(lines);
    const std::vector<devidudi::NeededFolder> folders =
        devidudi::MissingTargetFolders(copies.Targets, IsFolderInCopy());
    // Windows refuses such a folder (Wine and Linux would make it), and the
    // application then creates none.
    for (const devidudi::NeededFolder& needed : folders) {
      if (needed.Refused.empty()) continue;
      folderFailureLine_ = copies.Lines[needed.Target];
      report.Findings.push_back(CodedFinding(verify_code::kFolderNotCreated, folderFailureLine_, 0,
                                             "the folder " + Quoted(needed.Path) +
                                                 " cannot be created before the update: " +
                                                 needed.Refused));
      return;
    }
    for (const devidudi::NeededFolder& needed : folders) {
      const MappedPath mapped = MapScriptPath(needed.Path, roots_);
      const FolderNames::Resolved folder = Resolve(mapped);
      std::error_code error;
      std::string failed;
      if (folder.What == FolderNames::State::File) {
        failed = "a file of that name is there";
      } else if (!LiesWithin(folder.Path, copy_)) {
        failed = "it does not lie in the copy of the installed folder here";
      } else if (!fs::create_directory(folder.Path, error)) {
        failed = error ? error.message() : "it could not be made";
      }
      if (!failed.empty()) {
        folderFailureLine_ = copies.Lines[needed.Target];
        report.Findings.push_back(CodedFinding(verify_code::kFolderNotCreated,
                                               folderFailureLine_, 0,
                                               "the folder " + Quoted(needed.Path) +
                                                   " cannot be created before the update: " +
                                                   failed));
        return;
      }
      names_.Added(folder.Path);
      // As the script spells it: a file system that ignores case (Windows)
      // would show the script's spelling of the folders above it, another
      // the spelling found there.
      std::string shown;
      for (const std::string& name : mapped.Names) shown += Latin1ToUtf8(name) + "/";
      report.CreatedFolders.push_back(shown);
    }
  }

  // The copies, in order, each with its last-write time. A failed copy ends
  // the run, as it ends the updater's.
  void Apply(VerifyReport& report) {
    for (const PlannedCopy& copy : planned_) {
      // Resolved again: an earlier copy may have made the file that this
      // one's name, in another case, means on Windows.
      const fs::path target = Resolve(copy.Target).Path;
      if (!LiesWithin(target, copy_)) {
        report.Findings.push_back(
            CodedFinding(verify_code::kTargetOutsideCopy, copy.Line, copy.TargetColumn,
                         "the target does not lie in the copy of the installed folder here"));
        return;
      }
      const std::string failed = CopyFileWithTime(copy.Source, target);
      if (!failed.empty()) {
        report.Findings.push_back(CodedFinding(verify_code::kCopyFailed, copy.Line,
                                               copy.TargetColumn, "the copy failed: " + failed));
        return;
      }
      names_.Added(target);
      written_.insert(FoldedDisplayPath(target.lexically_relative(copy_)));
    }
  }

  // True when the path, "/" between names, is a file a COP line wrote or a
  // folder holding one.
  bool Wrote(const std::string& displayPath) const {
    const std::string folded = FoldedDisplayPath(fs::u8path(displayPath));
    if (written_.count(folded) != 0) return true;
    // A folder: the first written path after its name and a "/".
    const std::string inside = folded + "/";
    const auto next = written_.lower_bound(inside);
    return next != written_.end() && next->compare(0, inside.size(), inside) == 0;
  }

 private:
  // A COP line whose target's folder is missing from the copy.
  struct UnwritableTarget {
    std::size_t Line = 0;
    std::size_t Column = 0;
    std::string_view Target;
  };

  // Whether a folder path of the script is a folder of the copy: the root,
  // and what lies elsewhere, count as there (a line copying there is a
  // finding of its own).
  std::function<bool(const std::string&)> IsFolderInCopy() {
    return [this](const std::string& folder) {
      const MappedPath mapped = MapScriptPath(folder, roots_);
      if (!mapped.Problem.empty() || mapped.Root != Tree::Copy) return true;
      return Resolve(mapped).What == FolderNames::State::Folder;
    };
  }

  // One finding a missing folder, at the first line that needs it, with how
  // many targets lie below it, as make says DM006 once a folder; each in
  // line order among the findings from planStart on.
  void ReportMissingFolders(const std::vector<UnwritableTarget>& targets, std::size_t planStart,
                            VerifyReport& report) {
    if (targets.empty()) return;
    std::vector<std::string_view> paths;
    for (const UnwritableTarget& target : targets) paths.push_back(target.Target);
    const MissingFolders missing = MissingFoldersOfTargets(paths, IsFolderInCopy());
    std::vector<Finding> found;
    for (const MissingFolder& folder : missing.Folders) {
      const UnwritableTarget& first = targets[folder.FirstTarget];
      found.push_back(CodedFinding(verify_code::kTargetFolderMissing, first.Line, first.Column,
                                   MissingFolderMessage(folder)));
    }
    // Not below a full path's folders (nothing the rule finds): said alone.
    for (std::size_t t = 0; t < targets.size(); ++t) {
      if (missing.Below[t]) continue;
      found.push_back(CodedFinding(verify_code::kTargetFolderMissing, targets[t].Line,
                                   targets[t].Column,
                                   "the folder of target " + Quoted(targets[t].Target) +
                                       " is missing, and the updater creates no folders"));
    }
    for (Finding& finding : found) {
      const auto at = std::upper_bound(
          report.Findings.begin() + static_cast<std::ptrdiff_t>(planStart), report.Findings.end(),
          finding.Line, [](std::size_t line, const Finding& other) { return line < other.Line; });
      report.Findings.insert(at, std::move(finding));
    }
  }

  std::string MissingFolderMessage(const MissingFolder& folder) {
    const std::string below = ", with " + CopTargetCount(folder.Targets) + " below it";
    const std::string stops = "the updater creates no folders (it would stop at " +
                              QuotedWords(kWriteAccessToFileMissing) + ")";
    if (Resolve(MapScriptPath(folder.Path, roots_)).What == FolderNames::State::File) {
      return "the folder " + Quoted(folder.Path) + " is a file in the installed folder" + below +
             "; " + stops + ", and the application cannot create the folder while the file is "
             "there";
    }
    const std::string missing = "the folder " + Quoted(folder.Path) + " is missing" + below + "; ";
    if (setup_.NewFolders) {
      return missing + stops + ", and the application's creating of folders stopped before it "
             "(DV112)";
    }
    if (!folder.Refused.empty()) {
      return missing + stops + ", and the application cannot create it either: " + folder.Refused;
    }
    return missing + stops + "; with --new-folders verify creates it first, as the application "
           "does before it starts the updater (CreateTargetFolders)";
  }

  FolderNames::Resolved Resolve(const MappedPath& mapped) {
    const fs::path& sources = setup_.Sources.empty() ? setup_.New : setup_.Sources;
    return names_.Resolve(mapped.Root == Tree::New ? sources : copy_, mapped.Names);
  }

  const VerifySetup& setup_;
  fs::path copy_;
  Roots roots_;
  FolderNames names_;
  std::vector<PlannedCopy> planned_;
  std::set<std::string> written_;  // FoldedDisplayPath of each target
  std::size_t folderFailureLine_ = 0;  // of the folder CreateTargetFolders stopped at
};

std::string FolderProblem(const fs::path& folder, const char* what) {
  std::error_code error;
  if (fs::is_directory(folder, error)) return {};
  return std::string(what) + " " + folder.u8string() + " is not a folder that can be read";
}

}  // namespace

int VerifyReport::ExitCode() const {
  if (!Error.empty()) return kExitUnreadable;
  return Findings.empty() && Differences.empty() ? kExitClean : kExitFindings;
}

VerifyReport VerifyScript(const std::vector<ScriptLine>& lines, const VerifySetup& setup,
                          const VerifyProgress& progress) {
  // Each step's progress told on, or nothing when nobody listens.
  auto during = [&progress](VerifyStep step) -> TreeProgressReport {
    if (!progress) return {};
    return [&progress, step](const TreeProgress& done) { progress(step, done); };
  };
  VerifyReport report;
  report.Error = FolderProblem(setup.Old, "OLD");
  if (report.Error.empty()) report.Error = FolderProblem(setup.New, "NEW");

  if (!report.Error.empty()) return report;

  const TemporaryFolder scratch;
  if (scratch.Path().empty()) {
    report.Error = "no folder could be made in the temporary folder";
    return report;
  }
  const fs::path copy = scratch.Path() / "old";
  report.Error = CopyTree(setup.Old, copy, during(VerifyStep::CopyingOld));
  if (!report.Error.empty()) return report;

  Replay replay(setup, copy);
  if (setup.NewFolders) replay.CreateTargetFolders(lines, report);
  replay.Plan(lines, report);
  if (!report.Findings.empty()) return report;
  replay.Apply(report);
  if (!report.Findings.empty()) return report;

  TreeComparison comparison = CompareTrees(copy, setup.New, during(VerifyStep::Comparing), setup.Excludes);
  report.Error = std::move(comparison.Error);
  report.FilesCompared = comparison.FilesCompared;
  using Kind = TreeDifference::Kind;
  for (TreeDifference& difference : comparison.Differences) {
    // What was in OLD and nothing wrote stays, as it stays on the machine;
    // so does its last-write time.
    const bool mayBeKept = difference.What == Kind::Extra ||
                           (difference.What == Kind::Time && !setup.Times);
    if (!mayBeKept || replay.Wrote(difference.Path)) {
      report.Differences.push_back(std::move(difference));
    } else if (difference.What == Kind::Extra) {
      report.Kept.push_back(std::move(difference.Path));
    } else {
      report.KeptWithOldTime.push_back(std::move(difference));
    }
  }
  return report;
}
