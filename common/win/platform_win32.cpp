#include <windows.h>

#include "common/core/platform.h"

namespace platform {
uint32_t GetLastErrorCode() { return ::GetLastError(); }
void SetLastErrorCode(uint32_t code) { ::SetLastError(code); }
void SleepMs(uint32_t ms) { ::Sleep(ms); }
}  // namespace platform
