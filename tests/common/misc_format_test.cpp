#include <gtest/gtest.h>

#include <vector>

#include "common/core/bytes.h"
#include "common/core/misc_format.h"

using namespace MiscCommon;

TEST(MiscFormat, DriverRequestLayout) {
  const uint8_t in[4] = {0xde, 0xad, 0xbe, 0xef};
  const std::vector<uint8_t> r = BuildDriverRequest(7, IOCTL_MISC_FUNCTION, in, 4, 12);
  const std::vector<uint8_t> expected = {7, 0, 0, 0,  28, 0, 0, 0,    0x44, 0x29, 0x22, 0, 4, 0, 0, 0,
                                         12, 0, 0, 0, 0xde, 0xad, 0xbe, 0xef, 0, 0, 0, 0};
  EXPECT_EQ(r, expected);
  DriverRequestView v;
  ASSERT_TRUE(ParseDriverRequest(r.data(), r.size(), v));
  EXPECT_EQ(v.sequence, 7u);
  EXPECT_EQ(v.code, IOCTL_MISC_FUNCTION);
  EXPECT_EQ(v.inputLength, 4u);
  EXPECT_EQ(v.outCapacity, 12u);
  // A size field that claims more input than is present is refused.
  std::vector<uint8_t> lying = r;
  bytes::PutU32(&lying[12], 100);
  EXPECT_FALSE(ParseDriverRequest(lying.data(), lying.size(), v));
}

TEST(MiscFormat, CapsuleLengthsAndLayout) {
  EXPECT_EQ(CapsuleLength(0), 16u);
  EXPECT_EQ(CapsuleLength(1), 24u);
  EXPECT_EQ(CapsuleLength(8), 24u);
  EXPECT_EQ(CapsuleLength(28), 48u);  // a 28-byte request: 32 + 16
  EXPECT_GT(CapsuleLength(0xFFFFFFF9u), 16u) << "a huge claimed length never wraps to a small capsule";
  const std::vector<uint8_t> payload(28, 0xAB);
  const std::vector<uint8_t> c = BuildCapsule(0x11223344, payload.data(), 28);
  ASSERT_EQ(c.size(), 48u);
  EXPECT_EQ(bytes::GetU32(&c[0]), 28u);
  EXPECT_EQ(bytes::GetU32(&c[4]), 48u);
  EXPECT_EQ(bytes::GetU32(&c[8]), 0x11223344u);
  EXPECT_EQ(c[12], 0xAB);
  EXPECT_EQ(c[39], 0xAB);
  for (size_t i = 40; i < 48; ++i) EXPECT_EQ(c[i], 0) << i;
}

TEST(MiscFormat, CipherSpanStaysInsideTheBuffer) {
  EXPECT_EQ(CipherSpan(28, 48), 32u);
  EXPECT_EQ(CipherSpan(1000, 48), 32u) << "a reply claiming more than fits";
  EXPECT_EQ(CipherSpan(0xFFFFFFFFu, 24), 8u);
  EXPECT_EQ(CipherSpan(5, 10), 0u);
}

TEST(MiscFormat, RegWRecordForOneCharacterPathAndName) {
  const uint8_t data[4] = {1, 2, 3, 4};
  const std::vector<uint8_t> r = BuildRegW(u"K", u"N", 4, data, 4);
  const std::vector<uint8_t> expected = {0x52, 0x65, 0x67, 0x57, 4, 0, 0, 0, 39, 0, 0, 0, 4, 0, 0, 0, 8, 0, 0, 0,
                                         4,    0,    0,    0,    'K', 0, 0, 0, 'N', 0, 0, 0, 1, 2, 3, 4, 0, 0, 0};
  EXPECT_EQ(r, expected);
  RegWView v;
  ASSERT_TRUE(ParseRegW(r.data(), r.size(), v));
  EXPECT_EQ(v.path, u"K");
  EXPECT_EQ(v.name, u"N");
  EXPECT_EQ(v.data, std::vector<uint8_t>({1, 2, 3, 4}));
}

TEST(MiscFormat, KeyOnlyRegWRecord) {
  const std::vector<uint8_t> r = BuildRegW(u"AB", nullptr, 0, nullptr, 0);
  ASSERT_EQ(r.size(), 24u + 6 + 3);
  EXPECT_EQ(bytes::GetU32(&r[8]), 33u);
  EXPECT_EQ(bytes::GetU32(&r[12]), 0u);
  EXPECT_EQ(bytes::GetU32(&r[16]), 0u);
  EXPECT_EQ(bytes::GetU32(&r[20]), 0u);
  RegWView v;
  ASSERT_TRUE(ParseRegW(r.data(), r.size(), v));
  EXPECT_EQ(v.path, u"AB");
  EXPECT_TRUE(v.name.empty());
}

