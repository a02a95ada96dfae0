#include "app/update_sequence.h"

#include <windows.h>

#include "app/update_messages.h"
#include "checks/blocked_folder.h"
#include "checks/blocked_target.h"
#include "checks/busy_target.h"
#include "checks/missing_source.h"
#include "script/file_command_collection.h"

namespace {

enum class ChecksOutcome { Passed, GaveUp };

// Runs passes of the checks until one passes in full or the user answers
// anything but Yes. Every pass starts again from the first check, because a
// file the user freed for one check may have become busy for an earlier one.
// The folder flags were fixed at loading, so only the first pass can stop at
// them. The folders of the targets are probed last, once every target passed:
// a missing folder is the target check's question, which the user can mend.
ChecksOutcome CheckUntilReady(const FileCommandCollection& collection,
                              const std::wstring& scriptPath, UpdateSurface& surface) {
  for (;;) {
    if (!collection.FolderWritable) {
      surface.Tell(FolderWriteMessage(scriptPath));
      return ChecksOutcome::GaveUp;
    }
    if (!collection.FolderDeletable) {
      surface.Tell(FolderDeleteMessage(scriptPath));
      return ChecksOutcome::GaveUp;
    }

    const std::vector<FileCommand>& commands = collection.Commands;
    std::wstring question;
    std::int32_t accessCode = 0;
    if (const std::string busy = FindBusyTarget(commands); !busy.empty()) {
      question = BusyTargetQuestion(busy);
    } else if (const std::string missing = FindMissingSource(commands); !missing.empty()) {
      question = MissingSourceQuestion(missing);
    } else if (const std::string blocked = FindBlockedTarget(commands, accessCode);
               !blocked.empty()) {
      question = BlockedTargetQuestion(blocked, accessCode);
    } else if (const auto folder = FindBlockedFolder(commands)) {
      // Final, as for the script's folder: a folder's rights do not change
      // while the user looks at a question.
      surface.Tell(folder->Access.Writable ? FolderDeleteNotice(folder->Folder)
                                           : FolderWriteNotice(folder->Folder));
      return ChecksOutcome::GaveUp;
    } else {
      return ChecksOutcome::Passed;
    }
    if (!surface.AskToRetry(question)) return ChecksOutcome::GaveUp;
  }
}

}  // namespace

void RunUpdateSequence(const wchar_t* scriptPath, UpdateSurface& surface,
                       std::uint32_t waitBeforeChecksMs) {
  // Loaded once: a retry sees the file system anew, but not a changed script.
  const FileCommandCollection collection(scriptPath);
  Sleep(waitBeforeChecksMs);

  if (CheckUntilReady(collection, scriptPath, surface) == ChecksOutcome::Passed) {
    surface.ShowTitle(kUpdatingTitle);
    surface.RunCommands(collection.Commands);
    // Deleted after a failed run as well: the script has done what it could,
    // and the folder probe proved that deleting it is allowed.
    DeleteFileW(scriptPath);
  }
  surface.Close();
}

void RunUpdateSequenceOnWorker(const wchar_t* scriptPath, UpdateSurface& surface,
                               std::uint32_t waitBeforeChecksMs) noexcept {
  try {
    RunUpdateSequence(scriptPath, surface, waitBeforeChecksMs);
  } catch (...) {
    // Our code throws nothing of its own, so in practice only a failed
    // allocation gets here. Without the close the window would stay up for
    // good, since only the worker closes it.
    surface.Close();
  }
}
