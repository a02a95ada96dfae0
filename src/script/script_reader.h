#pragma once

#include <optional>
#include <string>

// Reads the whole script through the C runtime's text mode, with read and
// write sharing so that other processes may go on using the file. The runtime
// reads CR LF as LF, keeps a lone CR, and ends the data at a byte 0x1A; no code
// page is applied. A UTF-8 byte-order mark at the very start is dropped; the
// same bytes anywhere else stay. Gives nothing when the file cannot be opened.
// A read that fails part-way keeps what was read before it.
std::optional<std::string> ReadScriptText(const std::wstring& path);
