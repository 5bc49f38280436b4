// Guarded exports: every entry point runs its body through one of these, so no exception
// reaches the host and every module maps failures the same way.
#pragma once
#include <exception>
#include <new>
#include <string>

#include "modules/kit/page_files.h"

namespace kit {

// The contract's error values (host/module_contract.h; the Win32 side asserts they agree).
constexpr int kErrDriver = -251, kErrNotAvailable = -252;

// What an initialisation that threw answers, and the reason the host shows.
struct Failure {
  int code;
  std::u16string reason;
};
Failure FailureOf(std::exception_ptr e, const char16_t* module);

// The initialisation: the body's result, or on an exception the mapped code with its
// reason in the error buffer (terminated, cut to fit).
template <class Body>
int GuardedInitialize(const char16_t* module, char16_t* errorText, int errorCapacity, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    try {
      const Failure f = FailureOf(std::current_exception(), module);
      CopyText(f.reason, errorText, errorCapacity);
      return f.code;
    } catch (...) {
      return kErrNotAvailable;
    }
  }
}

// A check: on an exception CHECK_NOTHING, with nothing delivered.
template <class Body>
uint32_t GuardedCheck(Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return kCheckNothing;
  }
}

// Any other export: the body's result, or `fallback` on an exception.
template <class Result, class Body>
Result Guarded(Result fallback, Body&& body) noexcept {
  try {
    return body();
  } catch (...) {
    return fallback;
  }
}

// An export without a result: an exception is swallowed.
template <class Body>
void GuardedVoid(Body&& body) noexcept {
  try {
    body();
  } catch (...) {
  }
}

}  // namespace kit
