#pragma once
// The one conversion of narrow script text into the wide text that system
// calls and messages take.

#include <optional>
#include <string>

// One UTF-16 code unit per byte, with the byte's own value (Latin-1): 0xE9
// becomes U+00E9. No code page is consulted, and the length is unchanged.
std::wstring WidenText(const std::string& narrow);

// WidenText for a text that a system call will read as a zero-terminated
// string. A NUL byte inside the text would cut it short there and make it name
// a different file or program, so such a text gives no wide form at all.
std::optional<std::wstring> WidenForSystem(const std::string& narrow);
