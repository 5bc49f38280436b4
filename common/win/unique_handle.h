// One owner for a kernel handle: closed when the holder goes or takes another.
#pragma once
#include <windows.h>

class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE h) : h_(h) {}
  ~UniqueHandle() { reset(); }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : h_(other.h_) { other.h_ = nullptr; }
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset();
      h_ = other.h_;
      other.h_ = nullptr;
    }
    return *this;
  }

  HANDLE get() const { return h_; }
  explicit operator bool() const { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
  // Closes what it held and keeps `h`; GetLastError is left as it was.
  void reset(HANDLE h = nullptr) {
    if (*this) {
      const DWORD error = GetLastError();
      CloseHandle(h_);
      SetLastError(error);
    }
    h_ = h;
  }

 private:
  HANDLE h_ = nullptr;
};
