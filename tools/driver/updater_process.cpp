#include "driver/updater_process.h"

#include <vector>


namespace {

constexpr DWORD kStartWaitMs = 30000;
constexpr DWORD kTrapFlag = 0x100;
constexpr BYTE kInt3 = 0xCC;

// The first argument of the call that hit a breakpoint at a function's entry.
ULONG_PTR FirstArgument(HANDLE process, const CONTEXT& context) {
#ifdef _WIN64
  (void)process;
  return context.Rcx;
#else
  ULONG_PTR argument = 0;
  SIZE_T read = 0;
  ReadProcessMemory(process, reinterpret_cast<void*>(context.Esp + 4), &argument,
                    sizeof argument, &read);
  return argument;
#endif
}

ULONG_PTR& InstructionPointer(CONTEXT& context) {
#ifdef _WIN64
  return reinterpret_cast<ULONG_PTR&>(context.Rip);
#else
  return reinterpret_cast<ULONG_PTR&>(context.Eip);
#endif
}

// System DLLs lie at the same address in every process (per boot on Windows,
// always under Wine), so an export found here is the one the program calls.
BYTE* SystemFunction(const char* name) {
  return reinterpret_cast<BYTE*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), name));
}

}  // namespace

std::wstring UpdaterProcess::ProgramPath() {
  std::vector<wchar_t> buffer(32768);
  const DWORD length =
      GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
  const std::wstring self(buffer.data(), length);
  return self.substr(0, self.find_last_of(L'\\') + 1) + L"devidudi.exe";
}

UpdaterProcess::UpdaterProcess(const std::wstring& rawTail, const HoldPoint& hold)
    : hold_(hold) {
  exited_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  held_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  releaseHold_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  startAttempted_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  if (hold_.function != nullptr) holdCall_.address = SystemFunction(hold_.function);
  sleep_.address = SystemFunction("Sleep");
  debugger_ = std::thread(&UpdaterProcess::DebugLoop, this,
                          L"\"" + ProgramPath() + L"\"" + rawTail);
  WaitForSingleObject(startAttempted_, kStartWaitMs);
}

UpdaterProcess::~UpdaterProcess() {
  if (WaitForExit(0) == STILL_ACTIVE && process_ != nullptr) TerminateProcess(process_, 1);
  SetEvent(releaseHold_);
  debugger_.join();
  for (HANDLE event : {exited_, held_, releaseHold_, startAttempted_}) CloseHandle(event);
}

DWORD UpdaterProcess::WaitForExit(DWORD timeoutMs) {
  if (!started_) return STILL_ACTIVE;
  WaitForSingleObject(exited_, timeoutMs);
  return exitCode_;
}

bool UpdaterProcess::WaitUntilHeld(DWORD timeoutMs) {
  const HANDLE waits[] = {held_, exited_};
  return WaitForMultipleObjects(2, waits, FALSE, timeoutMs) == WAIT_OBJECT_0;
}

void UpdaterProcess::ReleaseHold() { SetEvent(releaseHold_); }

int UpdaterProcess::SleepCalls(DWORD milliseconds) {
  const std::lock_guard<std::mutex> lock(countsLock_);
  return sleepCalls_[milliseconds];
}

void UpdaterProcess::Arm(Breakpoint& breakpoint) {
  SIZE_T done = 0;
  if (!ReadProcessMemory(process_, breakpoint.address, &breakpoint.original, 1, &done)) return;
  breakpoint.armed = WriteProcessMemory(process_, breakpoint.address, &kInt3, 1, &done);
  FlushInstructionCache(process_, breakpoint.address, 1);
}

void UpdaterProcess::Disarm(Breakpoint& breakpoint) {
  SIZE_T done = 0;
  WriteProcessMemory(process_, breakpoint.address, &breakpoint.original, 1, &done);
  FlushInstructionCache(process_, breakpoint.address, 1);
  breakpoint.armed = false;
}

std::wstring UpdaterProcess::ReadWideString(ULONG_PTR address) {
  std::wstring text;
  wchar_t unit = 0;
  SIZE_T read = 0;
  while (text.size() < 32768 &&
         ReadProcessMemory(process_, reinterpret_cast<void*>(address + text.size() * 2), &unit,
                           sizeof unit, &read) &&
         unit != L'\0') {
    text += unit;
  }
  return text;
}

