#include "ui/progress_window.h"

#include <commctrl.h>

#include "platform/system_dlls.h"
#include "res/resource.h"

HINSTANCE ProgramInstance = nullptr;
wchar_t WindowTitle[kWindowTextUnits] = {};
wchar_t WindowClassName[kWindowTextUnits] = {};
HWND ProgressWindow = nullptr;
HWND TitleLabel = nullptr;
HWND StatusLabel = nullptr;
HWND PercentSignLabel = nullptr;
HWND PercentLabel = nullptr;
HWND LogoImage = nullptr;
HWND ProgressBar = nullptr;

namespace {

constexpr int kWindowWidth = 530;
constexpr int kWindowHeight = 230;
// The window's corner lies this far left of and above the screen's middle.
// These are not half the window's size (265 and 115), so the window sits 25
// pixels right of and 35 pixels below the true centre.
constexpr int kOffsetLeftOfMiddle = 240;
constexpr int kOffsetAboveMiddle = 150;

constexpr int kTitleFontHeight = 24;
constexpr int kStatusFontHeight = 16;
constexpr int kDefaultFont = 0;
constexpr wchar_t kLabelTextAtStart[] = L"Version control";

constexpr int kLogoWidth = 32;
constexpr int kLogoHeight = 29;
constexpr int kProgressMaximum = 100;

// InitCommonControls, by its ordinal in comctl32's exports.
constexpr WORD kInitCommonControlsOrdinal = 17;

// Makes the progress bar's class available. comctl32 is no known system DLL,
// so an import of it could be satisfied by a copy planted in the program's
// folder; it is loaded from the system folder by its full path instead. It
// stays loaded: the bar lives in it. Without it the bar is simply not made.
void LoadProgressBarClass() {
  const HMODULE comctl32 = LoadSystemDll(L"comctl32.dll");
  if (comctl32 == nullptr) return;
  using InitCommonControlsFunction = void(WINAPI*)();
  const auto initCommonControls = reinterpret_cast<InitCommonControlsFunction>(
      reinterpret_cast<void*>(GetProcAddress(comctl32, MAKEINTRESOURCEA(kInitCommonControlsOrdinal))));
  if (initCommonControls != nullptr) initCommonControls();
}

// Fonts are never deleted: the labels use them for the life of the process.
HFONT MakeLabelFont(int height) {
  return CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                     ANSI_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, 0, L"Arial");
}

// A child with no text, extended style 0 and control id 0.
HWND MakeControl(HWND parent, const wchar_t* className, DWORD style, int x,
                 int y, int width, int height) {
  return CreateWindowExW(0, className, nullptr, WS_CHILD | WS_VISIBLE | style,
                         x, y, width, height, parent, nullptr, ProgramInstance,
                         nullptr);
}

// The font goes in before the text, so the text is never drawn in the
// control's default font. fontHeight kDefaultFont keeps that default; a null
// text leaves the label empty.
HWND MakeLabel(HWND parent, int x, int y, int width, int height, int fontHeight,
               const wchar_t* text, DWORD style = 0) {
  const HWND label = MakeControl(parent, L"Static", style, x, y, width, height);
  if (fontHeight != kDefaultFont) {
    SendMessageW(label, WM_SETFONT,
                 reinterpret_cast<WPARAM>(MakeLabelFont(fontHeight)), TRUE);
  }
  if (text != nullptr) SetWindowTextW(label, text);
  return label;
}

