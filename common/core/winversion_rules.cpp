#include "common/core/winversion_rules.h"

namespace winversion {
namespace {
uint16_t ClassifyNt(const ReleaseFacts& f) {
  const bool workstation = f.productType == kProductWorkstation;
  if (f.major > 6) return WINVER_FUTURE;
  if (f.major == 6) {
    if (f.minor >= 3) return workstation ? WINVER_81 : WINVER_SERVER2012R2;
    if (f.minor == 2) return workstation ? WINVER_8 : WINVER_SERVER2012;
    if (f.minor == 1) return workstation ? WINVER_7 : WINVER_SERVER2008R2;
    return workstation ? WINVER_VISTA : WINVER_SERVER2008;
  }
  if (f.major < 5) return WINVER_NT4;
  if (f.minor >= 2) return workstation && f.nativeArchitecture == kProcessorAmd64 ? WINVER_XP : WINVER_SERVER2003;
  return f.minor == 1 ? WINVER_XP : WINVER_2000;
}
}  // namespace

uint16_t ClassifyRelease(const ReleaseFacts& f) {
  switch (f.platformId) {
    case kPlatformWin32s: return WINVER_WIN32S;
    case kPlatformWindows: return f.minor < 10 ? WINVER_95 : f.minor < 90 ? WINVER_98 : WINVER_ME;
    case kPlatformNt: return ClassifyNt(f);
    default: return WINVER_UNKNOWN;
  }
}

uint16_t ClassifyArchitecture(uint16_t processorArchitecture) {
  switch (processorArchitecture) {
    case kProcessorIntel: return ARCH_X86;
    case kProcessorIa64:
    case kProcessorAmd64:
    case kProcessorIa32OnWin64: return ARCH_64BIT;
    default: return ARCH_UNKNOWN;
  }
}
}  // namespace winversion
