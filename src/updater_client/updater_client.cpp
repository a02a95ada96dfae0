#include "updater_client/updater_client.h"

#include <cstdio>
#include <optional>

#include "names/text_conversions.h"

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace devidudi {
namespace {

// How many names a temporary file may try before the writer gives up: each
// one is taken by a file that already exists.
constexpr int kTemporaryNameAttempts = 100;

std::wstring CodePoint(wchar_t character) {
  wchar_t text[16];
  std::swprintf(text, 16, L"U+%04X", static_cast<unsigned>(character));
  return text;
}

// A message of the name rules (UTF-8) as the writer's wide reason.
std::wstring Reason(const std::string& utf8) {
  return Utf8ToWide(utf8).value_or(L"the path cannot go into a script");
}

// The text's script bytes, or why it has none: a script holds one byte a
// character.
std::optional<std::string> ScriptBytes(const std::wstring& text, std::wstring& reason) {
  std::optional<std::string> latin1 = WideToLatin1(text);
  if (!latin1) {
    for (const wchar_t character : text) {
      if (static_cast<unsigned long>(character) > 0xFF) {
        reason = CodePoint(character) + L" is not Latin-1; a script holds one byte a character";
        break;
      }
    }
  }
  return latin1;
}

std::wstring CheckPath(const std::wstring& path, CopyRole role) {
  std::wstring reason;
  const std::optional<std::string> latin1 = ScriptBytes(path, reason);
  if (!latin1) return reason;
  const PathProblem problem = FirstCopyPathProblem(*latin1, role);
  return problem ? Reason(problem.Detail) : std::wstring();
}

#ifdef _WIN32

std::error_code SystemError(DWORD error) {
  return std::error_code(static_cast<int>(error), std::system_category());
}

// Writes bytes into a file that did not exist before, and flushes them to the
// disk, so that the rename that follows never exposes a part of them.
DWORD WriteNewFile(const std::wstring& path, const std::string& bytes) {
  OwnedHandle file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.IsValid()) return GetLastError();
  DWORD written = 0;
  if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
      !FlushFileBuffers(file.Get())) {
    return GetLastError();
  }
  return written == bytes.size() ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

#else

std::error_code SystemError(int error) { return std::error_code(error, std::generic_category()); }

int WriteNewFile(const std::string& path, const std::string& bytes) {
  const int file = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file < 0) return errno;
  std::size_t done = 0;
  int error = 0;
  while (done < bytes.size() && error == 0) {
    const ssize_t written = write(file, bytes.data() + done, bytes.size() - done);
    if (written < 0 && errno != EINTR) error = errno;
    if (written > 0) done += static_cast<std::size_t>(written);
  }
  if (error == 0 && fsync(file) != 0) error = errno;
  if (close(file) != 0 && error == 0) error = errno;
  return error;
}

#endif

}  // namespace

std::wstring CheckCopyPath(const std::wstring& path) { return CheckPath(path, CopyRole::Source); }

std::wstring CheckCopyTarget(const std::wstring& path) { return CheckPath(path, CopyRole::Target); }

std::wstring CheckRunCommandLine(const std::wstring& commandLine) {
  if (commandLine.empty()) return L"the command line is empty";
  std::wstring reason;
  const std::optional<std::string> latin1 = ScriptBytes(commandLine, reason);
  if (!latin1) return reason;
  for (const char byte : *latin1) {
    if (static_cast<unsigned char>(byte) < 0x20 || IsC1Control(byte)) {
      return Reason(ByteInWords(byte) + " cannot stand in a script line");
    }
  }
  if (commandLine.size() > kMaxRunUnits) {
    return L"the command line is " + std::to_wstring(commandLine.size()) +
           L" units long; the updater starts " + std::to_wstring(kMaxRunUnits) + L" at most";
  }
  return {};
}

std::wstring UpdateScript::AddCopy(const std::wstring& source, const std::wstring& target) {
  if (std::wstring reason = CheckCopyPath(source); !reason.empty()) return L"source: " + reason;
  if (std::wstring reason = CheckCopyTarget(target); !reason.empty()) return L"target: " + reason;
  const std::string sourceBytes = *WideToLatin1(source);
  const std::string targetBytes = *WideToLatin1(target);
  if (SamePathForWindows(sourceBytes, targetBytes)) {
    return L"the target is the source itself: the copy would leave the file as it is";
  }
  bytes_ += "COP\t" + sourceBytes + '\t' + targetBytes + "\r\n";
  ++lines_;
  return {};
}

