#include "app/controls_display.h"

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/scoped_handle.h"
#include "ui/progress_window.h"
#include "ui/test_window.h"

namespace {

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// "title | status | percent | bar", as the window shows them now.
std::wstring Shown() {
  return TextOf(TitleLabel) + L" | " + TextOf(StatusLabel) + L" | " + TextOf(PercentLabel) +
         L" | " + std::to_wstring(SendMessageW(ProgressBar, PBM_GETPOS, 0, 0));
}

DWORD WINAPI CallOnWorker(void* call) {
  (*static_cast<const std::function<void()>*>(call))();
  return 0;
}

// "owner | caption | text | buttons" of a message box.
std::wstring DescribeBox(HWND box) {
  int buttons = 0;
  for (const int id : {IDOK, IDCANCEL, IDYES, IDNO, IDRETRY}) {
    if (GetDlgItem(box, id) != nullptr) ++buttons;
  }
  const HWND owner = GetWindow(box, GW_OWNER);
  return std::wstring(owner == ProgressWindow ? L"progress window" : L"other owner") + L" | " +
         TextOf(box) + L" | " + TextOf(GetDlgItem(box, 0xFFFF)) + L" | " +
         std::to_wstring(buttons) + L" button(s)";
}

BOOL CALLBACK FindDialog(HWND window, LPARAM found) {
  wchar_t name[16] = {};
  GetClassNameW(window, name, 16);
  if (std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Makes the call on a worker thread while this thread pumps the window's
// messages, as the program's main thread does. A message box of the worker's
// is described and closed with OK; gives its description, if one came.
std::wstring CallWhilePumping(const std::function<void()>& call) {
  DWORD workerThread = 0;
  const ScopedHandle worker(CreateThread(nullptr, 0, CallOnWorker,
                                         const_cast<std::function<void()>*>(&call), 0,
                                         &workerThread));
  if (!worker.IsValid()) {
    ADD_FAILURE() << "CreateThread failed";
    return {};
  }
  std::wstring box;
  const HANDLE waitFor = worker.Get();
  // A guard against a hung call only.
  for (int rounds = 0; rounds < 3000; ++rounds) {
    if (MsgWaitForMultipleObjects(1, &waitFor, FALSE, 20, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    PumpWaitingMessages();
    HWND found = nullptr;
    EnumThreadWindows(workerThread, FindDialog, reinterpret_cast<LPARAM>(&found));
    if (found != nullptr && box.empty()) {
      box = DescribeBox(found);
      PostMessageW(found, WM_COMMAND, IDOK, 0);
    }
  }
  PumpWaitingMessages();
  return box;
}

class ControlsDisplayTest : public SharedWindowTest {};

constexpr const wchar_t* kLongSource =
    L"C:\\ProgramData\\PexaMenu\\PexaMenu 2.0 update\\data\\regional-price-lists\\"
    L"north-west-region\\2026-12\\prices-and-menu-cards-for-the-winter-season.csv";

TEST_F(ControlsDisplayTest, EachCallReachesItsOwnControl) {
  ControlsDisplay display;
  // Each case starts where the one before it left the window.
  const struct {
    const char* name;
    std::function<void()> call;
    std::wstring shown;
  } cases[] = {
      {"title", [&] { display.ShowTitle(L"Ready, Starting..."); },
       L"Ready, Starting... | Version control |  | 0"},
      {"status", [&] { display.ShowStatus(L"C:\\app\\new.dll"); },
       L"Ready, Starting... | C:\\app\\new.dll |  | 0"},
      {"percentage", [&] { display.ShowPercentage(L"34"); },
       L"Ready, Starting... | C:\\app\\new.dll | 34 | 0"},
      {"bar", [&] { display.ShowBar(68); },
       L"Ready, Starting... | C:\\app\\new.dll | 34 | 68"},
      // Far wider than the line: drawn shortened, but held whole.
      {"long status",
       [&] { display.ShowStatus(kLongSource); },
       L"Ready, Starting... | " + std::wstring(kLongSource) + L" | 34 | 68"},
  };
  SetWindowTextW(TitleLabel, L"Version control");
  SetWindowTextW(StatusLabel, L"Version control");
  SetWindowTextW(PercentLabel, L"");
  SendMessageW(ProgressBar, PBM_SETPOS, 0, 0);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CallWhilePumping(c.call), L"") << "no box expected";
    EXPECT_EQ(Shown(), c.shown);
  }
}

// A box without an owner could fall behind the window, and the window would
// still take clicks while it is up.
TEST_F(ControlsDisplayTest, ReportsAFailureInABoxTheWindowOwns) {
  ControlsDisplay display;
  EXPECT_EQ(CallWhilePumping([&] {
              display.ReportFailure(L"Command failed", L"Copy failed, error code: 5 command: a");
            }),
            L"progress window | Command failed | Copy failed, error code: 5 command: a | "
            L"1 button(s)");
}

}  // namespace
