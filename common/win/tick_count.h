// Milliseconds since start-up as a 64-bit count on every Windows: GetTickCount64 where there
// is one (Vista and later), the 32-bit count extended over its wraps on XP.
#pragma once

#include <windows.h>

namespace tw::win {

ULONGLONG WINAPI TickCount64();

}  // namespace tw::win
