#pragma once

#include <windows.h>

// The worker thread: the whole update against the progress window. Its
// parameter is the script path (a zero-terminated wide text that outlives the
// thread); it always returns 0.
DWORD WINAPI UpdateThread(LPVOID scriptPath);
