#pragma once
// Runs the real devidudi.exe as its debugger, for the end-to-end tests and the
// demo. Being the debugger lets them act at an exact point instead of racing
// the program: the worker can be held right before a chosen call (say, the
// deletion of the script, when the window shows what the run last set), a
// chosen call can be made to fail without being carried out, and calls to
// Sleep are counted.

#include <windows.h>

#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

// One call of a kernel32 function whose given argument (0 for the first)
// points to this wide text. Without a function it matches nothing.
struct CallMatch {
  const char* function = nullptr;
  int argument = 0;
  std::wstring text;
};

// What to start: the program (devidudi.exe beside the running program unless
// named), with a command line of its quoted path followed by rawTail exactly
// (nothing added: pass " C:\x" for one argument), in a current directory of
// its own when one is named, and with the show command a shortcut or
// another program would pass in STARTUPINFO when one is given.
struct Launch {
  std::wstring rawTail;
  std::wstring program;
  std::wstring currentDirectory;
  std::optional<WORD> showCommand = std::nullopt;
};

// Or: devidudi.exe beside the running program, started on this script path
// by the application library's launcher, as an application starts it.
struct LaunchThroughLibrary {
  std::wstring scriptPath;
};

class UpdaterProcess {
 public:
  // Starts the program as its debugger. The worker is held before the call
  // `hold`; the call `fail` returns failResult at once instead of running.
  // Both act on their first match only.
  explicit UpdaterProcess(const Launch& launch, const CallMatch& hold = {},
                          const CallMatch& fail = {}, ULONG_PTR failResult = 0);
  explicit UpdaterProcess(const LaunchThroughLibrary& launch, const CallMatch& hold = {},
                          const CallMatch& fail = {}, ULONG_PTR failResult = 0);
  UpdaterProcess(const UpdaterProcess&) = delete;
  UpdaterProcess& operator=(const UpdaterProcess&) = delete;
  ~UpdaterProcess();

  static std::wstring ProgramPath();

  // False when the program could not be started at all.
  bool Started() const { return started_; }
  // Why it could not: the start's last error.
  DWORD StartError() const { return startError_; }
  DWORD ProcessId() const { return processId_; }
  HANDLE Handle() const { return process_; }

  // The exit code, or STILL_ACTIVE if it had not ended within timeoutMs.
  DWORD WaitForExit(DWORD timeoutMs);

  // Waits until the worker stands right before the held call; the window
  // still answers while it stands there.
  bool WaitUntilHeld(DWORD timeoutMs);
  void ReleaseHold();

  // True once the call to fail has been made to fail.
  bool FailedTheCall() const { return failedTheCall_; }
  // How often the program called Sleep with this many milliseconds so far.
  int SleepCalls(DWORD milliseconds);
  // True when an exception went unhandled in the program (a crash).
  bool Crashed() const { return crashed_; }

 private:
  struct Breakpoint {
    CallMatch match;
    BYTE* address = nullptr;
    BYTE original = 0;
    bool done = false;  // matched once; not armed again
  };

  // Creates the process to debug (DEBUG_ONLY_THIS_PROCESS); the main thread's
  // handle, when it gives one, is owned by the debug loop from then on.
  struct Debuggee {
    HANDLE process = nullptr;
    HANDLE mainThread = nullptr;
    DWORD processId = 0;
    DWORD mainThreadId = 0;
  };
  using Starter = std::function<bool(Debuggee&)>;

  void Arrange(const CallMatch& hold, const CallMatch& fail);
  void DebugLoop(Starter start);
  void OnBreakpoint(const DEBUG_EVENT& event, Breakpoint& breakpoint);
  Breakpoint* BreakpointAt(const void* address);
  void Arm(Breakpoint& breakpoint);
  void Disarm(Breakpoint& breakpoint);
  bool Matches(const Breakpoint& breakpoint, const CONTEXT& context);
  ULONG_PTR Argument(const CONTEXT& context, int index);
  std::wstring ReadWideString(ULONG_PTR address);

  std::thread debugger_;
  HANDLE process_ = nullptr;
  HANDLE exited_ = nullptr;        // set when the debug loop saw the exit
  HANDLE held_ = nullptr;          // set while the worker is held
  HANDLE releaseHold_ = nullptr;   // set by the caller to let the worker go on
  HANDLE startAttempted_ = nullptr;
  std::atomic<bool> started_{false};
  DWORD startError_ = 0;  // written before startAttempted_ is set
  std::atomic<bool> crashed_{false};
  std::atomic<bool> failedTheCall_{false};
  std::atomic<DWORD> exitCode_{STILL_ACTIVE};
  DWORD processId_ = 0;
  ULONG_PTR failResult_ = 0;

  // Owned by the debug loop thread.
  std::map<DWORD, HANDLE> threads_;
  Breakpoint hold_;
  Breakpoint fail_;
  Breakpoint sleep_;
  // The breakpoint each thread is stepping over, to be put back after its
  // step. By thread: two threads may each stand on one at the same time.
  std::map<DWORD, Breakpoint*> rearmAfterStep_;
  bool loaderBreakpointSeen_ = false;
  DWORD heldThread_ = 0;

  std::mutex countsLock_;
  std::map<DWORD, int> sleepCalls_;
};
