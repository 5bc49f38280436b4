// COM on a module's thread, for whatever it creates there.
#pragma once
#include <objbase.h>

namespace kit {

// COM for the calling thread while the holder lives, when it is not set up already. A thread
// already in the multithreaded apartment stays there (RPC_E_CHANGED_MODE, not Ok): COM still works.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }
  bool Ok() const { return SUCCEEDED(hr_); }

 private:
  HRESULT hr_;
};

}  // namespace kit
