#include "checks/blocked_folder.h"

#include <windows.h>

#include <set>

#include "names/temporary_path.h"
#include "names/windows_names.h"
#include "platform/full_path.h"
#include "platform/scoped_handle.h"
#include "script/widen_text.h"

FolderAccess ProbeTargetFolder(const std::wstring& probePath) {
  // The access the copy's temporary file is created with.
  constexpr DWORD kCopyAccess = GENERIC_WRITE | DELETE | WRITE_DAC | READ_CONTROL;
  {
    const ScopedHandle probe(CreateFileW(probePath.c_str(), kCopyAccess, 0, nullptr, CREATE_NEW,
                                         FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE,
                                         nullptr));
    if (probe.IsValid()) return {true, true};
  }
  if (GetLastError() == ERROR_FILE_EXISTS) {
    const ScopedHandle leftover(CreateFileW(probePath.c_str(), kCopyAccess, 0, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (leftover.IsValid()) return {true, true};
  }
  // Refused with DELETE: either no file may be made here, or one may be made
  // but not deleted, which only a plain creation tells apart.
  ScopedHandle plain(CreateFileW(probePath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!plain.IsValid()) return {false, false};
  plain.Reset();
  return {true, DeleteFileW(probePath.c_str()) != FALSE};
}

std::optional<BlockedFolder> FindBlockedFolderIn(const std::vector<FileCommand>& commands,
                                                 const FolderProbeTest& probe) {
  std::set<std::wstring> probed;  // folded, as Windows compares names
  for (const FileCommand& command : commands) {
    if (command.Kind != CommandKind::Copy || command.Arguments.size() != 2) continue;
    const std::optional<std::wstring> target = WidenForSystem(command.Arguments[1]);
    if (!target || target->empty()) continue;
    const std::optional<std::wstring> temporary = TemporaryPathFor(*target);
    if (!temporary) continue;
    // The probe's own full path: it lies in the target's folder. A device
    // name ("nul.txt") leads to no folder at all: the copy itself fails.
    const std::optional<std::wstring> full = FullPathOf(*temporary);
    if (!full || full->rfind(L"\\\\.\\", 0) == 0) continue;
    const std::size_t lastBackslash = full->rfind(L'\\');
    if (lastBackslash == std::wstring::npos) continue;
    const std::wstring folder = full->substr(0, lastBackslash);
    if (!probed.insert(FoldWideName(folder)).second) continue;
    const FolderAccess access = probe(*temporary);
    if (!access.Writable || !access.Deletable) return BlockedFolder{folder, access};
  }
  return std::nullopt;
}

std::optional<BlockedFolder> FindBlockedFolder(const std::vector<FileCommand>& commands) {
  return FindBlockedFolderIn(commands, ProbeTargetFolder);
}
