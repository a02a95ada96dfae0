#include "script_tool/make/make_plan.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <set>
#include <utility>

#include "script_tool/cli/progress_line.h"
#include "script_tool/findings/finding_codes.h"
#include "script_tool/findings/updater_words.h"
#include "script_tool/tree_walker/exclude_glob.h"
#include "script_tool/make/make_self_check.h"
#include "script_tool/tree_walker/folder_tree.h"
#include "names/temporary_path.h"
#include "names/text_conversions.h"
#include "names/windows_names.h"

namespace fs = std::filesystem;

namespace {

std::wstring Rooted(const std::wstring& root, const std::wstring& relative) {
  return root.empty() || root.back() != L'\\' ? root + L'\\' + relative : root + relative;
}

// An error about the path or option named by where, at no line: make's
// findings concern its folders, not a line of a script.
Finding MakeError(std::string_view code, std::string where, std::string message) {
  return {0, 0, 0, Severity::Error, code, std::move(message), {}, std::move(where)};
}

std::wstring OwnName(const TreeEntry& entry) { return entry.Relative.substr(entry.NameStart); }

// The file of the tree with this key, other than skip; nothing when there is none.
const TreeEntry* FileWithKey(const FolderTree& tree, const std::wstring& key,
                             const TreeEntry& skip) {
  auto at = std::lower_bound(
      tree.Entries.begin(), tree.Entries.end(), key,
      [](const TreeEntry& entry, const std::wstring& wanted) { return entry.Key < wanted; });
  for (; at != tree.Entries.end() && at->Key == key; ++at) {
    if (at->Kind == EntryKind::File && &*at != &skip) return &*at;
  }
  return nullptr;
}

class Comparison {
 public:
  Comparison(const MakeRequest& request, MakeOutcome& outcome, const TreeProgressReport& progress)
      : request_(request), outcome_(outcome), progress_(progress) {}

  // installed is all of OLD, what oldTree leaves out included: those files
  // are on the machine all the same.
  void Run(const FolderTree& oldTree, const FolderTree& newTree, const FolderTree& installed) {
    installed_ = &installed;
    newTree_ = &newTree;
    ReportUnusable(oldTree, request_.OldFolder);
    ReportUnusable(newTree, request_.NewFolder);
    // Both lists are sorted by their Windows key: walk them side by side.
    const std::vector<TreeEntry>& olds = oldTree.Entries;
    const std::vector<TreeEntry>& news = newTree.Entries;
    std::size_t o = 0;
    std::size_t n = 0;
    if (progress_) {
      for (const TreeEntry& entry : news) newFiles_ += entry.Kind == EntryKind::File;
    }
    while (o < olds.size() || n < news.size()) {
      const int order = n == news.size()   ? -1
                        : o == olds.size() ? 1
                                           : olds[o].Key.compare(news[n].Key);
      if (order < 0) {
        OnlyInOld(olds[o++]);
      } else if (order > 0) {
        InNew(news[n++], nullptr);
      } else {
        InNew(news[n++], &olds[o++]);
      }
    }
    LeaveNewFolders(nullptr);
    WarnOfFilesOnlyInOld();
  }

 private:
  std::string Where(const fs::path& folder, const TreeEntry& entry) const {
    return ShownPath(folder) + "/" + entry.Shown;
  }
  void Error(std::string_view code, const fs::path& folder, const TreeEntry& entry,
             const std::string& message) {
    outcome_.Errors.push_back(MakeError(code, Where(folder, entry), message));
  }
  void Warning(std::string_view code, const fs::path& folder, const TreeEntry& entry,
               const std::string& message) {
    outcome_.Warnings.push_back(
        {0, 0, 0, Severity::Warning, code, message, {}, Where(folder, entry)});
  }

