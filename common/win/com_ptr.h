// One owner for a COM interface pointer and for a BSTR.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() {
    if (p_) p_->Release();
  }
  T** out() { return &p_; }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  // Queries another interface of the same object into `to`; false when it has none.
  template <class U>
  bool As(const IID& iid, ComPtr<U>& to) const {
    return p_ && SUCCEEDED(p_->QueryInterface(iid, reinterpret_cast<void**>(to.out()))) && to;
  }

 private:
  T* p_ = nullptr;
};

class Bstr {
 public:
  explicit Bstr(const wchar_t* s = nullptr) : s_(s ? SysAllocString(s) : nullptr) {}
  Bstr(const Bstr&) = delete;
  Bstr& operator=(const Bstr&) = delete;
  ~Bstr() { SysFreeString(s_); }
  BSTR* out() { return &s_; }
  BSTR get() const { return s_; }
  std::u16string str() const {
    return s_ ? std::u16string(reinterpret_cast<const char16_t*>(s_), SysStringLen(s_)) : std::u16string();
  }

 private:
  BSTR s_;
};
