#pragma once

#include <string>

// Gives the target the source's creation, last-access and last-write times,
// after a plain CopyFileW (the benchmark's bare loop makes one; the runner's
// own copy sets the times through the handles it has open, see
// ReplaceWithCopy).
// Silent by design: a file whose times could not be carried over is still a
// good copy. The source is opened with no sharing, so while any other process
// holds it open the target keeps the times it had. The target is opened for
// FILE_WRITE_ATTRIBUTES alone, an access that sharing does not restrict (on
// Windows as under Wine), so a target that another process holds open still
// gets the times.
void CarryFileTimesOver(const std::wstring& source, const std::wstring& target);
