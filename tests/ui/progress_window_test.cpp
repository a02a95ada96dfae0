#include "ui/progress_window.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "ui/test_window.h"

namespace {

// The tests run in an X server of this size (see the Makefile).
constexpr int kScreenWidth = 1920;
constexpr int kScreenHeight = 1080;

std::wstring ClassOf(HWND window) {
  wchar_t name[64] = {};
  GetClassNameW(window, name, 64);
  return name;
}

std::wstring TextOf(HWND window) {
  wchar_t text[256] = {};
  GetWindowTextW(window, text, 256);
  return text;
}

// A child's rectangle in its parent's client coordinates.
RECT BoxOf(HWND child) {
  RECT box{};
  GetWindowRect(child, &box);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&box), 2);
  return box;
}

BOOL CALLBACK MatchProgressClass(HWND window, LPARAM found) {
  if (ClassOf(window) != L"DEVIDUDI") return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// The progress window this test made: the one of its class among this
// thread's windows. Never found by class and title alone: CTest runs other
// test programs beside this one on the same wineserver, and theirs have the
// same class and title.
HWND OwnProgressWindow() {
  HWND found = nullptr;
  EnumThreadWindows(GetCurrentThreadId(), MatchProgressClass, reinterpret_cast<LPARAM>(&found));
  return found;
}

std::vector<HWND> ChildrenInOrder(HWND parent) {
  std::vector<HWND> children;
  for (HWND child = GetWindow(parent, GW_CHILD); child != nullptr;
       child = GetWindow(child, GW_HWNDNEXT)) {
    children.push_back(child);
  }
  return children;
}

std::string Describe(const RECT& box) {
  return std::to_string(box.left) + "," + std::to_string(box.top) + " " +
         std::to_string(box.right - box.left) + "x" +
         std::to_string(box.bottom - box.top);
}

// The tests that only look at the window share one.
class ProgressWindowTest : public SharedWindowTest {};

TEST_F(ProgressWindowTest, ClassIsRegisteredFromTheStringTableWithItsFields) {
  const HINSTANCE instance = GetModuleHandleW(nullptr);
  WNDCLASSEXW found{};
  found.cbSize = sizeof found;
  // Registration fails outright when cbSize is not this architecture's size.
  ASSERT_TRUE(GetClassInfoExW(instance, L"DEVIDUDI", &found));
  EXPECT_EQ(found.style, static_cast<UINT>(CS_HREDRAW | CS_VREDRAW));
  EXPECT_EQ(found.cbClsExtra, 0);
  EXPECT_EQ(found.cbWndExtra, 0);
  // LoadIconW hands out one shared handle per resource, so the class's icons
  // can be compared with fresh loads.
  EXPECT_EQ(found.hIcon, LoadIconW(instance, MAKEINTRESOURCEW(IDI_CLASS_ICON)));
  EXPECT_EQ(found.hIconSm, LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL_ICON)));
  EXPECT_NE(found.hIcon, nullptr);
  EXPECT_NE(found.hIconSm, nullptr);
  EXPECT_EQ(found.hCursor, LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(found.hbrBackground, GetSysColorBrush(COLOR_BTNFACE));
  EXPECT_EQ(found.lpszMenuName, nullptr);
}

