#pragma once
// Runs the real devidudi.exe as its debugger, for the end-to-end tests and the
// demo. Being the debugger lets them stop the update at an exact point
// instead of racing it: the worker is held right before a chosen call (say,
// the deletion of the script, when the window shows what the run last set),
// and calls to Sleep are counted.

#include <windows.h>

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>

// A call before which the update is held: a kernel32 function that takes a
// path first (DeleteFileW, CopyFileW), called with this path.
struct HoldPoint {
  const char* function = nullptr;
  std::wstring path;
};

class UpdaterProcess {
 public:
  // Starts devidudi.exe, found beside the running program, with a command
  // line of its quoted path followed by rawTail exactly (nothing added: pass
  // " C:\x" for one argument). A hold point without a function holds nothing.
  UpdaterProcess(const std::wstring& rawTail, const HoldPoint& hold);
  UpdaterProcess(const UpdaterProcess&) = delete;
  UpdaterProcess& operator=(const UpdaterProcess&) = delete;
  ~UpdaterProcess();

  static std::wstring ProgramPath();

  // False when the program could not be started at all.
  bool Started() const { return started_; }
  DWORD ProcessId() const { return processId_; }
  HANDLE Handle() const { return process_; }

  // The exit code, or STILL_ACTIVE if it had not ended within timeoutMs.
  DWORD WaitForExit(DWORD timeoutMs);

  // Waits until the worker stands right before the hold point; the window
  // still answers while it stands there.
  bool WaitUntilHeld(DWORD timeoutMs);
  void ReleaseHold();

  // How often the program called Sleep with this many milliseconds so far.
  int SleepCalls(DWORD milliseconds);
  // True when an exception went unhandled in the program (a crash).
  bool Crashed() const { return crashed_; }

 private:
  struct Breakpoint {
    BYTE* address = nullptr;
    BYTE original = 0;
    bool armed = false;
  };

  void DebugLoop(std::wstring commandLine);
  void OnBreakpoint(const DEBUG_EVENT& event);
  void Arm(Breakpoint& breakpoint);
  void Disarm(Breakpoint& breakpoint);
  std::wstring ReadWideString(ULONG_PTR address);

  HoldPoint hold_;
  std::thread debugger_;
  HANDLE process_ = nullptr;
  HANDLE exited_ = nullptr;        // set when the debug loop saw the exit
  HANDLE held_ = nullptr;          // set while the worker is held
  HANDLE releaseHold_ = nullptr;   // set by the test to let the worker go on
  HANDLE startAttempted_ = nullptr;
  std::atomic<bool> started_{false};
  std::atomic<bool> crashed_{false};
  std::atomic<DWORD> exitCode_{STILL_ACTIVE};
  DWORD processId_ = 0;

  // Owned by the debug loop thread.
  std::map<DWORD, HANDLE> threads_;
  Breakpoint holdCall_;
  Breakpoint sleep_;
  Breakpoint* rearmAfterStep_ = nullptr;
  bool loaderBreakpointSeen_ = false;
  DWORD heldThread_ = 0;

  std::mutex countsLock_;
  std::map<DWORD, int> sleepCalls_;
};
