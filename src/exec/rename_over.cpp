#include "exec/rename_over.h"

#include <atomic>
#include <vector>

#include "names/temporary_path.h"

namespace {

// The flags of those classes, from winbase.h.
constexpr DWORD kRenameReplaceIfExists = 0x1;   // FILE_RENAME_FLAG_REPLACE_IF_EXISTS
constexpr DWORD kRenamePosixSemantics = 0x2;    // FILE_RENAME_FLAG_POSIX_SEMANTICS
constexpr DWORD kDispositionDelete = 0x1;       // FILE_DISPOSITION_FLAG_DELETE
constexpr DWORD kDispositionIgnoreReadOnly = 0x10;  // ..._IGNORE_READONLY_ATTRIBUTE

// What a system or file system says of an information class it does not
// know: Windows before 10 and FAT give ERROR_INVALID_PARAMETER or
// ERROR_NOT_SUPPORTED, some redirectors ERROR_INVALID_FUNCTION; Wine 8 gives
// ERROR_INVALID_PARAMETER for both Ex classes.
bool IsClassRefused(DWORD error) {
  return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
         error == ERROR_INVALID_FUNCTION || error == ERROR_CALL_NOT_IMPLEMENTED;
}

// The rename takes a full NT path (Wine would read a bare name as one in
// its current folder, where Windows keeps the file's own).
DWORD NtTargetName(const std::wstring& target, std::wstring& name) {
  const DWORD needed = GetFullPathNameW(target.c_str(), 0, nullptr, nullptr);
  if (needed == 0) {
    const DWORD error = GetLastError();
    return error;
  }
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(target.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return ERROR_INVALID_NAME;
  full.resize(length);
  name = NtPathOf(full);
  return ERROR_SUCCESS;
}

DWORD Rename(HANDLE file, const std::wstring& name, FILE_INFO_BY_HANDLE_CLASS infoClass,
             DWORD flags, const CopyCalls& calls) {
  const std::size_t nameBytes = name.size() * sizeof(wchar_t);
  std::vector<BYTE> buffer(sizeof(FILE_RENAME_INFO) + nameBytes);
  auto* info = reinterpret_cast<FILE_RENAME_INFO*>(buffer.data());
  // The plain class reads a BOOLEAN ReplaceIfExists here, the Ex class a
  // DWORD of flags, in one union at the start of the same layout.
  *reinterpret_cast<DWORD*>(buffer.data()) = flags;
  info->RootDirectory = nullptr;
  info->FileNameLength = static_cast<DWORD>(nameBytes);
  name.copy(info->FileName, name.size());
  if (!calls.setFileInformationByHandle(file, infoClass, info,
                                        static_cast<DWORD>(buffer.size()))) {
    const DWORD error = GetLastError();
    return error;
  }
  return ERROR_SUCCESS;
}

}  // namespace

DWORD RenameOver(HANDLE file, const std::wstring& target, const CopyCalls& calls) {
  // Once refused, not asked again: an update's targets lie on one volume, as
  // a rule, and under Wine each refusal is a request to the wineserver. Where
  // a later volume would have offered it, the plain rename is still sound.
  static std::atomic<bool> posixRenameRefused{false};
  std::wstring name;
  if (const DWORD error = NtTargetName(target, name); error != ERROR_SUCCESS) return error;
  if (!posixRenameRefused) {
    const DWORD error = Rename(file, name, kFileRenameInfoEx,
                               kRenameReplaceIfExists | kRenamePosixSemantics, calls);
    if (!IsClassRefused(error)) return error;
    posixRenameRefused = true;
  }
  return Rename(file, name, FileRenameInfo, TRUE, calls);
}

DWORD DeleteWhenClosed(HANDLE file, const CopyCalls& calls) {
  FILE_DISPOSITION_INFO_EX ex{kDispositionDelete | kDispositionIgnoreReadOnly};
  if (calls.setFileInformationByHandle(file, kFileDispositionInfoEx, &ex, sizeof ex)) {
    return ERROR_SUCCESS;
  }
  // Before Windows 10 1809 a read-only file refuses the plain disposition.
  FILE_BASIC_INFO basic{};
  basic.FileAttributes = FILE_ATTRIBUTE_NORMAL;
  calls.setFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic);
  FILE_DISPOSITION_INFO plain{TRUE};
  if (!calls.setFileInformationByHandle(file, FileDispositionInfo, &plain, sizeof plain)) {
    const DWORD error = GetLastError();
    return error;
  }
  return ERROR_SUCCESS;
}
