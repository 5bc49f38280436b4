// A 64-bit millisecond count from a 32-bit one that wraps every 49.7 days (what Windows XP
// offers), given the last 64-bit count handed out.
#pragma once

#include <cstdint>

namespace tick {

// A reading below the last one by less than half the range is a late reading from another
// thread, not a wrap: the count never goes back. Wraps are seen as long as readings come at
// least every 24 days.
constexpr uint64_t Extend(uint64_t last, uint32_t now) {
  const uint32_t low = static_cast<uint32_t>(last);
  const uint64_t epoch = last & ~uint64_t{0xFFFFFFFF};
  if (now >= low) return epoch | now;
  if (low - now < 0x80000000u) return last;
  return (epoch + (uint64_t{1} << 32)) | now;
}

}  // namespace tick
