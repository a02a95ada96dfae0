#pragma once
// Owns one kernel handle and closes it exactly once. Move-only, so an owner
// can never be copied and close the same handle twice. Both NULL and
// INVALID_HANDLE_VALUE mean "no handle": CreateFileW fails with the one,
// CreateProcessW and CreateThread with the other.

#include <windows.h>

#include <utility>

class ScopedHandle {
 public:
  ScopedHandle() = default;
  explicit ScopedHandle(HANDLE handle) : handle_(handle) {}
  ScopedHandle(const ScopedHandle&) = delete;
  ScopedHandle& operator=(const ScopedHandle&) = delete;
  ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Release()) {}
  ScopedHandle& operator=(ScopedHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  ~ScopedHandle() { Reset(); }

  bool IsValid() const {
    return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE;
  }
  HANDLE Get() const { return handle_; }

  HANDLE Release() { return std::exchange(handle_, nullptr); }

  void Reset(HANDLE handle = nullptr) {
    if (IsValid()) CloseHandle(handle_);
    handle_ = handle;
  }

 private:
  HANDLE handle_ = nullptr;
};
