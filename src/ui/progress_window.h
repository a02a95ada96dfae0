#pragma once
// The program's one window: a logo, a title line, a status line, a progress
// bar and a percentage. The main thread creates it and then only pumps
// messages; the worker thread changes what it shows through the handles
// below, with messages that the main thread's loop serves.

#include <windows.h>

// Size of each of the two text buffers, terminator included.
constexpr int kWindowTextUnits = 100;

// Process-wide, written on the main thread before the worker starts and only
// read afterwards, so they need no lock.
extern HINSTANCE ProgramInstance;                   // set by CreateProgressWindow
extern wchar_t WindowTitle[kWindowTextUnits];       // filled by the entry point
extern wchar_t WindowClassName[kWindowTextUnits];   // filled by the entry point
extern HWND ProgressWindow;                         // set by CreateProgressWindow
// The controls, set on WM_CREATE inside CreateProgressWindow. A control that
// could not be made stays null, and messages to it do nothing.
extern HWND TitleLabel;
extern HWND StatusLabel;
extern HWND PercentSignLabel;
extern HWND PercentLabel;
extern HWND LogoImage;
extern HWND ProgressBar;

// Registers the class named WindowClassName. The result is not examined: a
// failed registration shows up as a failed CreateProgressWindow.
void RegisterProgressWindowClass(HINSTANCE instance);

// Creates the window near the middle of the screen with all its controls,
// cuts its style down to a thin border and shows it. Returns 1 once the
// window exists, 0 when it could not be created.
BOOL CreateProgressWindow(HINSTANCE instance, int showCommand);

LRESULT CALLBACK ProgressWindowProc(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam);
