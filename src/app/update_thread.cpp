#include "app/update_thread.h"

#include "app/update_sequence.h"
#include "app/window_surface.h"

DWORD WINAPI UpdateThread(LPVOID scriptPath) {
  WindowSurface window;
  RunUpdateSequenceOnWorker(static_cast<const wchar_t*>(scriptPath), window,
                            kWaitBeforeChecksMs);
  return 0;
}
