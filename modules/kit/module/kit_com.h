// COM on a module's thread, for whatever it creates there.
#pragma once
#include <objbase.h>

namespace kit {

// COM for the calling thread while the holder lives, when it is not set up already.
class ComScope {
 public:
  ComScope() : hr_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ComScope(const ComScope&) = delete;
  ComScope& operator=(const ComScope&) = delete;
  ~ComScope() {
    if (SUCCEEDED(hr_)) CoUninitialize();
  }

 private:
  HRESULT hr_;
};

}  // namespace kit
