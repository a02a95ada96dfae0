#include "exec/whole_copy.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "exec/brief_hold.h"
#include "exec/kept_security.h"
#include "exec/rename_over.h"
#include "names/temporary_path.h"
#include "platform/scoped_handle.h"

namespace {

// Enough to move a large file in few calls; a small one gets a buffer of
// its own size.
constexpr DWORD kMostBufferBytes = 1024 * 1024;

// The attributes a copy takes over from its source, as CopyFileW's copy does.
constexpr DWORD kCopiedAttributes = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN |
                                    FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;

struct SourceTimes {
  FILETIME created, accessed, written;
};

// Opens the source for reading. With no sharing at first: then no other
// process can be writing to it, and its times are worth carrying over. When
// another process holds it, shared as CopyFileW would open it, and
// `exclusive` says so.
ScopedHandle OpenSource(const std::wstring& source, bool& exclusive) {
  ScopedHandle file(CreateFileW(source.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  exclusive = file.IsValid();
  if (exclusive || GetLastError() != ERROR_SHARING_VIOLATION) return file;
  return ScopedHandle(CreateFileW(source.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
}

// Moves every byte of `from` to `to`. Returns ERROR_SUCCESS or the error of
// the read or write that failed (ERROR_DISK_FULL on a full disk).
DWORD CopyBytes(HANDLE from, HANDLE to, const CopyCalls& calls) {
  LARGE_INTEGER size{};
  GetFileSizeEx(from, &size);
  std::vector<char> buffer(static_cast<std::size_t>(
      std::clamp<LONGLONG>(size.QuadPart, 1, kMostBufferBytes)));
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(from, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      const DWORD error = GetLastError();
      return error;
    }
    if (read == 0) return ERROR_SUCCESS;
    for (DWORD done = 0; done < read;) {
      DWORD written = 0;
      if (!calls.writeFile(to, buffer.data() + done, read - done, &written, nullptr)) {
        const DWORD error = GetLastError();
        return error;
      }
      done += written;
    }
  }
}

// Deletes a temporary copy that never became the target, through its own
// handle, which it then closes; by name, tried again while another process
// holds it, only where the handle cannot do it.
void Discard(ScopedHandle& file, const std::wstring& temporary, const CopyCalls& calls) {
  const bool deleted = DeleteWhenClosed(file.Get(), calls) == ERROR_SUCCESS;
  file.Reset();
  if (deleted) return;
  RetryWhileHeld([&] {
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (DeleteFileW(temporary.c_str())) return static_cast<DWORD>(ERROR_SUCCESS);
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? static_cast<DWORD>(ERROR_SUCCESS) : error;
  });
}

// Creates the temporary file, empty, with the given attributes, or writes
// over whatever an interrupted run left under its name. Such a file, made
// from a read-only source, refuses to be written over: it is deleted first.
// WRITE_DAC and READ_CONTROL, which the creator holds as owner, let it take
// the target's access list. Returns ERROR_SUCCESS or the error of the last
// try, with `file` open on success.
DWORD CreateTemporary(const std::wstring& temporary, DWORD attributes, ScopedHandle& file) {
  const auto create = [&] {
    file.Reset(CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE | WRITE_DAC | READ_CONTROL,
                           0, nullptr, CREATE_ALWAYS,
                           attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.IsValid()) return static_cast<DWORD>(ERROR_SUCCESS);
    const DWORD error = GetLastError();
    return error;
  };
  return RetryWhileHeld([&] {
    const DWORD error = create();
    if (error != ERROR_ACCESS_DENIED) return error;
    const DWORD leftover = GetFileAttributesW(temporary.c_str());
    if (leftover == INVALID_FILE_ATTRIBUTES || !(leftover & FILE_ATTRIBUTE_READONLY)) {
      return error;
    }
    SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(temporary.c_str());
    return create();
  });
}

}  // namespace

// The copy goes to a temporary file beside the target, named after it (see
// TemporaryPathFor), and a rename within the folder puts it in the target's
// place: a copy that fails half-way, on a full disk say, damages only the
// temporary file, which is deleted, and one cut short by a crash is written
// over by the next run.
//
// The copy is made here rather than by CopyFileW into the temporary file:
// one open of the source, one creation of the temporary file, and the times
// and the rename set through the handles already open. Under Wine every
// lookup of a name that does not exist yet reads the whole folder (its
// names are matched without regard to case), and CopyFileW looks the new
// name up twice; a rename by MoveFileExW opens the file by name once more.
// Streams other than the file's data are not copied.
//
// The data is flushed to the disk before the rename: the file system logs
// the rename at once but writes data lazily, so without the flush a power
// cut could leave the new name on lost contents, with the old file gone.
// One flush per file costs one flush of the disk's cache; gathering them
// (git's core.fsyncMethod=batch: every file written out, one flush, then
// every rename) would need every temporary file at once, twice the space,
// and a kill would leave them all (bench/findings.md has the figures).
//
// The rename replaces the target only where Windows would: never a folder,
// nor a file that another process holds open, whatever sharing it allowed
// (ERROR_ACCESS_DENIED, on Windows as under Wine), unless the POSIX rename
// is offered and the holder shares deletion. A scanner's hold of either file
// is outlasted (brief_hold.h). A read-only target is refused here: Windows
// refuses it too, but Wine replaces it.
//
// The times are set after the rename, through the same handle: Windows'
// file-name tunnelling may give a file renamed into a name just freed the
// creation time of the file that had it, undoing a time set before.
DWORD ReplaceWithCopy(const std::wstring& source, const std::wstring& target,
                      const CopyCalls& calls) {
  const DWORD targetAttributes = GetFileAttributesW(target.c_str());
  const bool targetIsFile = targetAttributes != INVALID_FILE_ATTRIBUTES &&
                            !(targetAttributes & FILE_ATTRIBUTE_DIRECTORY);
  if (targetIsFile && (targetAttributes & FILE_ATTRIBUTE_READONLY)) return ERROR_ACCESS_DENIED;
  const std::optional<std::wstring> temporary = TemporaryPathFor(target);
  if (!temporary) return ERROR_FILENAME_EXCED_RANGE;

  bool exclusive = false;
  ScopedHandle from = OpenSource(source, exclusive);
  if (!from.IsValid()) {
    const DWORD error = GetLastError();
    return error;
  }
  // FileBasicInfo alone: GetFileInformationByHandle asks for the volume's
  // serial number too, a request to the wineserver under Wine.
  FILE_BASIC_INFO sourceInfo{};
  if (!GetFileInformationByHandleEx(from.Get(), FileBasicInfo, &sourceInfo, sizeof sourceInfo)) {
    const DWORD error = GetLastError();
    return error;
  }
  // The source's attributes, as CopyFileW gives them, and a hidden or
  // system target stays so.
  const DWORD attributes =
      (sourceInfo.FileAttributes & kCopiedAttributes) |
      (targetIsFile ? targetAttributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM) : 0);
  std::vector<BYTE> security;
  if (targetIsFile) {
    if (const DWORD error = ReadSecurityToKeep(target, security); error != ERROR_SUCCESS) {
      return error;
    }
  }

  ScopedHandle to;
  if (const DWORD error = CreateTemporary(*temporary, attributes, to); error != ERROR_SUCCESS) {
    return error;
  }
  DWORD error = GiveKeptSecurity(to.Get(), security);
  if (error == ERROR_SUCCESS && !security.empty() && (attributes & FILE_ATTRIBUTE_READONLY)) {
    // Given again: Wine keeps the access list as the Unix permissions,
    // which also carry the read-only attribute.
    FILE_BASIC_INFO basic{};
    basic.FileAttributes = attributes;
    calls.setFileInformationByHandle(to.Get(), FileBasicInfo, &basic, sizeof basic);
  }
  if (error == ERROR_SUCCESS) error = CopyBytes(from.Get(), to.Get(), calls);
  // Read after the bytes: reading moved the last-access time.
  SourceTimes times{};
  const bool haveTimes =
      GetFileTime(from.Get(), &times.created, &times.accessed, &times.written) != 0;
  // Closed before the rename, so that a source that is its own target can
  // be replaced.
  from.Reset();
  if (error == ERROR_SUCCESS && !calls.flushFileBuffers(to.Get())) error = GetLastError();
  if (error == ERROR_SUCCESS) {
    error = RetryWhileHeld([&] { return RenameOver(to.Get(), target, calls); });
  }
  if (error != ERROR_SUCCESS) {
    Discard(to, *temporary, calls);
    return error;
  }
  if (haveTimes) {
    if (exclusive) {
      SetFileTime(to.Get(), &times.created, &times.accessed, &times.written);
    } else {
      SetFileTime(to.Get(), nullptr, nullptr, &times.written);
    }
  }
  return ERROR_SUCCESS;
}