  // Links, odd files, names that cannot be read and names Windows would take
  // for one another, in either folder.
  void ReportUnusable(const FolderTree& tree, const fs::path& folder) {
    for (std::size_t i = 0; i < tree.Entries.size(); ++i) {
      const TreeEntry& entry = tree.Entries[i];
      if (!entry.Problem.empty()) Error(make_code::kEntryUnusable, folder, entry, entry.Problem);
      if (entry.Unlisted) outcome_.FolderUnreadable = true;
      if (entry.Kind == EntryKind::Link) {
        Error(make_code::kSymbolicLink, folder, entry, "is a symbolic link; the updater would copy what it points to");
      } else if (entry.Kind == EntryKind::Other) {
        Error(make_code::kNeitherFileNorFolder, folder, entry, "is neither a file nor a folder");
      }
      if (i > 0 && tree.Entries[i - 1].Key == entry.Key) {
        Error(make_code::kNamesEqualToWindows, folder, entry,
              "is the same name to Windows as " + tree.Entries[i - 1].Shown +
                  " (names differ in case alone)");
      }
    }
  }

  // With --new-folders, NEW's folders that OLD lacks wait here, outermost
  // first, until a file below them is copied: they go into the plan right
  // before it, as the application creates them before the updater copies.
  // One with no file below it is created by nothing.
  void LeaveNewFolders(const TreeEntry* next) {
    while (!newFolders_.empty()) {
      const TreeEntry& folder = *newFolders_.back();
      // Keys end each name with a NUL: an entry below the folder starts with its key.
      if (next != nullptr && next->Key.compare(0, folder.Key.size(), folder.Key) == 0) return;
      // verify finds the folder missing from the result: a script that
      // cannot give NEW is not written.
      Error(make_code::kNewFolderWithoutFile, request_.NewFolder, folder,
            "is a folder missing in OLD with no file to copy into it: no COP line needs it, so "
            "the application does not create it and the installed folder would lack it; "
            "--exclude leaves it out");
      newFolders_.pop_back();
    }
  }

  void OnlyInOld(const TreeEntry& old) {
    LeaveNewFolders(&old);
    if (old.Kind != EntryKind::File) return;
    PlanItem item;
    item.What = PlanItem::Action::KeepOnlyInOld;
    item.Path = old.Shown;
    outcome_.Plan.push_back(item);
    ++onlyInOld_;
  }

  // The files only in OLD are in the plan each (*kept): one warning says
  // what that means for all of them.
  void WarnOfFilesOnlyInOld() {
    if (onlyInOld_ == 0) return;
    const bool one = onlyInOld_ == 1;
    const std::string stays = one ? "a script cannot delete it, so it stays"
                                  : "a script cannot delete them, so they stay";
    outcome_.Warnings.push_back(
        {0, 0, 0, Severity::Warning, make_code::kOnlyInOld,
         "holds " + Counted(onlyInOld_, "file", "files") + " that NEW lacks (*kept in the plan): " +
             stays,
         {}, ShownPath(request_.OldFolder)});
  }

