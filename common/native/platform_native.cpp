// Native stand-in for the thread's Win32 last-error slot.
#include <chrono>
#include <thread>

#include "common/core/platform.h"

namespace platform {
namespace {
thread_local uint32_t lastError = 0;
}
uint32_t GetLastErrorCode() { return lastError; }
void SetLastErrorCode(uint32_t code) { lastError = code; }
void SleepMs(uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }
}  // namespace platform
