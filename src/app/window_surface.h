#pragma once
// The update sequence's seam, served by the progress window: messages and
// questions in boxes the window owns, the title line, the command runner.

#include "app/update_sequence.h"

class WindowSurface : public UpdateSurface {
 public:
  void Tell(const std::wstring& text) override;
  bool AskToRetry(const std::wstring& text) override;
  void ShowTitle(const std::wstring& text) override;
  void RunCommands(std::vector<FileCommand> commands) override;
  // Sends (not posts) WM_DESTROY: the window answers with the quit message,
  // and this returns once the window's thread has handled it.
  void Close() override;
};
