// keep_running READY-EVENT STOP-EVENT PARENT-PID
// A program that runs until told to stop, so that its own image is a file in
// use for as long as the test wants.
#include <windows.h>

#include <stdlib.h>  // __argc, __wargv

#include "peer_signals.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  if (__argc < 4) return peer::kBadArguments;
  peer::SignalReady(__wargv[1]);
  return peer::WaitForStop(__wargv[2], __wargv[3]);
}