LRESULT OnCreate(HWND window) {
  LoadProgressBarClass();

  // Measured while the window still has the caption and frame it was created
  // with; the later change to a thin border does not move the controls.
  RECT client{};
  GetClientRect(window, &client);
  const int w = client.right;
  const int h = client.bottom;

  // ProgressWindow is not set yet: the controls take `window` as parent.
  TitleLabel = MakeLabel(window, 10, h / 2 - 45, w - 20, 35, kTitleFontHeight,
                         kLabelTextAtStart);
  // The status line is one line high: a word-wrapped path would show only
  // its first line, which reads as a folder. Drawn on one line with the
  // middle of a long path left out, it keeps the drive and the file's own
  // name in view; its text stays the whole path.
  StatusLabel = MakeLabel(window, 10, h / 2 + 15, w - 20, 18,
                          kStatusFontHeight, kLabelTextAtStart,
                          SS_LEFTNOWORDWRAP | SS_PATHELLIPSIS);
  PercentSignLabel =
      MakeLabel(window, w / 2 + 8, h / 2 + 75, 20, 15, kDefaultFont, L"%");
  // Empty until the runner writes the first number.
  PercentLabel =
      MakeLabel(window, w / 2 - 20, h / 2 + 75, 25, 15, kDefaultFont, nullptr);

  // A bitmap static sizes itself to its picture when it gets one, so the
  // 33 x 33 box ends up 32 x 29. The bitmap is never deleted.
  LogoImage = MakeControl(window, L"Static", SS_BITMAP, 10, 10, 33, 33);
  const HANDLE logo =
      LoadImageW(ProgramInstance, MAKEINTRESOURCEW(IDB_LOGO), IMAGE_BITMAP,
                 kLogoWidth, kLogoHeight, LR_DEFAULTCOLOR);
  SendMessageW(LogoImage, STM_SETIMAGE, IMAGE_BITMAP,
               reinterpret_cast<LPARAM>(logo));

  // W - 10 wide: the bar runs on to the right edge of the client area.
  ProgressBar =
      MakeControl(window, L"msctls_progress32", 0, 10, h / 2 + 40, w - 10, 20);
  SendMessageW(ProgressBar, PBM_SETRANGE, 0, MAKELPARAM(0, kProgressMaximum));
  SendMessageW(ProgressBar, PBM_SETPOS, 0, 0);
  return 0;
}

// The window draws nothing itself; the controls draw themselves.
LRESULT OnPaint(HWND window) {
  PAINTSTRUCT paint;
  BeginPaint(window, &paint);
  EndPaint(window, &paint);
  return 0;
}

// Exit is the one command answered: the menu that carries it is attached to
// nothing, so it arrives only when someone sends it.
LRESULT OnCommand(HWND window, WPARAM wParam, LPARAM lParam) {
  if (LOWORD(wParam) == IDM_EXIT) {
    DestroyWindow(window);
    return 0;
  }
  return DefWindowProcW(window, WM_COMMAND, wParam, lParam);
}

// The worker sends WM_DESTROY when the update is over, however it ended; the
// quit message ends the main thread's loop and with it the process, exit 0.
LRESULT OnDestroy() {
  PostQuitMessage(0);
  return 0;
}

}  // namespace

void RegisterProgressWindowClass(HINSTANCE instance) {
  WNDCLASSEXW windowClass{};
  // 48 bytes in a 32-bit build, 80 in a 64-bit one: Windows refuses any
  // other size.
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = ProgressWindowProc;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_CLASS_ICON));
  windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  windowClass.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  windowClass.lpszClassName = WindowClassName;
  windowClass.hIconSm = LoadIconW(instance, MAKEINTRESOURCEW(IDI_SMALL_ICON));
  RegisterClassExW(&windowClass);
}

BOOL CreateProgressWindow(HINSTANCE instance, int showCommand) {
  // WM_CREATE runs inside CreateWindowExW and loads the logo from here.
  ProgramInstance = instance;
  // WS_VISIBLE alone is an overlapped window: Windows adds caption and frame.
  ProgressWindow = CreateWindowExW(
      0, WindowClassName, WindowTitle, WS_VISIBLE,
      GetSystemMetrics(SM_CXSCREEN) / 2 - kOffsetLeftOfMiddle,
      GetSystemMetrics(SM_CYSCREEN) / 2 - kOffsetAboveMiddle, kWindowWidth,
      kWindowHeight, nullptr, nullptr, instance, nullptr);
  if (ProgressWindow == nullptr) return FALSE;

  // A thin border and nothing else: no caption, so the user cannot move or
  // close the window. This also clears WS_VISIBLE until ShowWindow.
  SetWindowLongW(ProgressWindow, GWL_STYLE, WS_BORDER);
  // Windows keeps the frame it measured for the old style until it is told
  // the frame changed; without this the strip where the caption was stays
  // unpainted. The window keeps its place and size, and the controls their
  // places in the client area, which now reaches the thin border.
  SetWindowPos(ProgressWindow, nullptr, 0, 0, 0, 0,
               SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE |
                   SWP_FRAMECHANGED);
  ShowWindow(ProgressWindow, showCommand);
  UpdateWindow(ProgressWindow);
  return TRUE;
}

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) {
  switch (message) {
    case WM_CREATE:
      return OnCreate(window);
    case WM_PAINT:
      return OnPaint(window);
    case WM_COMMAND:
      return OnCommand(window, wParam, lParam);
    case WM_DESTROY:
      return OnDestroy();
    default:
      return DefWindowProcW(window, message, wParam, lParam);
  }
}
