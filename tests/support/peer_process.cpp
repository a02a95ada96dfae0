#include "support/peer_process.h"

#include <atomic>
#include <stdexcept>
#include <vector>

#include "support/test_files.h"

namespace {

[[noreturn]] void Fail(const std::string& message) {
  throw std::runtime_error(message + ", error " + std::to_string(GetLastError()));
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

}  // namespace

std::wstring ProgramFolder() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length = GetModuleFileNameW(nullptr, buffer.data(),
                                          static_cast<DWORD>(buffer.size()));
  std::wstring path(buffer.data(), length);
  return path.substr(0, path.find_last_of(L'\\'));
}

std::wstring HelperPath(const std::wstring& programName) {
  return ProgramFolder() + L"\\" + programName;
}

bool InUse(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return true;
  CloseHandle(file);
  return false;
}

NamedEvent::NamedEvent() {
  static std::atomic<unsigned> counter{0};
  name_ = L"Local\\devidudi-test-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
          std::to_wstring(counter++);
  handle_ = CreateEventW(nullptr, TRUE, FALSE, name_.c_str());
  if (handle_ == nullptr) Fail("CreateEventW");
}

NamedEvent::~NamedEvent() { CloseHandle(handle_); }

bool CreateProcessOnceMore(std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                           STARTUPINFOW& startup, PROCESS_INFORMATION& started) {
  // CreateProcessW may write into the command line, so each try gets the
  // text as it was given.
  const std::wstring given = commandLine;
  for (int attempt = 0; attempt < 2; ++attempt) {
    if (attempt > 0) Sleep(1000);
    commandLine = given;
    if (CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, inheritHandles, flags,
                       nullptr, nullptr, &startup, &started)) {
      return true;
    }
  }
  return false;
}

StartedProcess::StartedProcess(const std::wstring& commandLine) {
  std::wstring writable = commandLine;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessOnceMore(writable, FALSE, 0, startup, info)) {
    Fail("CreateProcessW " + Narrow(commandLine));
  }
  CloseHandle(info.hThread);
  process_ = info.hProcess;
}

StartedProcess::~StartedProcess() {
  if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) TerminateProcess(process_, 1);
  CloseHandle(process_);
}

DWORD StartedProcess::WaitForExit(DWORD timeoutMs) const {
  if (WaitForSingleObject(process_, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

FileHolder::FileHolder(const std::wstring& path, const wchar_t* access, const wchar_t* share,
                       DWORD holdMs) {
  process_ = std::make_unique<StartedProcess>(
      Quoted(HelperPath(L"hold_file.exe")) + L" " + access + L" " + share + L" " + Quoted(path) +
      L" " + ready_.Name() + L" " + stop_.Name() + L" " + std::to_wstring(GetCurrentProcessId()) +
      (holdMs != 0 ? L" " + std::to_wstring(holdMs) : std::wstring()));
  const HANDLE waits[] = {ready_.Get(), process_->Handle()};
  if (WaitForMultipleObjects(2, waits, FALSE, kPeerWaitMs) != WAIT_OBJECT_0) {
    Release();
    throw std::runtime_error("hold_file could not open " + Narrow(path));
  }
}

void FileHolder::Release() {
  if (process_ == nullptr) return;
  stop_.Set();
  process_->WaitForExit();
  process_.reset();
}

RunningProgram::RunningProgram(const std::wstring& imagePath) : image_(imagePath) {
  if (!CopyFileW(HelperPath(L"keep_running.exe").c_str(), image_.c_str(), FALSE)) {
    Fail("CopyFileW keep_running.exe to " + Narrow(image_));
  }
}

std::wstring RunningProgram::CommandLine() const {
  return Quoted(image_) + L" " + ready_.Name() + L" " + stop_.Name() + L" " +
         std::to_wstring(GetCurrentProcessId());
}

void RunningProgram::Start() { process_ = std::make_unique<StartedProcess>(CommandLine()); }

bool RunningProgram::WaitUntilRunning(DWORD timeoutMs) const {
  return WaitForSingleObject(ready_.Get(), timeoutMs) == WAIT_OBJECT_0;
}

void RunningProgram::Stop() {
  stop_.Set();
  if (process_ != nullptr) {
    process_->WaitForExit();
    process_.reset();
  }
  // Started by someone else, the program is known only by its image, which
  // stays in use until the process has gone.
  for (DWORD waited = 0; waited < kPeerWaitMs && InUse(image_); waited += 20) {
    Sleep(20);
  }
}
