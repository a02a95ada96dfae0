#pragma once
// The command runner's display, served by the progress window's process-wide
// controls. Every call is a synchronous send to the window's thread, so call
// it only from the worker while the main thread pumps messages.

#include "exec/progress_display.h"

class ControlsDisplay : public ProgressDisplay {
 public:
  void ShowTitle(const std::wstring& text) override;
  void ShowStatus(const std::wstring& text) override;
  void ShowPercentage(const std::wstring& number) override;
  void ShowBar(std::int32_t position) override;
  // In a box owned by the progress window, so that it stays in front of it
  // and the window cannot be used while the box is up.
  void ReportFailure(const std::wstring& caption, const std::wstring& text) override;
};
