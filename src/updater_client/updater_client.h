#pragma once
// What an application needs to hand an update to DeviDudi: a writer of update
// scripts that the updater reads exactly as they were meant, a launcher that
// starts devidudi.exe on one with the command line it expects, and
// CreateTargetFolders (target_folders.h), which creates the folders a
// script's copies need before the launch, for the updater creates none.
//
// A static library, devidudi_updater_client: link it, or compile its sources
// with the application's own, with the package's src folder on the include
// path: updater_client/updater_client.cpp, updater_client/target_folders.cpp,
// names/windows_names.cpp, names/text_conversions.cpp, script/widen_text.cpp,
// script/file_command.cpp and script/text_mode.cpp. The writer stands on
// the updater's own grammar (script/file_command.h) and on the one copy of
// Windows' name rules that lint checks scripts with (names/), so that a
// script it writes is one lint accepts. It builds on any platform
// (devidudi-script make writes its scripts with it); the launcher only for
// Windows.
//
// All text is wide. On Windows that is UTF-16; elsewhere std::wstring holds
// one code point per unit. Either way a script can carry Latin-1 alone
// (U+0000 to U+00FF), one byte per character.

#include <cstddef>
#include <filesystem>
#include <string>
#include <system_error>

#include "names/windows_names.h"
#include "script/file_command.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace devidudi {

// The updater copies and starts with the classic Win32 calls: a copy path
// longer than this is refused by Windows itself (unless it begins with the
// verbatim prefix), and a RUN command line must fit the updater's buffer,
// terminator included.
inline constexpr std::size_t kMaxCopyPathUnits = kMaxPathUnits - 1;
inline constexpr std::size_t kMaxRunUnits = kMaxCommandLineUnits;

// Why a copy's source cannot go into a script, or an empty text when it can.
// A copy path must be a full Windows path ("C:\..." or "\\server\share\..."),
// in Latin-1, without control characters (nor the C1 controls 0x80 to 0x9F,
// which lint takes for a script in the wrong encoding) or the characters
// Windows forbids in names, without a name that ends in a dot, a blank or a
// TAB or that is a device name (CON, NUL, COM1, COM¹, CONIN$, ...), and
// at most kMaxCopyPathUnits long: the rules of names/windows_names.h.
std::wstring CheckCopyPath(const std::wstring& path);
// The same for a target, which also must not name a folder: it must not end
// in a separator, nor in the name "." or "..". Nor may it hold "." or ".."
// before its last name, which Windows resolves to a file the script does not
// spell out.
std::wstring CheckCopyTarget(const std::wstring& path);

// Why a RUN command line cannot go into a script, or an empty text when it
// can: it must be Latin-1, without control characters (C0 or C1), and at
// most kMaxRunUnits long.
std::wstring CheckRunCommandLine(const std::wstring& commandLine);

// An update script being written, line by line, in the updater's grammar:
// "COP", TAB, source, TAB, target; "RUN", a space, the command line; each
// line ended by CR LF. Each Add returns an empty text when the line was
// added, and otherwise says why the format cannot carry it; nothing is added
// then, and the script stays as it was.
class UpdateScript {
 public:
  // Refuses a source or target that CheckCopyPath or CheckCopyTarget
  // refuses, and a target that is the source itself to Windows.
  std::wstring AddCopy(const std::wstring& source, const std::wstring& target);
  // A RUN of the program with its arguments: the program path is quoted here
  // (it must not hold a quote itself), the arguments go as they are.
  std::wstring AddRun(const std::wstring& program, const std::wstring& arguments);
  // A RUN of a command line exactly as given.
  std::wstring AddRunCommandLine(const std::wstring& commandLine);

  // The file's bytes: one byte per character, no byte-order mark.
  const std::string& Bytes() const { return bytes_; }
  std::size_t LineCount() const { return lines_; }

  // Writes Bytes() to the file at path, whole or not at all: into a new file
  // beside it, which then replaces it. Returns an empty error code when the
  // file holds the script; otherwise the system's error, with the file as it
  // was before and nothing else left behind.
  std::error_code WriteTo(const std::filesystem::path& path) const;

 private:
  std::string bytes_;
  std::size_t lines_ = 0;
};

#ifdef _WIN32

// Owns one kernel handle and closes it exactly once; move-only. (The updater
// has its own owner; this library does not depend on the updater's platform
// code.)
class OwnedHandle {
 public:
  OwnedHandle() = default;
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  OwnedHandle(OwnedHandle&& other) noexcept : handle_(other.Release()) {}
  OwnedHandle& operator=(OwnedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~OwnedHandle() { Reset(); }

  bool IsValid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    const HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  void Reset(HANDLE handle = nullptr) {
    if (IsValid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};

// Why the launcher would not pass this script path on, or an empty text when
// it would. The updater takes the rest of its command line after the program
// path, skipping the blanks and control characters before it and keeping
// quotes, so a path that starts with either would reach it changed; an empty
// path, or one with a NUL, would not reach it whole.
std::wstring CheckLaunchScriptPath(const std::wstring& scriptPath);

// The command line the updater expects: its path in quotes, one space, and
// the script path as it is (a quoted path names no file to the updater).
std::wstring UpdaterCommandLine(const std::wstring& updaterPath, const std::wstring& scriptPath);

struct LaunchResult {
  OwnedHandle Process;  // the started updater; not valid on failure
  DWORD ProcessId = 0;
  DWORD Error = ERROR_SUCCESS;  // ERROR_BAD_PATHNAME for a refused path
};

// Starts the updater at updaterPath (devidudi.exe) on the script, with no
// handles inherited and the caller's environment and current directory;
// creationFlags go to CreateProcessW as they are. The caller owns the process
// and need not wait for it: the updater's exit code says only whether it
// started its window.
LaunchResult LaunchUpdater(const std::wstring& updaterPath, const std::wstring& scriptPath,
                           DWORD creationFlags = 0);

#endif  // _WIN32

}  // namespace devidudi
