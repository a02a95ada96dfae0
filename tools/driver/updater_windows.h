#pragma once
// Reads another process's progress window and message boxes, and answers
// them, as a person at the screen would.

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

// What the progress window shows.
struct Display {
  std::wstring title;
  std::wstring status;
  std::wstring percent;
  std::wstring percentSign;
  int bar = -1;
};

struct ShownMessage {
  HWND box = nullptr;
  std::wstring caption;
  std::wstring text;
  std::vector<int> buttons;  // IDOK, IDYES, IDNO ... that the box offers
  // Whether the box's owner was the process's progress window when it was
  // found: a box without it can fall behind the window.
  bool ownedByProgressWindow = false;
};

HWND FindProgressWindow(DWORD processId);
// Reads the controls of the progress window by their place in it.
std::optional<Display> ReadDisplay(HWND progressWindow);

// Waits for a message box of the process; nothing when none came in time or
// the process ended first.
std::optional<ShownMessage> WaitForMessage(DWORD processId, HANDLE process, DWORD timeoutMs);
// Presses a button of the box and waits until the box has gone.
bool Answer(const ShownMessage& message, int button);
