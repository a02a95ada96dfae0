#pragma once
// Real peer processes for tests, built from tests/helpers: a process that
// holds a file open, a program that keeps running, and the events by which
// they say they are ready and are told to stop.

#include <windows.h>

#include <memory>
#include <string>

// The folder of the running test program; the helpers are built beside it.
std::wstring ProgramFolder();
std::wstring HelperPath(const std::wstring& programName);

// True when the file cannot be opened for writing with no sharing: another
// process has it open, as a running program has its own image.
bool InUse(const std::wstring& path);

// A named event with a name of its own, manual reset, initially clear.
class NamedEvent {
 public:
  NamedEvent();
  NamedEvent(const NamedEvent&) = delete;
  NamedEvent& operator=(const NamedEvent&) = delete;
  ~NamedEvent();

  const std::wstring& Name() const { return name_; }
  HANDLE Get() const { return handle_; }
  void Set() { SetEvent(handle_); }
  bool IsSet() const { return WaitForSingleObject(handle_, 0) == WAIT_OBJECT_0; }

 private:
  std::wstring name_;
  HANDLE handle_ = nullptr;
};

// Upper bound for any wait on a peer; reached only when something is broken.
constexpr DWORD kPeerWaitMs = 30000;

// CreateProcessW with no application name, no environment and no current
// folder of its own, tried once more a second later when it fails: under
// Wine, with many programs starting at once on a busy machine, a start has
// been seen to fail and then work. False with GetLastError set.
bool CreateProcessOnceMore(std::wstring& commandLine, BOOL inheritHandles, DWORD flags,
                           STARTUPINFOW& startup, PROCESS_INFORMATION& started);

// Starts a program with an exact command line and owns its process handle.
class StartedProcess {
 public:
  explicit StartedProcess(const std::wstring& commandLine);
  StartedProcess(const StartedProcess&) = delete;
  StartedProcess& operator=(const StartedProcess&) = delete;
  ~StartedProcess();

  HANDLE Handle() const { return process_; }
  // The exit code, or STILL_ACTIVE when it had not ended within timeoutMs.
  DWORD WaitForExit(DWORD timeoutMs = kPeerWaitMs) const;

 private:
  HANDLE process_ = nullptr;
};

// Another process that holds a file open with the given access ("r", "w",
// "rw") and share mode ("-" for none, or letters of r, w, d) until Release()
// or destruction, or, with `holdMs`, for that long at most: a scanner's
// moment.
class FileHolder {
 public:
  FileHolder(const std::wstring& path, const wchar_t* access, const wchar_t* share,
             DWORD holdMs = 0);
  ~FileHolder() { Release(); }
  void Release();

 private:
  NamedEvent ready_;
  NamedEvent stop_;
  std::unique_ptr<StartedProcess> process_;
};

// A copy of keep_running.exe at imagePath, which runs until Stop(): while it
// runs, its image is a file in use. It may be started here or by whatever
// runs CommandLine().
class RunningProgram {
 public:
  explicit RunningProgram(const std::wstring& imagePath);
  ~RunningProgram() { Stop(); }

  std::wstring CommandLine() const;
  void Start();
  // True once the program has said it is running.
  bool WaitUntilRunning(DWORD timeoutMs = kPeerWaitMs) const;
  // Tells it to end and waits until its image is free again.
  void Stop();

 private:
  std::wstring image_;
  NamedEvent ready_;
  NamedEvent stop_;
  std::unique_ptr<StartedProcess> process_;
};
