// DeviDudi's entry point: checks the argument, shows the progress window,
// starts the worker and pumps messages until the window is closed.

#include <windows.h>
#include <shlwapi.h>

#include "app/command_line.h"
#include "app/exit_codes.h"
#include "app/update_thread.h"
#include "platform/scoped_handle.h"
#include "platform/system_dlls.h"
#include "res/resource.h"
#include "ui/progress_window.h"

namespace {

// Starts the worker on the script. The handle is kept until the entry point
// returns, that is, for as long as the process lives.
ScopedHandle StartWorker(const wchar_t* scriptPath) {
  ScopedHandle worker(CreateThread(nullptr, 0, UpdateThread, const_cast<wchar_t*>(scriptPath),
                                   CREATE_SUSPENDED, nullptr));
  if (worker.IsValid() && ResumeThread(worker.Get()) == static_cast<DWORD>(-1)) {
    TerminateThread(worker.Get(), 0);
    worker.Reset();
  }
  return worker;
}

// Runs until the quit message, whose exit code it returns. GetMessageW gives
// -1 on an error; that ends the loop too rather than spinning on it.
int PumpMessagesUntilQuit() {
  MSG message{};
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
  // Before anything else can load a DLL: the program's folder is the
  // application's, and a DLL planted there must never be loaded.
  LoadDllsFromSystemFolderOnly();

  // The script path lives in the process's command-line buffer for the life
  // of the process, so the worker can be handed the very same text.
  const wchar_t* const scriptPath = ArgumentText(GetCommandLineW());
  if (*scriptPath == L'\0') return kExitNoArgument;
  if (!PathFileExistsW(scriptPath)) return kExitNothingAtPath;

  LoadStringW(instance, IDS_WINDOW_TITLE, WindowTitle, kWindowTextUnits);
  LoadStringW(instance, IDS_WINDOW_CLASS, WindowClassName, kWindowTextUnits);
  RegisterProgressWindowClass(instance);
  if (!CreateProgressWindow(instance, showCommand)) return kExitWindowFailed;

  const ScopedHandle worker = StartWorker(scriptPath);
  if (!worker.IsValid()) {
    // Only the worker ever closes the window; without it the message loop
    // would wait for a quit message that never comes. Closing the window
    // here ends the program at once, before any file has been touched.
    DestroyWindow(ProgressWindow);
  }
  return PumpMessagesUntilQuit();
}