void UpdaterProcess::OnBreakpoint(const DEBUG_EVENT& event) {
  const HANDLE thread = threads_[event.dwThreadId];
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  GetThreadContext(thread, &context);
  // Windows reports the int3's own address, Wine the one after it.
  ULONG_PTR& ip = InstructionPointer(context);
  const ULONG_PTR hit =
      reinterpret_cast<ULONG_PTR>(event.u.Exception.ExceptionRecord.ExceptionAddress);
  ip = hit;

  Breakpoint& breakpoint =
      hit == reinterpret_cast<ULONG_PTR>(sleep_.address) ? sleep_ : holdCall_;
  const ULONG_PTR argument = FirstArgument(process_, context);
  Disarm(breakpoint);
  if (&breakpoint == &sleep_) {
    const std::lock_guard<std::mutex> lock(countsLock_);
    ++sleepCalls_[static_cast<DWORD>(argument)];
  }
  if (&breakpoint == &holdCall_ &&
      _wcsicmp(ReadWideString(argument).c_str(), hold_.path.c_str()) == 0) {
    // Only the worker stops; the window's thread goes on answering.
    SuspendThread(thread);
    heldThread_ = event.dwThreadId;
    SetEvent(held_);
  } else {
    // Step over the original instruction, then put the breakpoint back.
    context.EFlags |= kTrapFlag;
    rearmAfterStep_ = &breakpoint;
  }
  SetThreadContext(thread, &context);
}

void UpdaterProcess::DebugLoop(std::wstring commandLine) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                      DEBUG_ONLY_THIS_PROCESS, nullptr, nullptr, &startup, &info)) {
    SetEvent(startAttempted_);
    SetEvent(exited_);
    return;
  }
  process_ = info.hProcess;
  processId_ = info.dwProcessId;
  threads_[info.dwThreadId] = info.hThread;
  started_ = true;
  SetEvent(startAttempted_);

  for (;;) {
    if (heldThread_ != 0 && WaitForSingleObject(releaseHold_, 0) == WAIT_OBJECT_0) {
      ResumeThread(threads_[heldThread_]);
      heldThread_ = 0;
    }
    DEBUG_EVENT event{};
    if (!WaitForDebugEvent(&event, 50)) continue;
    DWORD status = DBG_CONTINUE;
    switch (event.dwDebugEventCode) {
      case CREATE_PROCESS_DEBUG_EVENT:
        if (event.u.CreateProcessInfo.hFile) CloseHandle(event.u.CreateProcessInfo.hFile);
        break;
      case LOAD_DLL_DEBUG_EVENT:
        if (event.u.LoadDll.hFile) CloseHandle(event.u.LoadDll.hFile);
        break;
      case CREATE_THREAD_DEBUG_EVENT:
        threads_[event.dwThreadId] = event.u.CreateThread.hThread;
        break;
      case EXIT_THREAD_DEBUG_EVENT:
        threads_.erase(event.dwThreadId);
        break;
      case EXCEPTION_DEBUG_EVENT: {
        const EXCEPTION_RECORD& record = event.u.Exception.ExceptionRecord;
        const auto at = static_cast<BYTE*>(record.ExceptionAddress);
        if (record.ExceptionCode == EXCEPTION_BREAKPOINT && !loaderBreakpointSeen_ &&
            at != holdCall_.address && at != sleep_.address) {
          // The loader's own breakpoint: the system DLLs are in, so arm ours.
          loaderBreakpointSeen_ = true;
          if (holdCall_.address != nullptr) Arm(holdCall_);
          Arm(sleep_);
        } else if (record.ExceptionCode == EXCEPTION_BREAKPOINT &&
                   (at == holdCall_.address || at == sleep_.address)) {
          OnBreakpoint(event);
        } else if (record.ExceptionCode == EXCEPTION_SINGLE_STEP && rearmAfterStep_ != nullptr) {
          Arm(*rearmAfterStep_);
          rearmAfterStep_ = nullptr;
        } else {
          if (!event.u.Exception.dwFirstChance) crashed_ = true;
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        exitCode_ = event.u.ExitProcess.dwExitCode;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        CloseHandle(info.hThread);
        SetEvent(exited_);
        return;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
}
