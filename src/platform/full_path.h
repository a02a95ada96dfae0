#pragma once
// A path made full as Windows opens it: against the current folder, each "/"
// a backslash, "." and ".." resolved. Header-only, so that the application
// library, which links none of the updater's own libraries, shares it.

#include <windows.h>

#include <optional>
#include <string>

// The full path, or nothing where the system cannot make one.
inline std::optional<std::wstring> FullPathOf(const std::wstring& path) {
  const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return std::nullopt;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(path.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return std::nullopt;
  full.resize(length);
  return full;
}
