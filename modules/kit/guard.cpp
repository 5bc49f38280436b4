#include "modules/kit/guard.h"

namespace kit {

Failure FailureOf(std::exception_ptr e, const char16_t* module) {
  const std::u16string name = module ? module : u"module";
  try {
    std::rethrow_exception(e);
  } catch (const std::bad_alloc&) {
    return {kErrNotAvailable, name + u": not enough memory to start."};
  } catch (const std::exception& x) {
    std::u16string what;
    for (const char* p = x.what(); p && *p; ++p) what += static_cast<char16_t>(static_cast<unsigned char>(*p) < 0x80 ? *p : '?');
    return {kErrDriver, name + u": start-up failed" + (what.empty() ? u"." : u" (" + what + u").")};
  } catch (...) {
    return {kErrDriver, name + u": start-up failed."};
  }
}

}  // namespace kit
