#include "e2e/toolkit_run.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "support/peer_process.h"

namespace {

// A tool run ends in well under a second; this bounds a broken one.
constexpr DWORD kToolWaitMs = 60000;

HANDLE InheritableOutput(const std::wstring& path) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  return CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

ToolkitRun RunToolkit(const TempFolder& folder, const std::wstring& arguments) {
  static std::atomic<unsigned> runs{0};
  // Scenario threads start tools at once: an inheritable handle that another
  // thread's tool inherited would keep this run's output open after it ends.
  // So the output files are inheritable only from their creation to the
  // start of their own tool.
  static std::mutex starting;
  const std::wstring name = L"toolkit-" + std::to_wstring(++runs);
  const std::wstring outPath = folder.File(name + L".out");
  const std::wstring errPath = folder.File(name + L".err");
  ToolkitRun run;
  HANDLE process = nullptr;
  {
    const std::lock_guard<std::mutex> lock(starting);
    const HANDLE out = InheritableOutput(outPath);
    const HANDLE err = InheritableOutput(errPath);
    if (out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
      std::wstring commandLine = Quoted(HelperPath(L"devidudi-script.exe")) + L" " + arguments;
      STARTUPINFOW startup{};
      startup.cb = sizeof startup;
      startup.dwFlags = STARTF_USESTDHANDLES;
      startup.hStdInput = nullptr;
      startup.hStdOutput = out;
      startup.hStdError = err;
      PROCESS_INFORMATION started{};
      if (CreateProcessOnceMore(commandLine, TRUE, CREATE_NO_WINDOW, startup, started)) {
        CloseHandle(started.hThread);
        process = started.hProcess;
      } else {
        run.err = "could not start devidudi-script.exe: error " + std::to_string(GetLastError());
      }
    }
    if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
    if (err != INVALID_HANDLE_VALUE) CloseHandle(err);
  }
  if (process != nullptr) {
    WaitForSingleObject(process, kToolWaitMs);
    GetExitCodeProcess(process, &run.exitCode);
    CloseHandle(process);
  }
  if (process == nullptr) return run;
  run.out = FileExists(outPath) ? ReadBytes(outPath) : std::string();
  run.err = FileExists(errPath) ? ReadBytes(errPath) : std::string();
  return run;
}

std::wstring WideFromUtf8(const std::string& utf8) {
  if (utf8.empty()) return L"";
  const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()),
                                        nullptr, 0);
  std::wstring wide(units > 0 ? units : 0, L'\0');
  if (units > 0) {
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        units);
  }
  return wide;
}

std::string Utf8(const std::wstring& wide) {
  if (wide.empty()) return {};
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                        nullptr, 0, nullptr, nullptr);
  std::string utf8(bytes > 0 ? bytes : 0, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), bytes,
                      nullptr, nullptr);
  return utf8;
}

void PlaceRecorder(const std::wstring& path) {
  CopyFileW(HelperPath(L"record_command_line.exe").c_str(), path.c_str(), FALSE);
}

std::vector<std::wstring> RecordedCommandLines(const std::wstring& recorderPath) {
  const std::wstring recordPath = recorderPath + L".record.txt";
  std::vector<std::wstring> lines;
  if (!FileExists(recordPath)) return lines;
  const std::string bytes = ReadBytes(recordPath);
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2);
  std::size_t start = 0;
  for (std::size_t end = text.find(L'\n'); end != std::wstring::npos;
       end = text.find(L'\n', start)) {
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return lines;
}