TEST(MiscFormat, RgQIRecord) {
  const std::vector<uint8_t> r = BuildRgQI(u"Ab", u"X", 19);
  const std::vector<uint8_t> expected = {0x52, 0x67, 0x51, 0x49, 29, 0, 0, 0, 19, 0, 0, 0, 6, 0, 0, 0,
                                         'A',  0,    'b',  0,    0,  0, 'X', 0, 0, 0, 0, 0, 0};
  EXPECT_EQ(r, expected);
  RgQIView v;
  ASSERT_TRUE(ParseRgQI(r.data(), r.size(), v));
  EXPECT_EQ(v.path, u"Ab");
  EXPECT_EQ(v.name, u"X");
  EXPECT_EQ(v.replyCapacity, 19u);
}

TEST(MiscFormat, MalformedRecordsAreRefused) {
  std::vector<uint8_t> r = BuildRegW(u"K", u"N", 4, reinterpret_cast<const uint8_t*>("abcd"), 4);
  std::vector<uint8_t> shortened(r.begin(), r.end() - 1);
  RegWView v;
  EXPECT_FALSE(ParseRegW(shortened.data(), shortened.size(), v));
  bytes::PutU32(&r[16], 200);  // data offset past the end
  EXPECT_FALSE(ParseRegW(r.data(), r.size(), v));
  std::vector<uint8_t> q = BuildRgQI(u"K", u"N", 15);
  q[16] = 'X';  // path no longer ends where the name offset says
  q[17] = 0;
  q[18] = 'Y';
  RgQIView qv;
  EXPECT_FALSE(ParseRgQI(q.data(), q.size(), qv));
}

namespace {
std::vector<uint8_t> Block(uint8_t extendedLength) {
  std::vector<uint8_t> b(kModelInfoSize, 0);
  const char* base = "PT15KB3456CD";
  for (int i = 0; i < 12; ++i) b[40 + i] = static_cast<uint8_t>(base[i]);
  const char* tail = "XYZWVUTS";
  for (int i = 0; i < 8; ++i) b[96 + i] = static_cast<uint8_t>(tail[i]);
  b[95] = extendedLength;
  for (int i = 0; i < 8; ++i) b[32 + i] = static_cast<uint8_t>(0x30 + i);
  return b;
}
std::string Text(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }
}  // namespace

TEST(MiscFormat, ModelNumberPartsAndExtendedLength) {
  std::vector<uint8_t> part;
  ASSERT_EQ(SelectModelPart(Block(0).data(), 1, 100, part), MC_OK);
  EXPECT_EQ(Text(part), "PT15KB3456CD");
  ASSERT_EQ(SelectModelPart(Block(14).data(), 1, 16, part), MC_OK);
  EXPECT_EQ(Text(part), "PT15KB3456CD") << "a small buffer gets the 12 base bytes";
  ASSERT_EQ(SelectModelPart(Block(14).data(), 1, 100, part), MC_OK);
  EXPECT_EQ(Text(part), "PT15KB3456CXYZ") << "11 base bytes + 3 extended";
  ASSERT_EQ(SelectModelPart(Block(19).data(), 1, 20, part), MC_OK);
  EXPECT_EQ(part.size(), 19u);
  EXPECT_EQ(SelectModelPart(Block(20).data(), 1, 100, part), MC_ERR_FAILED);
  EXPECT_EQ(SelectModelPart(Block(11).data(), 1, 100, part), MC_ERR_FAILED);
  EXPECT_EQ(SelectModelPart(Block(0).data(), 7, 100, part), MC_ERR_INVALID_ARG);
  ASSERT_EQ(SelectModelPart(Block(20).data(), 2, 8, part), MC_OK) << "only the model number checks the length";
  EXPECT_EQ(Text(part), "01234567");
}

TEST(MiscFormat, PacketHeader) {
  uint8_t p[12];
  InitPacket(p, sizeof p, 70, kPacketClassOrdinary, 12, 12);
  EXPECT_EQ(p[0], 70);
  EXPECT_EQ(p[1], 2);
  EXPECT_EQ(PacketInputLength(p), 12);
  EXPECT_EQ(PacketOutputLength(p), 12);
  EXPECT_EQ(p[6] | p[7] | p[8] | p[11], 0);
}
