#include <gtest/gtest.h>

#include "common/core/winversion_rules.h"

using winversion::ReleaseFacts;

TEST(WinVersionRules, ClassifiesReleases) {
  constexpr uint8_t kWs = 1, kServer = 3;
  constexpr uint16_t kX86 = 0, kAmd64 = 9;
  struct Case {
    ReleaseFacts facts;
    uint16_t expected;
  };
  const Case cases[] = {
      {{0, 3, 10, 0, kX86}, WINVER_WIN32S},
      {{1, 4, 0, 0, kX86}, WINVER_95},
      {{1, 4, 10, 0, kX86}, WINVER_98},
      {{1, 4, 89, 0, kX86}, WINVER_98},
      {{1, 4, 90, 0, kX86}, WINVER_ME},
      {{2, 4, 0, kWs, kX86}, WINVER_NT4},
      {{2, 5, 0, kWs, kX86}, WINVER_2000},
      {{2, 5, 1, kWs, kX86}, WINVER_XP},
      {{2, 5, 2, kWs, kAmd64}, WINVER_XP},  // 64-bit XP
      {{2, 5, 2, kWs, kX86}, WINVER_SERVER2003},
      {{2, 5, 2, kServer, kAmd64}, WINVER_SERVER2003},
      {{2, 6, 0, kWs, kX86}, WINVER_VISTA},
      {{2, 6, 0, kServer, kX86}, WINVER_SERVER2008},
      {{2, 6, 1, kWs, kAmd64}, WINVER_7},
      {{2, 6, 1, kServer, kAmd64}, WINVER_SERVER2008R2},
      {{2, 6, 2, kWs, kAmd64}, WINVER_8},
      {{2, 6, 2, kServer, kAmd64}, WINVER_SERVER2012},
      {{2, 6, 3, kWs, kAmd64}, WINVER_81},
      {{2, 6, 4, kWs, kAmd64}, WINVER_81},
      {{2, 6, 3, kServer, kAmd64}, WINVER_SERVER2012R2},
      {{2, 10, 0, kWs, kAmd64}, WINVER_FUTURE},
      {{2, 7, 0, kServer, kAmd64}, WINVER_FUTURE},
      {{3, 6, 1, kWs, kX86}, WINVER_UNKNOWN},
  };
  for (const Case& c : cases)
    EXPECT_EQ(winversion::ClassifyRelease(c.facts), c.expected)
        << "platform " << c.facts.platformId << " " << c.facts.major << "." << c.facts.minor << " type "
        << int(c.facts.productType);
}

TEST(WinVersionRules, ClassifiesArchitectures) {
  EXPECT_EQ(winversion::ClassifyArchitecture(0), ARCH_X86);
  for (uint16_t a : {6, 9, 10}) EXPECT_EQ(winversion::ClassifyArchitecture(a), ARCH_64BIT) << a;
  for (uint16_t a : {5, 12, 0xFFFF}) EXPECT_EQ(winversion::ClassifyArchitecture(a), ARCH_UNKNOWN) << a;
}
