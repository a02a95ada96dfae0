#include "app/controls_display.h"

#include <windows.h>
#include <commctrl.h>

#include "ui/progress_window.h"

void ControlsDisplay::ShowTitle(const std::wstring& text) {
  SetWindowTextW(TitleLabel, text.c_str());
}

void ControlsDisplay::ShowStatus(const std::wstring& text) {
  SetWindowTextW(StatusLabel, text.c_str());
}

void ControlsDisplay::ShowPercentage(const std::wstring& number) {
  SetWindowTextW(PercentLabel, number.c_str());
}

void ControlsDisplay::ShowBar(std::int32_t position) {
  SendMessageW(ProgressBar, PBM_SETPOS, static_cast<WPARAM>(position), 0);
}

void ControlsDisplay::ReportFailure(const std::wstring& caption, const std::wstring& text) {
  MessageBoxW(ProgressWindow, text.c_str(), caption.c_str(), MB_OK);
}
