// Classification of the Windows release and processor architecture, from the numbers
// GetVersionExW and GetNativeSystemInfo report.
#pragma once
#include <cstdint>

enum : uint16_t {
  WINVER_UNKNOWN = 0,
  WINVER_WIN32S = 1,
  WINVER_95 = 2,
  WINVER_98 = 3,
  WINVER_NT4 = 4,
  WINVER_2000 = 5,
  WINVER_XP = 6,
  WINVER_ME = 7,
  WINVER_VISTA = 8,
  WINVER_SERVER2008 = 9,
  WINVER_SERVER2003 = 10,
  WINVER_7 = 11,
  WINVER_SERVER2008R2 = 12,
  WINVER_8 = 13,
  WINVER_SERVER2012 = 14,
  WINVER_81 = 15,
  WINVER_SERVER2012R2 = 16,
  WINVER_FUTURE = 0xFFFF,
};

enum : uint16_t { ARCH_UNKNOWN = 0, ARCH_X86 = 1, ARCH_64BIT = 2 };

enum : uint32_t { PLATFORM_TABLETPC = 1, PLATFORM_MEDIACENTER = 2, PLATFORM_STARTER = 4 };

namespace winversion {
constexpr uint32_t kPlatformWin32s = 0;
constexpr uint32_t kPlatformWindows = 1;
constexpr uint32_t kPlatformNt = 2;
constexpr uint8_t kProductWorkstation = 1;
constexpr uint16_t kProcessorIntel = 0;
constexpr uint16_t kProcessorIa64 = 6;
constexpr uint16_t kProcessorAmd64 = 9;
constexpr uint16_t kProcessorIa32OnWin64 = 10;

struct ReleaseFacts {
  uint32_t platformId = 0;
  uint32_t major = 0;
  uint32_t minor = 0;
  uint8_t productType = 0;          // wProductType of OSVERSIONINFOEXW
  uint16_t nativeArchitecture = 0;  // wProcessorArchitecture of GetNativeSystemInfo
};

uint16_t ClassifyRelease(const ReleaseFacts& facts);
uint16_t ClassifyArchitecture(uint16_t processorArchitecture);
}  // namespace winversion
