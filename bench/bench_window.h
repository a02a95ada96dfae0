#pragma once
// The progress window inside the benchmark process, made as the program makes
// it, with this thread as the window's thread.

#include <windows.h>

// Loads the title and class name from the string table, registers the class
// and creates the window. False when it could not be created.
bool OpenProgressWindow();

// Runs work(context) on a new thread while this thread serves the window's
// messages, as the program's main thread does while the worker runs.
void RunBesideWindow(void (*work)(void*), void* context);

// How many updates each control received.
struct UpdateCounts {
  int title = 0;    // WM_SETTEXT to TitleLabel
  int status = 0;   // WM_SETTEXT to StatusLabel
  int percent = 0;  // WM_SETTEXT to PercentLabel
  int bar = 0;      // PBM_SETPOS to ProgressBar
};

// From now on the controls count the updates they receive, starting at 0.
// Counting costs a call on the window's thread per update: the timed runs do
// without it.
void StartCountingUpdates();
UpdateCounts CountedUpdates();
