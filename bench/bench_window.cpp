#include "bench_window.h"

#include <commctrl.h>

#include "platform/scoped_handle.h"
#include "res/resource.h"
#include "ui/progress_window.h"

namespace {

UpdateCounts counts;
WNDPROC originalProc[4] = {};

int ControlIndex(HWND control) {
  const HWND controls[] = {TitleLabel, StatusLabel, PercentLabel, ProgressBar};
  for (int i = 0; i < 4; ++i) {
    if (controls[i] == control) return i;
  }
  return -1;
}

LRESULT CALLBACK CountingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  const int index = ControlIndex(window);
  if (message == WM_SETTEXT) {
    if (window == TitleLabel) ++counts.title;
    if (window == StatusLabel) ++counts.status;
    if (window == PercentLabel) ++counts.percent;
  } else if (message == PBM_SETPOS && window == ProgressBar) {
    ++counts.bar;
  }
  return CallWindowProcW(originalProc[index], window, message, wParam, lParam);
}

struct WorkItem {
  void (*work)(void*);
  void* context;
};

DWORD WINAPI RunWork(void* parameter) {
  const auto* item = static_cast<const WorkItem*>(parameter);
  item->work(item->context);
  return 0;
}

}  // namespace

bool OpenProgressWindow() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  LoadStringW(instance, IDS_WINDOW_TITLE, WindowTitle, kWindowTextUnits);
  LoadStringW(instance, IDS_WINDOW_CLASS, WindowClassName, kWindowTextUnits);
  RegisterProgressWindowClass(instance);
  return CreateProgressWindow(instance, SW_SHOWNORMAL) != FALSE;
}

void RunBesideWindow(void (*work)(void*), void* context) {
  WorkItem item{work, context};
  const ScopedHandle worker(CreateThread(nullptr, 0, RunWork, &item, 0, nullptr));
  if (!worker.IsValid()) return;
  const HANDLE waitFor = worker.Get();
  for (;;) {
    // Sent messages are served inside the wait, as inside GetMessageW.
    const DWORD woken = MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT);
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (woken == WAIT_OBJECT_0 || woken == WAIT_FAILED) return;
  }
}

void StartCountingUpdates() {
  counts = UpdateCounts{};
  const HWND controls[] = {TitleLabel, StatusLabel, PercentLabel, ProgressBar};
  for (int i = 0; i < 4; ++i) {
    if (originalProc[i] != nullptr) continue;
    originalProc[i] = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        controls[i], GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(CountingProc)));
  }
}

UpdateCounts CountedUpdates() { return counts; }
