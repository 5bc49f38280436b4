// One owner for a COM interface pointer, a BSTR and a VARIANT.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

// Holds one reference. A raw pointer given to the constructor or assigned is shared (a
// reference is added); attach() takes over a reference the caller already owns.
template <class T>
class ComPtr {
 public:
  ComPtr() = default;
  explicit ComPtr(T* p) : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
  ComPtr(ComPtr&& other) noexcept : p_(other.detach()) {}
  ComPtr& operator=(ComPtr other) noexcept {
    T* const held = p_;
    p_ = other.p_;
    other.p_ = held;
    return *this;
  }
  ComPtr& operator=(T* p) { return *this = ComPtr(p); }
  ~ComPtr() { reset(); }

  // The address to receive a new reference; what was held is released first.
  T** out() {
    reset();
    return &p_;
  }
  T* get() const { return p_; }
  T* operator->() const { return p_; }
  explicit operator bool() const { return p_ != nullptr; }
  void reset() {
    if (T* const held = p_) {
      p_ = nullptr;
      held->Release();
    }
  }
  void attach(T* p) {
    reset();
    p_ = p;
  }
  T* detach() {
    T* const held = p_;
    p_ = nullptr;
    return held;
  }
  // Queries another interface of the same object into `to`; false when it has none.
  template <class U>
  bool As(const IID& iid, ComPtr<U>& to) const {
    return p_ && SUCCEEDED(p_->QueryInterface(iid, reinterpret_cast<void**>(to.out()))) && to;
  }
  template <class U>
  HRESULT As(ComPtr<U>* to) const {
    if (!p_) {
      to->reset();
      return E_POINTER;
    }
    return p_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(to->out()));
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

class Variant {
 public:
  Variant() { VariantInit(&v_); }
  // A string (VT_EMPTY when it cannot be allocated) or a 32-bit number.
  explicit Variant(const wchar_t* text) : Variant() {
    if ((v_.bstrVal = SysAllocString(text))) v_.vt = VT_BSTR;
  }
  explicit Variant(LONG number) : Variant() {
    v_.vt = VT_I4;
    v_.lVal = number;
  }
  Variant(const Variant&) = delete;
  Variant& operator=(const Variant&) = delete;
  ~Variant() { VariantClear(&v_); }
  VARIANT& get() { return v_; }

 private:
  VARIANT v_;
};

