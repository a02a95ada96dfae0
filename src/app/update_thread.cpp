#include "app/update_thread.h"

#include "app/update_sequence.h"
#include "app/window_surface.h"

DWORD WINAPI UpdateThread(LPVOID scriptPath) {
  WindowSurface window;
  try {
    RunUpdateSequence(static_cast<const wchar_t*>(scriptPath), window, kWaitBeforeChecksMs);
  } catch (...) {
    // Only running out of memory gets here. Nothing may leave a thread
    // procedure, and without the close the window would stay up for good.
    window.Close();
  }
  return 0;
}
