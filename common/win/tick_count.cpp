#include "common/win/tick_count.h"

#include <atomic>

#include "common/core/tick_count.h"

namespace tw::win {
namespace {

using TickCount64Fn = ULONGLONG(WINAPI*)();

// No guarded static and no library loading here: the thread runtime calls this while it
// waits, and kernel32 is always loaded.
std::atomic<TickCount64Fn> resolved{nullptr};
std::atomic<bool> looked{false};

TickCount64Fn Native() {
  if (!looked.load(std::memory_order_acquire)) {
    resolved.store(reinterpret_cast<TickCount64Fn>(reinterpret_cast<void*>(
                       GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "GetTickCount64"))),
                   std::memory_order_relaxed);
    looked.store(true, std::memory_order_release);
  }
  return resolved.load(std::memory_order_relaxed);
}

std::atomic<uint64_t> g_last{0};

ULONGLONG Extended() {
  uint64_t last = g_last.load();
  for (;;) {
    const uint64_t next = tick::Extend(last, GetTickCount());
    if (next == last || g_last.compare_exchange_weak(last, next)) return next;
  }
}

}  // namespace

ULONGLONG WINAPI TickCount64() {
  const TickCount64Fn native = Native();
  return native ? native() : Extended();
}

}  // namespace tw::win

// The static thread runtime (winpthreads) imports GetTickCount64, which XP and XP x64 lack, so
// no program would start there. Its import slot is defined here instead, pointing at the
// function above; the linker then takes no GetTickCount64 from kernel32. This object is linked
// into every program directly, so that it comes before the runtime's libraries.
extern "C" {
#ifdef _WIN64
__attribute__((used)) ULONGLONG(WINAPI* tw_imp_GetTickCount64)() __asm__("__imp_GetTickCount64") =
    &tw::win::TickCount64;
#else
__attribute__((used)) ULONGLONG(WINAPI* tw_imp_GetTickCount64)() __asm__("__imp__GetTickCount64@0") =
    &tw::win::TickCount64;
#endif
}
