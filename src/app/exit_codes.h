#pragma once
// What the updater's exit code tells a caller that waits for it: whether the
// update started at all, never how it went.

// No script path was given.
inline constexpr int kExitNoArgument = 99;
// Nothing exists at the path (a quoted path never does).
inline constexpr int kExitNothingAtPath = 100;
// The progress window could not be created: nothing was checked or touched.
// A code of its own, so that a caller does not read it as a run that was
// shown.
inline constexpr int kExitWindowFailed = 101;
// The window was shown, and the update ended in whatever way.
inline constexpr int kExitShown = 0;