std::wstring UpdateScript::AddRun(const std::wstring& program, const std::wstring& arguments) {
  if (program.empty()) return L"the program path is empty";
  if (program.find(L'"') != std::wstring::npos) {
    return L"the program path holds a quote, which cannot be quoted";
  }
  return AddRunCommandLine(L"\"" + program + L"\"" + (arguments.empty() ? L"" : L" " + arguments));
}

std::wstring UpdateScript::AddRunCommandLine(const std::wstring& commandLine) {
  if (std::wstring reason = CheckRunCommandLine(commandLine); !reason.empty()) return reason;
  bytes_ += "RUN " + *WideToLatin1(commandLine) + "\r\n";
  ++lines_;
  return {};
}

#ifdef _WIN32

std::error_code UpdateScript::WriteTo(const std::filesystem::path& path) const {
  // Windows' MoveFileExW will not replace a read-only file; Wine's does. A
  // read-only script was made so on purpose, so it is left alone on both.
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
    return SystemError(ERROR_ACCESS_DENIED);
  }
  const std::wstring prefix = path.native() + L"." + std::to_wstring(GetCurrentProcessId()) + L".";
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::wstring temporary = prefix + std::to_wstring(attempt) + L".tmp";
    const DWORD error = WriteNewFile(temporary, bytes_);
    if (error == ERROR_FILE_EXISTS) continue;
    if (error == ERROR_SUCCESS && MoveFileExW(temporary.c_str(), path.c_str(),
                                              MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
      return {};
    }
    const DWORD failure = error != ERROR_SUCCESS ? error : GetLastError();
    DeleteFileW(temporary.c_str());
    return SystemError(failure);
  }
  return SystemError(ERROR_FILE_EXISTS);
}

std::wstring CheckLaunchScriptPath(const std::wstring& scriptPath) {
  if (scriptPath.empty()) return L"the script path is empty";
  if (scriptPath.find(L'\0') != std::wstring::npos) return L"the script path holds a NUL";
  if (scriptPath.front() <= L' ') {
    return L"the script path starts with a blank or control character, which the updater skips";
  }
  if (scriptPath.front() == L'"') {
    return L"the script path starts with a quote, which the updater keeps as part of the path";
  }
  return {};
}

std::wstring UpdaterCommandLine(const std::wstring& updaterPath, const std::wstring& scriptPath) {
  return L"\"" + updaterPath + L"\" " + scriptPath;
}

LaunchResult LaunchUpdater(const std::wstring& updaterPath, const std::wstring& scriptPath,
                           DWORD creationFlags) {
  LaunchResult result;
  if (updaterPath.empty() ||
      updaterPath.find_first_of(std::wstring(L"\"\0", 2)) != std::wstring::npos ||
      !CheckLaunchScriptPath(scriptPath).empty()) {
    result.Error = ERROR_BAD_PATHNAME;
    return result;
  }
  // CreateProcessW may write into the command line it is given.
  std::wstring commandLine = UpdaterCommandLine(updaterPath, scriptPath);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started{};
  if (!CreateProcessW(updaterPath.c_str(), commandLine.data(), nullptr, nullptr,
                      /*bInheritHandles=*/FALSE, creationFlags, nullptr, nullptr, &startup,
                      &started)) {
    result.Error = GetLastError();
    return result;
  }
  const OwnedHandle thread(started.hThread);
  result.Process.Reset(started.hProcess);
  result.ProcessId = started.dwProcessId;
  return result;
}

#else

std::error_code UpdateScript::WriteTo(const std::filesystem::path& path) const {
  const std::string prefix = path.native() + "." + std::to_string(getpid()) + ".";
  for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
    const std::string temporary = prefix + std::to_string(attempt) + ".tmp";
    const int error = WriteNewFile(temporary, bytes_);
    if (error == EEXIST) continue;
    if (error == 0 && std::rename(temporary.c_str(), path.c_str()) == 0) return {};
    const int failure = error != 0 ? error : errno;
    unlink(temporary.c_str());
    return SystemError(failure);
  }
  return SystemError(EEXIST);
}

#endif

}  // namespace devidudi