  void InNew(const TreeEntry& entry, const TreeEntry* old) {
    LeaveNewFolders(&entry);
    if (progress_ && entry.Kind == EntryKind::File) {
      progress_({++newFilesDone_, newFiles_, FolderOfShownPath(entry.Shown)});
    }
    if (old != nullptr && OwnName(*old) != OwnName(entry)) {
      Warning(make_code::kCaseDiffersFromOld, request_.NewFolder, entry,
              "is named " + old->Shown + " in OLD; Windows keeps that name's case");
    }
    if (entry.Kind == EntryKind::Folder) {
      if (old == nullptr && request_.NewFolders) {
        if (entry.Problem.empty()) newFolders_.push_back(&entry);
      } else if (old == nullptr) {
        Error(make_code::kFolderMissingInOld, request_.NewFolder, entry,
              "is a folder missing in OLD; the updater creates no folders (it would stop at " +
                  QuotedWords(kWriteAccessToFileMissing) +
                  "); with --new-folders make writes the script and the application creates "
                  "the folder before it starts the updater");
      } else if (old->Kind != EntryKind::Folder) {
        Error(make_code::kFolderAndFile, request_.NewFolder, entry, "is a folder in NEW but a file in OLD");
      }
      return;
    }
    if (entry.Kind != EntryKind::File || !entry.Problem.empty()) return;
    if (old != nullptr && old->Kind != EntryKind::File) {
      if (old->Kind == EntryKind::Folder) Error(make_code::kFolderAndFile, request_.NewFolder, entry, "is a folder in OLD");
      return;
    }
    PlanItem item;
    item.Path = entry.Shown;
    item.Added = old == nullptr;
    if (old != nullptr) {
      if (!old->Problem.empty()) return;
      item.SizeDiffers = old->Size != entry.Size;
      item.TimeDiffers = old->LastWrite != entry.LastWrite;
      if (!item.SizeDiffers) {
        bool readable = false;
        item.BytesDiffer = !SameContents(old->Path, entry.Path, readable);
        if (!readable) {
          Error(make_code::kFileUnreadable, request_.NewFolder, entry, "cannot be compared with OLD: a file cannot be read");
          return;
        }
      }
      if (!item.SizeDiffers && !item.BytesDiffer && !(request_.Times && item.TimeDiffers)) {
        ++outcome_.Unchanged;
        return;
      }
    }
    // A file whose bytes were compared has been read already; any other is
    // opened once, so that a release never ships a file it cannot read.
    if ((item.Added || item.SizeDiffers) && !CanRead(entry.Path)) {
      Error(make_code::kFileUnreadable, request_.NewFolder, entry, "cannot be read");
      return;
    }
    const std::wstring target = Rooted(request_.TargetRoot, entry.Relative);
    const std::wstring refused =
        outcome_.Script.AddCopy(Rooted(request_.SourceRoot, entry.Relative), target);
    if (!refused.empty()) {
      Error(make_code::kPathNotForScript, request_.NewFolder, entry, "cannot go into a script: " + WideToUtf8(refused));
      return;
    }
    ReportTakenTemporaryName(entry, target);
    for (const TreeEntry* folder : newFolders_) {
      // The library creates it from the script's bytes, which hold this path.
      const std::optional<std::string> path =
          WideToLatin1(Rooted(request_.TargetRoot, folder->Relative));
      if (const PathProblem tooLong = FindNewFolderLengthProblem(path.value_or(""))) {
        Error(make_code::kNewFolderTooLong, request_.NewFolder, *folder,
              "is a folder missing in OLD that the application cannot create before the "
              "update: " + tooLong.Detail + "; shorten its path");
      }
      PlanItem created;
      created.What = PlanItem::Action::CreateFolder;
      created.Added = true;
      created.Path = folder->Shown + "/";
      outcome_.Plan.push_back(created);
    }
    newFolders_.clear();
    outcome_.Plan.push_back(item);
    outcome_.Copied.push_back({entry.Shown, entry.Path});
    copyWheres_.push_back(Where(request_.NewFolder, entry));
  }

  // The copy writes the new bytes to TemporaryPathFor(target) beside the
  // target, then renames that over it: a file of that name, on the machine
  // before the update or brought by it, is overwritten and renamed away.
  void ReportTakenTemporaryName(const TreeEntry& entry, const std::wstring& target) {
    const std::optional<std::wstring> temporary = TemporaryPathFor(target);
    if (!temporary) return;
    // Only the target's own name changes. A key is its folder's key, then the
    // name folded and ended by a NUL.
    const std::size_t nameUnits = entry.Relative.size() - entry.NameStart;
    const std::wstring name = temporary->substr(target.size() - nameUnits);
    const std::wstring key =
        entry.Key.substr(0, entry.Key.size() - nameUnits - 1) + FoldWideName(name) + L'\0';
    for (const auto& [tree, folder] : {std::pair{newTree_, &request_.NewFolder},
                                       std::pair{installed_, &request_.OldFolder}}) {
      const TreeEntry* const taken = FileWithKey(*tree, key, entry);
      if (taken == nullptr) continue;
      Error(make_code::kTemporaryNameTaken, request_.NewFolder, entry,
            "is copied through a temporary file beside its target named \"" + WideToUtf8(name) +
                "\", and " + Where(*folder, *taken) +
                " is a file of that name: the updater overwrites it and renames it away; rename "
                "one of the two");
      return;
    }
  }

