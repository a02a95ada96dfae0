#include "app/window_surface.h"

#include <windows.h>

#include "app/controls_display.h"
#include "app/update_messages.h"
#include "exec/command_runner.h"
#include "ui/progress_window.h"

void WindowSurface::Tell(const std::wstring& text) {
  MessageBoxW(ProgressWindow, text.c_str(), kUpdateCaption, MB_OK);
}

bool WindowSurface::AskToRetry(const std::wstring& text) {
  // A box that could not be shown returns 0, which ends the update like No.
  return MessageBoxW(ProgressWindow, text.c_str(), kUpdateCaption, MB_YESNO) == IDYES;
}

void WindowSurface::ShowTitle(const std::wstring& text) {
  SetWindowTextW(TitleLabel, text.c_str());
}

void WindowSurface::RunCommands(std::vector<FileCommand> commands) {
  ControlsDisplay controls;
  ::RunCommands(std::move(commands), controls);
}

void WindowSurface::Close() { SendMessageW(ProgressWindow, WM_DESTROY, 0, 0); }
