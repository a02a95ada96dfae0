#include <windows.h>

#include <optional>
#include <string>

#include "exec/file_times.h"
#include "script/file_command.h"
#include "script/widen_text.h"

namespace {

// GetTempFileNameW makes "ddu" + four hex digits + ".tmp", and creates the
// file, so the name is one that no file in the folder had.
constexpr wchar_t kTemporaryPrefix[] = L"ddu";

struct Folder {
  std::wstring path;  // with its final backslash
  DWORD error = ERROR_SUCCESS;
};

// The folder that holds `path`, resolved as the system resolves the path
// itself: relative to the current folder, or to a drive's current folder.
Folder FolderOf(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    const DWORD error = GetLastError();
    return {L"", error};
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) {
    const DWORD error = GetLastError();
    return {L"", error != ERROR_SUCCESS ? error : ERROR_INVALID_NAME};
  }
  full.resize(length);
  // A full path always holds a backslash after its drive or share.
  return {full.substr(0, full.rfind(L'\\') + 1)};
}

// Deletes a temporary copy that never became the target. On Windows CopyFileW
// gave it the source's attributes, and DeleteFileW refuses a read-only file.
void Discard(const std::wstring& temporary) {
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(temporary.c_str());
}

// Replaces `target` with a complete copy of `source`, or leaves it as it was.
// Returns ERROR_SUCCESS, or the Windows error code of the step that failed.
//
// The copy goes to a temporary file in the target's own folder, so that the
// last step is a rename within one volume, and one MoveFileExW then puts it
// in the target's place: a copy that fails half-way, on a full disk say,
// damages only the temporary file, which is deleted.
//
// MoveFileExW rather than ReplaceFileW. Tried under Wine as an ordinary user,
// ReplaceFileW fails where the target does not exist yet (2) and where the
// new file is read-only (5), puts a file in a folder's place, and replaces a
// target held open with delete sharing; Windows documents that it keeps the
// old target's attributes and ACL, and that it can fail half-way with the
// old target left under another name (ERROR_UNABLE_TO_MOVE_REPLACEMENT).
// MoveFileExW is one rename. It refuses a folder, and a target that another
// process holds open with whatever sharing, with 5 (ERROR_ACCESS_DENIED), on
// Windows as under Wine; CopyFileW, writing into a held target, gave 32
// (ERROR_SHARING_VIOLATION) there.
DWORD ReplaceWithCopy(const std::wstring& source, const std::wstring& target) {
  // Windows' MoveFileExW refuses to replace a read-only file with 5; Wine's
  // replaces it. Refused here, the target is never replaced on either.
  const DWORD targetAttributes = GetFileAttributesW(target.c_str());
  if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
      (targetAttributes & FILE_ATTRIBUTE_READONLY) &&
      !(targetAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return ERROR_ACCESS_DENIED;
  }

  const Folder folder = FolderOf(target);
  if (folder.error != ERROR_SUCCESS) return folder.error;
  wchar_t temporary[MAX_PATH];
  if (GetTempFileNameW(folder.path.c_str(), kTemporaryPrefix, 0, temporary) == 0) {
    const DWORD error = GetLastError();
    return error;
  }

  if (!CopyFileW(source.c_str(), temporary, /*bFailIfExists=*/FALSE)) {
    const DWORD error = GetLastError();
    Discard(temporary);
    return error;
  }
  if (!MoveFileExW(temporary, target.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD error = GetLastError();
    Discard(temporary);
    return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace

std::int32_t FileCommand::ExecuteCopy() const {
  // The checks let no Copy through that lacks its two paths or holds a NUL
  // byte; the runner still never gets to copy a file these do not name.
  if (Arguments.size() != 2) return ERROR_BAD_ARGUMENTS;
  const std::optional<std::wstring> source = WidenForSystem(Arguments[0]);
  const std::optional<std::wstring> target = WidenForSystem(Arguments[1]);
  if (!source || !target) return ERROR_INVALID_NAME;

  const DWORD error = ReplaceWithCopy(*source, *target);
  if (error != ERROR_SUCCESS) return static_cast<std::int32_t>(error);
  CarryFileTimesOver(*source, *target);
  return 0;
}