TEST_F(ProgressWindowTest, StandsRightOfTheMiddleWithAThinBorderOnly) {
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), kScreenWidth);
  ASSERT_EQ(GetSystemMetrics(SM_CYSCREEN), kScreenHeight);
  const HWND found = OwnProgressWindow();
  ASSERT_NE(found, nullptr);
  EXPECT_EQ(found, ProgressWindow);
  EXPECT_EQ(TextOf(found), L"DeviDudi");

  RECT box{};
  GetWindowRect(found, &box);
  EXPECT_EQ(Describe(box), "720,390 530x230");
  // WS_VISIBLE comes back with ShowWindow, and Windows (Wine too) keeps
  // WS_CLIPSIBLINGS on every top-level window whatever the program sets.
  const LONG style = GetWindowLongW(found, GWL_STYLE);
  EXPECT_EQ(style & ~(WS_VISIBLE | WS_CLIPSIBLINGS), WS_BORDER)
      << std::hex << "style 0x" << style;
  EXPECT_TRUE(IsWindowVisible(found));
  EXPECT_EQ(GetMenu(found), nullptr);

  // The frame is measured anew for the thin border, so no strip where the
  // caption was is left unpainted: the client area reaches the border.
  RECT border{};
  AdjustWindowRectEx(&border, WS_BORDER, FALSE, 0);
  RECT client{};
  GetClientRect(found, &client);
  EXPECT_EQ(client.right, 530 - (border.right - border.left));
  EXPECT_EQ(client.bottom, 230 - (border.bottom - border.top));
}

// One row per control, in the order they were made. Boxes are relative to
// the client rectangle that the window had when it was created.
struct ControlRow {
  const char* name;
  HWND* handle;
  const wchar_t* className;
  LONG style;
  RECT box;                // left, top, right, bottom
  const wchar_t* font;     // face name, or nullptr for the control's default
  LONG fontHeight;
  const wchar_t* text;
};

TEST_F(ProgressWindowTest, MakesItsSixControlsInOrderWithTheirLooks) {
  const HWND top = OwnProgressWindow();
  ASSERT_NE(top, nullptr);

  // At WM_CREATE the window still had the caption and fixed frame that
  // Windows gives an overlapped window, so its client area was that much
  // smaller than 530 x 230.
  RECT frame{};
  AdjustWindowRectEx(&frame, WS_CAPTION, FALSE, 0);
  const LONG w = 530 - (frame.right - frame.left);
  const LONG h = 230 - (frame.bottom - frame.top);

  const LONG label = WS_CHILD | WS_VISIBLE;
  const ControlRow rows[] = {
      {"TitleLabel", &TitleLabel, L"Static", label,
       {10, h / 2 - 45, w - 10, h / 2 - 10}, L"Arial", 24, L"Version control"},
      {"StatusLabel", &StatusLabel, L"Static", label | SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS,
       {10, h / 2 + 15, w - 10, h / 2 + 33}, L"Arial", 16, L"Version control"},
      {"PercentSignLabel", &PercentSignLabel, L"Static", label,
       {w / 2 + 8, h / 2 + 75, w / 2 + 28, h / 2 + 90}, nullptr, 0, L"%"},
      {"PercentLabel", &PercentLabel, L"Static", label,
       {w / 2 - 20, h / 2 + 75, w / 2 + 5, h / 2 + 90}, nullptr, 0, L""},
      // Made 33 x 33, but a bitmap static takes its picture's size.
      {"LogoImage", &LogoImage, L"Static", label | SS_BITMAP,
       {10, 10, 42, 39}, nullptr, 0, L""},
      {"ProgressBar", &ProgressBar, L"msctls_progress32", label,
       {10, h / 2 + 40, w, h / 2 + 60}, nullptr, 0, L""},
  };

  const std::vector<HWND> children = ChildrenInOrder(top);
  ASSERT_EQ(children.size(), std::size(rows));
  for (std::size_t i = 0; i < children.size(); ++i) {
    const ControlRow& row = rows[i];
    const HWND control = children[i];
    SCOPED_TRACE(row.name);
    EXPECT_EQ(control, *row.handle) << "the process-wide handle";
    EXPECT_EQ(ClassOf(control), row.className);
    EXPECT_EQ(GetWindowLongW(control, GWL_STYLE), row.style);
    EXPECT_EQ(GetWindowLongW(control, GWL_EXSTYLE), 0);
    EXPECT_EQ(GetDlgCtrlID(control), 0);
    EXPECT_EQ(Describe(BoxOf(control)), Describe(row.box));
    EXPECT_EQ(TextOf(control), row.text);

    const HFONT font =
        reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0));
    if (row.font == nullptr) {
      EXPECT_EQ(font, nullptr) << "expected the control's default font";
      continue;
    }
    LOGFONTW made{};
    ASSERT_EQ(GetObjectW(font, sizeof made, &made), int{sizeof made});
    EXPECT_STREQ(made.lfFaceName, row.font);
    EXPECT_EQ(made.lfHeight, row.fontHeight);
    EXPECT_EQ(made.lfWidth, 0);
    EXPECT_EQ(made.lfEscapement, 0);
    EXPECT_EQ(made.lfOrientation, 0);
    EXPECT_EQ(made.lfWeight, FW_NORMAL);
    EXPECT_EQ(made.lfItalic | made.lfUnderline | made.lfStrikeOut, 0);
    EXPECT_EQ(made.lfCharSet, ANSI_CHARSET);
    EXPECT_EQ(made.lfOutPrecision, OUT_TT_PRECIS);
    EXPECT_EQ(made.lfClipPrecision, CLIP_DEFAULT_PRECIS);
    EXPECT_EQ(made.lfQuality, DEFAULT_QUALITY);
    EXPECT_EQ(made.lfPitchAndFamily, 0);
  }
}