 public:
  // For each COP line written, in order, the file of NEW it copies.
  const std::vector<std::string>& CopyWheres() const { return copyWheres_; }

 private:
  const MakeRequest& request_;
  const FolderTree* installed_ = nullptr;
  const FolderTree* newTree_ = nullptr;
  std::vector<std::string> copyWheres_;
  MakeOutcome& outcome_;
  std::vector<const TreeEntry*> newFolders_;
  const TreeProgressReport& progress_;
  std::size_t newFiles_ = 0;
  std::size_t newFilesDone_ = 0;
  std::size_t onlyInOld_ = 0;
};

}  // namespace

MakeOutcome MakeScript(const MakeRequest& request, const TreeProgressReport& progress) {
  MakeOutcome outcome;
  const FolderTree oldTree = ReadFolderTree(request.OldFolder);
  const FolderTree newTree = ReadFolderTree(request.NewFolder);
  for (const auto& [tree, folder] :
       {std::pair{&oldTree, &request.OldFolder}, std::pair{&newTree, &request.NewFolder}}) {
    if (!tree->Error.empty()) {
      outcome.Errors.push_back(MakeError(make_code::kFolderUnreadable, ShownPath(*folder),
                                         "cannot be read: " + tree->Error));
      outcome.FolderUnreadable = true;
    }
  }
  if (outcome.FolderUnreadable) return outcome;

  WrittenScript written;
  for (const TreeEntry& entry : newTree.Entries) {
    if (entry.Kind == EntryKind::File) written.NewFiles.insert(FoldWideName(entry.Relative));
  }
  std::set<std::wstring> excludedFiles;
  const FolderTree oldKept = WithoutExcluded(oldTree, request.Excludes, &excludedFiles);
  const FolderTree newKept = WithoutExcluded(newTree, request.Excludes, &excludedFiles);
  outcome.Excluded = excludedFiles.size();
  Comparison comparison(request, outcome, progress);
  comparison.Run(oldKept, newKept, oldTree);
  for (std::size_t i = 0; i < request.Runs.size(); ++i) {
    const std::wstring refused = outcome.Script.AddRunCommandLine(request.Runs[i]);
    if (!refused.empty()) {
      outcome.Errors.push_back(MakeError(make_code::kRunNotForScript,
                                         "--run " + std::to_string(i + 1), WideToUtf8(refused)));
    }
  }
  if (!outcome.Errors.empty() || outcome.FolderUnreadable) return outcome;

  written.Bytes = outcome.Script.Bytes();
  written.CopyWheres = comparison.CopyWheres();
  written.Runs = request.Runs;
  written.TargetRoot = request.TargetRoot;
  CheckWrittenScript(written, outcome.Errors, outcome.Warnings);
  return outcome;
}

std::string PlanCode(const PlanItem& item) {
  if (item.What == PlanItem::Action::KeepOnlyInOld) return "*kept";
  if (item.What == PlanItem::Action::CreateFolder) return "cd+++";
  if (item.Added) return ">f+++";
  return std::string(">f") + (item.SizeDiffers ? 's' : '.') + (item.BytesDiffer ? 'c' : '.') +
         (item.TimeDiffers ? 't' : '.');
}

std::string NewFoldersReminder(const MakeOutcome& outcome) {
  std::size_t folders = 0;
  for (const PlanItem& item : outcome.Plan) {
    folders += item.What == PlanItem::Action::CreateFolder ? 1 : 0;
  }
  if (folders == 0) return {};
  return "make: the installed folder lacks " + Counted(folders, "folder", "folders") +
         " of the plan (cd+++), and the updater creates no folders: the application must "
         "create " + (folders == 1 ? "it" : "them") +
         " before it starts the updater, with CreateTargetFolders(scriptPath) of the "
         "application library\n";
}
