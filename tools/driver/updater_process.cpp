#include "driver/updater_process.h"

#include <vector>

#include "updater_client/updater_client.h"

namespace {

constexpr DWORD kStartRetryMs = 1000;
constexpr DWORD kTrapFlag = 0x100;
constexpr BYTE kInt3 = 0xCC;

#ifdef _WIN64
ULONG_PTR& InstructionPointer(CONTEXT& context) {
  return reinterpret_cast<ULONG_PTR&>(context.Rip);
}
ULONG_PTR& StackPointer(CONTEXT& context) { return reinterpret_cast<ULONG_PTR&>(context.Rsp); }
ULONG_PTR& ResultRegister(CONTEXT& context) { return reinterpret_cast<ULONG_PTR&>(context.Rax); }
#else
ULONG_PTR& InstructionPointer(CONTEXT& context) {
  return reinterpret_cast<ULONG_PTR&>(context.Eip);
}
ULONG_PTR& StackPointer(CONTEXT& context) { return reinterpret_cast<ULONG_PTR&>(context.Esp); }
ULONG_PTR& ResultRegister(CONTEXT& context) { return reinterpret_cast<ULONG_PTR&>(context.Eax); }
#endif

// System DLLs lie at the same address in every process (per boot on Windows,
// always under Wine), so an export found here is the one the program calls.
BYTE* SystemFunction(const char* name) {
  if (name == nullptr) return nullptr;
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

void UpdaterProcess::Arrange(const CallMatch& hold, const CallMatch& fail) {
  exited_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  held_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  releaseHold_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  startAttempted_ = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  hold_.match = hold;
  hold_.address = SystemFunction(hold.function);
  fail_.match = fail;
  fail_.address = SystemFunction(fail.function);
  sleep_.match.function = "Sleep";
  sleep_.address = SystemFunction("Sleep");
}

UpdaterProcess::UpdaterProcess(const Launch& launch, const CallMatch& hold,
                               const CallMatch& fail, ULONG_PTR failResult)
    : failResult_(failResult) {
  Arrange(hold, fail);
  const std::wstring program = launch.program.empty() ? ProgramPath() : launch.program;
  std::wstring commandLine = L"\"" + program + L"\"" + launch.rawTail;
  const std::wstring currentDirectory = launch.currentDirectory;
  const std::optional<WORD> showCommand = launch.showCommand;
  debugger_ = std::thread(&UpdaterProcess::DebugLoop, this, [=](Debuggee& started) mutable {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (showCommand) {
      startup.dwFlags = STARTF_USESHOWWINDOW;
      startup.wShowWindow = *showCommand;
    }
    PROCESS_INFORMATION info{};
    auto create = [&] {
      return CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE,
                            DEBUG_ONLY_THIS_PROCESS, nullptr,
                            currentDirectory.empty() ? nullptr : currentDirectory.c_str(),
                            &startup, &info);
    };
    // Under Wine, with a dozen debugged programs starting at once on a busy
    // machine, a start has been seen to fail once and work when tried again.
    if (!create()) {
      Sleep(kStartRetryMs);
      if (!create()) return false;
    }
    started = Debuggee{info.hProcess, info.hThread, info.dwProcessId, info.dwThreadId};
    return true;
  });
  // A start attempt always ends; on a busy machine it may take long.
  WaitForSingleObject(startAttempted_, INFINITE);
}

UpdaterProcess::UpdaterProcess(const LaunchThroughLibrary& launch, const CallMatch& hold,
                               const CallMatch& fail, ULONG_PTR failResult)
    : failResult_(failResult) {
  Arrange(hold, fail);
  const std::wstring scriptPath = launch.scriptPath;
  debugger_ = std::thread(&UpdaterProcess::DebugLoop, this, [scriptPath](Debuggee& started) {
    devidudi::LaunchResult launched =
        devidudi::LaunchUpdater(ProgramPath(), scriptPath, DEBUG_ONLY_THIS_PROCESS);
    if (!launched.Process.IsValid()) {
      SetLastError(launched.Error);
      return false;
    }
    // The launcher closed its handle to the main thread; the debug loop
    // takes the one its first debug event brings.
    started = Debuggee{launched.Process.Release(), nullptr, launched.ProcessId, 0};
    return true;
  });
  // A start attempt always ends; on a busy machine it may take long.
  WaitForSingleObject(startAttempted_, INFINITE);
}

UpdaterProcess::~UpdaterProcess() {
  if (WaitForExit(0) == STILL_ACTIVE && process_ != nullptr) TerminateProcess(process_, 1);
  SetEvent(releaseHold_);
  debugger_.join();
  if (process_ != nullptr) CloseHandle(process_);
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

UpdaterProcess::Breakpoint* UpdaterProcess::BreakpointAt(const void* address) {
  for (Breakpoint* breakpoint : {&hold_, &fail_, &sleep_}) {
    if (breakpoint->address != nullptr && breakpoint->address == address) return breakpoint;
  }
  return nullptr;
}

void UpdaterProcess::Arm(Breakpoint& breakpoint) {
  if (breakpoint.address == nullptr || breakpoint.done) return;
  SIZE_T done = 0;
  if (!ReadProcessMemory(process_, breakpoint.address, &breakpoint.original, 1, &done)) return;
  WriteProcessMemory(process_, breakpoint.address, &kInt3, 1, &done);
  FlushInstructionCache(process_, breakpoint.address, 1);
}

void UpdaterProcess::Disarm(Breakpoint& breakpoint) {
  SIZE_T done = 0;
  WriteProcessMemory(process_, breakpoint.address, &breakpoint.original, 1, &done);
  FlushInstructionCache(process_, breakpoint.address, 1);
}

// The index-th argument of a call that stands at the function's entry.
ULONG_PTR UpdaterProcess::Argument(const CONTEXT& context, int index) {
#ifdef _WIN64
  switch (index) {
    case 0: return context.Rcx;
    case 1: return context.Rdx;
    case 2: return context.R8;
    case 3: return context.R9;
  }
  const ULONG_PTR slot = context.Rsp + 8 * (index + 1);  // past the return address
#else
  const ULONG_PTR slot = context.Esp + 4 * (index + 1);
#endif
  ULONG_PTR value = 0;
  SIZE_T read = 0;
  ReadProcessMemory(process_, reinterpret_cast<void*>(slot), &value, sizeof value, &read);
  return value;
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

bool UpdaterProcess::Matches(const Breakpoint& breakpoint, const CONTEXT& context) {
  const ULONG_PTR argument = Argument(context, breakpoint.match.argument);
  return _wcsicmp(ReadWideString(argument).c_str(), breakpoint.match.text.c_str()) == 0;
}

void UpdaterProcess::OnBreakpoint(const DEBUG_EVENT& event, Breakpoint& breakpoint) {
  const HANDLE thread = threads_[event.dwThreadId];
  CONTEXT context{};
  context.ContextFlags = CONTEXT_FULL;
  GetThreadContext(thread, &context);
  // Windows reports the int3's own address, Wine the one after it.
  InstructionPointer(context) =
      reinterpret_cast<ULONG_PTR>(event.u.Exception.ExceptionRecord.ExceptionAddress);
  Disarm(breakpoint);

  if (&breakpoint == &sleep_) {
    const std::lock_guard<std::mutex> lock(countsLock_);
    ++sleepCalls_[static_cast<DWORD>(Argument(context, 0))];
  } else if (Matches(breakpoint, context)) {
    breakpoint.done = true;
  }

  if (breakpoint.done && &breakpoint == &hold_) {
    // Only the worker stops; the window's thread goes on answering.
    SuspendThread(thread);
    heldThread_ = event.dwThreadId;
    SetEvent(held_);
  } else if (breakpoint.done && &breakpoint == &fail_) {
    // Return to the caller at once, as if the function had failed. Only
    // 64-bit calls are undone this way: their arguments need no popping.
    ULONG_PTR returnAddress = 0;
    SIZE_T read = 0;
    ReadProcessMemory(process_, reinterpret_cast<void*>(StackPointer(context)), &returnAddress,
                      sizeof returnAddress, &read);
    InstructionPointer(context) = returnAddress;
    StackPointer(context) += sizeof returnAddress;
    ResultRegister(context) = failResult_;
    failedTheCall_ = true;
  } else {
    // Step over the original instruction, then put the breakpoint back.
    context.EFlags |= kTrapFlag;
    rearmAfterStep_[event.dwThreadId] = &breakpoint;
  }
  SetThreadContext(thread, &context);
}

void UpdaterProcess::DebugLoop(Starter start) {
  Debuggee info;
  if (!start(info)) {
    startError_ = GetLastError();
    SetEvent(startAttempted_);
    SetEvent(exited_);
    return;
  }
  process_ = info.process;
  processId_ = info.processId;
  if (info.mainThread != nullptr) threads_[info.mainThreadId] = info.mainThread;
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
        // Only when the start gave no handle of its own to the main thread.
        threads_.emplace(event.dwThreadId, event.u.CreateProcessInfo.hThread);
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
        Breakpoint* const ours = BreakpointAt(record.ExceptionAddress);
        if (record.ExceptionCode == EXCEPTION_BREAKPOINT && ours != nullptr) {
          OnBreakpoint(event, *ours);
        } else if (record.ExceptionCode == EXCEPTION_BREAKPOINT && !loaderBreakpointSeen_) {
          // The loader's own breakpoint: the system DLLs are in, so arm ours.
          loaderBreakpointSeen_ = true;
          for (Breakpoint* breakpoint : {&hold_, &fail_, &sleep_}) Arm(*breakpoint);
        } else if (record.ExceptionCode == EXCEPTION_SINGLE_STEP &&
                   rearmAfterStep_.count(event.dwThreadId) != 0) {
          Arm(*rearmAfterStep_[event.dwThreadId]);
          rearmAfterStep_.erase(event.dwThreadId);
        } else {
          if (!event.u.Exception.dwFirstChance) crashed_ = true;
          status = DBG_EXCEPTION_NOT_HANDLED;
        }
        break;
      }
      case EXIT_PROCESS_DEBUG_EVENT:
        exitCode_ = event.u.ExitProcess.dwExitCode;
        ContinueDebugEvent(event.dwProcessId, event.dwThreadId, DBG_CONTINUE);
        if (info.mainThread != nullptr) CloseHandle(info.mainThread);
        SetEvent(exited_);
        return;
      default:
        break;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
}
