#include "ui/test_window.h"

#include "res/resource.h"
#include "ui/progress_window.h"

TestWindow* SharedWindowTest::window_ = nullptr;

TestWindow::TestWindow() {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  LoadStringW(instance, IDS_WINDOW_TITLE, WindowTitle, kWindowTextUnits);
  LoadStringW(instance, IDS_WINDOW_CLASS, WindowClassName, kWindowTextUnits);
  RegisterProgressWindowClass(instance);
  created_ = CreateProgressWindow(instance, SW_SHOWNORMAL) != 0;
  PumpWaitingMessages();
}

TestWindow::~TestWindow() {
  if (IsWindow(ProgressWindow)) DestroyWindow(ProgressWindow);
  PumpWaitingMessages();
}

std::optional<WPARAM> PumpWaitingMessages() {
  std::optional<WPARAM> quitCode;
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    if (message.message == WM_QUIT) {
      quitCode = message.wParam;
      continue;
    }
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return quitCode;
}
