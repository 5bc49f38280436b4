#include <gtest/gtest.h>

#include <cstring>

#include "common/core/model_identity.h"

using namespace MiscCommon;

TEST(ModelIdentity, HyphenRule) {
  struct Case {
    const char* raw;
    const char* shown;
  };
  const Case cases[] = {
      {"PT15KB3456CD", "PT-15KB3456CD"},
      {"PT-15KB3456C", "PT-15KB3456C"},  // already there
      {"AB", "AB"},
      {"", ""},
  };
  for (const Case& c : cases) {
    uint8_t raw[20] = {};
    std::memcpy(raw, c.raw, std::strlen(c.raw));
    EXPECT_EQ(FormatModelNumber(raw, std::strlen(c.raw)), c.shown);
  }
  const uint8_t padded[12] = {'P', 'T', '1', '5', 0, 0, 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(FormatModelNumber(padded, 12), "PT-15") << "stops at the first NUL";
}

TEST(ModelIdentity, SerialNumber) {
  const uint8_t raw[8] = {'9', 'K', '1', '2', '3', 0xD7, 0x11, 0x00};  // 4567
  EXPECT_EQ(FormatSerialNumber(raw), "9K12304567");
  const uint8_t big[8] = {'A', 'B', 'C', 'D', 'E', 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(FormatSerialNumber(big), "ABCDE16777215");
}

TEST(ModelIdentity, FirmwareFromDriverBytes) {
  const uint8_t withLetter[5] = {1, 0x23, 0x45, 'A', 0x67};
  const FirmwareVersion v = FirmwareFromDriverBytes(withLetter);
  EXPECT_EQ(v.major, 1u);
  EXPECT_EQ(v.minor, 23u);
  EXPECT_EQ(v.level, 45u);
  EXPECT_EQ(v.letter, 'A');
  EXPECT_EQ(v.mNumber, 67u);
  EXPECT_EQ(FirmwareText(v), "V1.23L45A M67");
  const uint8_t noLetter[5] = {2, 0x05, 0x10, 0, 0x01};
  EXPECT_EQ(FirmwareText(FirmwareFromDriverBytes(noLetter)), "V2.05L10 M01");
}
