// The 64-bit count from the 32-bit one XP offers: across its wrap, and never backwards.
#include <gtest/gtest.h>

#include "common/core/tick_count.h"

namespace {

struct Case {
  const char* what;
  uint64_t last;
  uint32_t now;
  uint64_t expected;
};

constexpr uint64_t kEpoch = uint64_t{1} << 32;

TEST(TickCount, ExtendsTheThirtyTwoBitCount) {
  const Case cases[] = {
      {"first reading", 0, 1234, 1234},
      {"forward", 5000, 7000, 7000},
      {"forward in a later epoch", 3 * kEpoch + 10, 20, 3 * kEpoch + 20},
      {"across the wrap", 0xFFFFFF00u, 0x10, kEpoch + 0x10},
      {"across the second wrap", kEpoch + 0xFFFFFFF0u, 5, 2 * kEpoch + 5},
      {"a late reading of another thread", kEpoch + 9000, 8000, kEpoch + 9000},
      {"the same reading", 42, 42, 42},
  };
  for (const Case& c : cases) EXPECT_EQ(tick::Extend(c.last, c.now), c.expected) << c.what;
}

}  // namespace
