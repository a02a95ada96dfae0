#include "updater_client.h"

#include <cstdio>
#include <cwchar>

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

// Every character must be one byte in the file and no byte the updater's
// reading treats specially: LF ends a line, CR before LF vanishes, 0x1A ends
// the data, NUL cuts a system call's text short, TAB splits a copy.
std::wstring CheckCharacters(const std::wstring& text) {
  for (const wchar_t character : text) {
    if (static_cast<unsigned long>(character) > 0xFF) {
      return CodePoint(character) + L" is not Latin-1; a script holds one byte a character";
    }
    if (character < L' ') {
      const wchar_t* const name = character == L'\t'   ? L" (TAB)"
                                  : character == L'\r' ? L" (CR)"
                                  : character == L'\n' ? L" (LF)"
                                  : character == L'\0' ? L" (NUL)"
                                                       : L"";
      return L"the control character " + CodePoint(character) + name +
             L" cannot stand in a script line";
    }
  }
  return {};
}

bool IsSeparator(wchar_t character) { return character == L'\\' || character == L'/'; }

bool IsAsciiLetter(wchar_t character) {
  return (character >= L'A' && character <= L'Z') || (character >= L'a' && character <= L'z');
}

wchar_t AsciiUpper(wchar_t character) {
  return character >= L'a' && character <= L'z' ? character - (L'a' - L'A') : character;
}

// Where the names of a full path begin, after "C:\" or "\\server\share\", or
// 0 when the path is not a full one.
std::size_t FirstNameIndex(const std::wstring& path) {
  if (path.size() >= 3 && IsAsciiLetter(path[0]) && path[1] == L':' && IsSeparator(path[2])) {
    return 3;
  }
  if (path.size() >= 5 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2])) {
    const std::size_t shareStart = path.find_first_of(L"\\/", 2) + 1;
    if (shareStart == 0 || shareStart >= path.size() || IsSeparator(path[shareStart])) return 0;
    return 2;  // the server's name is checked as a name too
  }
  return 0;
}

// Windows opens these device names in every folder, with any extension.
bool IsDeviceName(const std::wstring& name) {
  std::wstring stem = name.substr(0, name.find(L'.'));
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (wchar_t& character : stem) character = AsciiUpper(character);
  if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL") return true;
  return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
         stem[3] >= L'1' && stem[3] <= L'9';
}

std::wstring CheckName(const std::wstring& name) {
  if (name.empty() || name == L"." || name == L"..") return {};
  for (const wchar_t character : name) {
    if (std::wcschr(L"<>:\"|?*", character) != nullptr) {
      return L"the name \"" + name + L"\" holds '" + std::wstring(1, character) +
             L"', which Windows forbids in names";
    }
  }
  if (name.back() == L'.' || name.back() == L' ') {
    return L"the name \"" + name + L"\" ends in a dot or a space, which Windows drops";
  }
  if (IsDeviceName(name)) {
    return L"the name \"" + name + L"\" is a Windows device name";
  }
  return {};
}

void AppendLatin1(std::string& bytes, const std::wstring& text) {
  for (const wchar_t character : text) bytes.push_back(static_cast<char>(character));
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

std::wstring CheckCopyPath(const std::wstring& path) {
  if (path.empty()) return L"the path is empty";
  if (std::wstring reason = CheckCharacters(path); !reason.empty()) return reason;
  const std::size_t firstName = FirstNameIndex(path);
  if (firstName == 0) {
    return L"\"" + path + L"\" is not a full path (C:\\... or \\\\server\\share\\...)";
  }
  std::size_t start = firstName;
  while (start <= path.size()) {
    std::size_t end = start;
    while (end < path.size() && !IsSeparator(path[end])) ++end;
    if (std::wstring reason = CheckName(path.substr(start, end - start)); !reason.empty()) {
      return reason;
    }
    start = end + 1;
  }
  if (path.size() > kMaxCopyPathUnits) {
    return L"the path is " + std::to_wstring(path.size()) + L" units long; Windows copies " +
           std::to_wstring(kMaxCopyPathUnits) + L" at most";
  }
  return {};
}

std::wstring CheckRunCommandLine(const std::wstring& commandLine) {
  if (commandLine.empty()) return L"the command line is empty";
  if (std::wstring reason = CheckCharacters(commandLine); !reason.empty()) return reason;
  if (commandLine.size() > kMaxRunUnits) {
    return L"the command line is " + std::to_wstring(commandLine.size()) +
           L" units long; the updater starts " + std::to_wstring(kMaxRunUnits) + L" at most";
  }
  return {};
}

std::wstring UpdateScript::AddCopy(const std::wstring& source, const std::wstring& target) {
  if (std::wstring reason = CheckCopyPath(source); !reason.empty()) return L"source: " + reason;
  if (std::wstring reason = CheckCopyPath(target); !reason.empty()) return L"target: " + reason;
  bytes_ += "COP\t";
  AppendLatin1(bytes_, source);
  bytes_ += '\t';
  AppendLatin1(bytes_, target);
  bytes_ += "\r\n";
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
  bytes_ += "RUN ";
  AppendLatin1(bytes_, commandLine);
  bytes_ += "\r\n";
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
