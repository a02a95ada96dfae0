#include "exec/whole_copy.h"

#include <algorithm>
#include <optional>
#include <vector>

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
DWORD CopyBytes(HANDLE from, HANDLE to) {
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
      if (!WriteFile(to, buffer.data() + done, read - done, &written, nullptr)) {
        const DWORD error = GetLastError();
        return error;
      }
      done += written;
    }
  }
}

// Gives the open file the name `target`, replacing what is there. Made
// through the handle, the rename needs no second lookup of the temporary
// file by its name; it takes a full NT path (Wine would read a bare name
// as one in its current folder, where Windows keeps the file's own).
DWORD RenameTo(HANDLE file, const std::wstring& target) {
  const DWORD needed = GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    const DWORD error = GetLastError();
    return error;
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(target.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return ERROR_INVALID_NAME;
  full.resize(length);
  const std::wstring name = NtPathOf(full);

  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  info->ReplaceIfExists = TRUE;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  name.copy(info->FileName, name.size());
  if (!SetFileInformationByHandle(file, FileRenameInfo, info,
                                  static_cast<DWORD>(buffer.size()))) {
    const DWORD error = GetLastError();
    return error;
  }
  return ERROR_SUCCESS;
}

// Deletes a temporary copy that never became the target; one made from a
// read-only source is read-only, and DeleteFileW refuses a read-only file.
void Discard(const std::wstring& temporary) {
  SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(temporary.c_str());
}

// Creates the temporary file, empty, with the given attributes, or writes
// over whatever an interrupted run left under its name. Such a file, made
// from a read-only source, refuses to be written over: it is deleted first.
ScopedHandle CreateTemporary(const std::wstring& temporary, DWORD attributes) {
  const auto create = [&] {
    return CreateFileW(temporary.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                       attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL, nullptr);
  };
  ScopedHandle file(create());
  if (file.IsValid() || GetLastError() != ERROR_ACCESS_DENIED) return file;
  Discard(temporary);
  file.Reset(create());
  if (!file.IsValid()) SetLastError(ERROR_ACCESS_DENIED);
  return file;
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
// The rename replaces the target only where Windows would: never a folder,
// nor a file that another process holds open, whatever sharing it allowed
// (ERROR_ACCESS_DENIED, on Windows as under Wine). A read-only target is
// refused here: Windows refuses it too, but Wine replaces it.
//
// The times are set after the rename, through the same handle: Windows'
// file-name tunnelling may give a file renamed into a name just freed the
// creation time of the file that had it, undoing a time set before.
// No MOVEFILE_WRITE_THROUGH: for a rename within one volume it changes
// nothing on Windows (it waits only for a move made as a copy), and Wine
// ignores it.
DWORD ReplaceWithCopy(const std::wstring& source, const std::wstring& target) {
  const DWORD targetAttributes = GetFileAttributesW(target.c_str());
  if (targetAttributes != INVALID_FILE_ATTRIBUTES &&
      (targetAttributes & FILE_ATTRIBUTE_READONLY) &&
      !(targetAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
    return ERROR_ACCESS_DENIED;
  }
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
  const DWORD attributes =
      GetFileInformationByHandleEx(from.Get(), FileBasicInfo, &sourceInfo, sizeof sourceInfo)
          ? sourceInfo.FileAttributes & kCopiedAttributes
          : 0;
  ScopedHandle to = CreateTemporary(*temporary, attributes);
  if (!to.IsValid()) {
    const DWORD error = GetLastError();
    return error;
  }

  DWORD error = CopyBytes(from.Get(), to.Get());
  // Read after the bytes: reading moved the last-access time.
  SourceTimes times{};
  const bool haveTimes =
      GetFileTime(from.Get(), &times.created, &times.accessed, &times.written) != 0;
  // Closed before the rename, so that a source that is its own target can
  // be replaced.
  from.Reset();
  if (error == ERROR_SUCCESS) error = RenameTo(to.Get(), target);
  if (error != ERROR_SUCCESS) {
    to.Reset();
    Discard(*temporary);
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
