#pragma once
// What the command runner needs of the window: four controls to write to and
// a box to report a failure in. The program passes the progress window's
// controls (app/controls_display.h); tests pass a recorder.

#include <cstdint>
#include <string>

class ProgressDisplay {
 public:
  virtual ~ProgressDisplay() = default;
  virtual void ShowTitle(const std::wstring& text) = 0;
  virtual void ShowStatus(const std::wstring& text) = 0;
  // The number beside the percent sign, as text.
  virtual void ShowPercentage(const std::wstring& number) = 0;
  virtual void ShowBar(std::int32_t position) = 0;
  // A message with an OK button only; returns once the user has closed it.
  virtual void ReportFailure(const std::wstring& caption, const std::wstring& text) = 0;
};
