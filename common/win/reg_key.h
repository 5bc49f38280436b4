// An open registry key with one owner: closed when the holder goes.
#pragma once
#include <windows.h>

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() {
    if (h_) RegCloseKey(h_);
  }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  HKEY* out() { return &h_; }
  HKEY get() const { return h_; }

 private:
  HKEY h_ = nullptr;
};
