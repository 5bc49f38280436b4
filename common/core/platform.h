// The thread's last-error slot and sleeping. The Windows build links the real calls;
// native builds link a thread-local stand-in, so the core keeps Win32 error semantics.
#pragma once
#include <cstdint>

namespace platform {
uint32_t GetLastErrorCode();
void SetLastErrorCode(uint32_t code);
void SleepMs(uint32_t ms);
}  // namespace platform