TEST_F(ProgressWindowTest, ShowsTheLogoAndAnEmptyBarOfAHundred) {
  const std::vector<HWND> children =
      ChildrenInOrder(OwnProgressWindow());
  ASSERT_EQ(children.size(), 6u);
  const HWND logo = children[4];
  const HWND bar = children[5];

  const HGDIOBJ picture = reinterpret_cast<HGDIOBJ>(
      SendMessageW(logo, STM_GETIMAGE, IMAGE_BITMAP, 0));
  ASSERT_NE(picture, nullptr);
  BITMAP bitmap{};
  ASSERT_EQ(GetObjectW(picture, sizeof bitmap, &bitmap), int{sizeof bitmap});
  EXPECT_EQ(bitmap.bmWidth, 32);
  EXPECT_EQ(bitmap.bmHeight, 29);

  PBRANGE range{-1, -1};
  SendMessageW(bar, PBM_GETRANGE, FALSE, reinterpret_cast<LPARAM>(&range));
  EXPECT_EQ(range.iLow, 0);
  EXPECT_EQ(range.iHigh, 100);
  EXPECT_EQ(SendMessageW(bar, PBM_GETPOS, 0, 0), 0);
}

// What the window does with the messages it answers, beyond WM_CREATE and
// WM_PAINT: sent the way the worker (WM_DESTROY) or a menu would send them.
// A case runs on the window the case before left alive, if any.
TEST(ProgressWindowProc, EndsTheMessageLoopOnExitAndDestroyOnly) {
  struct Case {
    const char* name;
    UINT message;
    WPARAM wParam;
    bool windowRemains;
    std::optional<WPARAM> quitCode;
  };
  const Case cases[] = {
      {"About command", WM_COMMAND, IDM_ABOUT, true, std::nullopt},
      // WM_DESTROY from the worker only posts the quit message; the window
      // goes away with the process.
      {"WM_DESTROY", WM_DESTROY, 0, true, 0},
      {"Exit command", WM_COMMAND, IDM_EXIT, false, 0},
      {"Exit command from an accelerator", WM_COMMAND, MAKEWPARAM(IDM_EXIT, 1),
       false, 0},
  };
  std::optional<TestWindow> window;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (!window || !IsWindow(ProgressWindow)) window.emplace();
    ASSERT_TRUE(window->Created());
    const HWND top = OwnProgressWindow();
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(SendMessageW(top, c.message, c.wParam, 0), 0);
    // The loop of the entry point ends when a quit message comes out.
    EXPECT_EQ(PumpWaitingMessages(), c.quitCode);
    EXPECT_EQ(IsWindow(top) != FALSE, c.windowRemains);
  }
}

}  // namespace
