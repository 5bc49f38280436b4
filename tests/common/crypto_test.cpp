// Known-answer vectors: the same table passes with OpenSSL natively and CryptoAPI under Wine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "common/core/crypto.h"

namespace {
std::vector<uint8_t> Hex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}
std::string ToHex(const uint8_t* p, size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  for (size_t i = 0; i < n; ++i) s += {digits[p[i] >> 4], digits[p[i] & 15]};
  return s;
}
std::vector<uint8_t> Text(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }
}  // namespace

TEST(Crypto, Sha1KnownAnswers) {
  uint8_t out[crypto::kSha1Size];
  const std::vector<uint8_t> abc = Text("abc");
  ASSERT_TRUE(crypto::Sha1(abc.data(), abc.size(), out));
  EXPECT_EQ(ToHex(out, sizeof out), "a9993e364706816aba3e25717850c26c9cd0d89d");
  ASSERT_TRUE(crypto::Sha1(nullptr, 0, out));
  EXPECT_EQ(ToHex(out, sizeof out), "da39a3ee5e6b4b0d3255bfef95601890afd80709");
}

TEST(Crypto, Md5AndBase64KnownAnswers) {
  uint8_t md5[crypto::kMd5Size];
  const std::vector<uint8_t> abc = Text("abc");
  ASSERT_TRUE(crypto::Md5(abc.data(), abc.size(), md5));
  EXPECT_EQ(ToHex(md5, sizeof md5), "900150983cd24fb0d6963f7d28e17f72");
  struct Case {
    std::string data, text;
  };
  // Past 64 characters the text still stays on one line.
  const Case cases[] = {
      {"", ""}, {"\xff\xfe\x80", "//6A"}, {"f", "Zg=="}, {"fo", "Zm8="}, {"foo", "Zm9v"}, {"foobar", "Zm9vYmFy"},
      {std::string(50, 'a'),
       "YWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWFhYWE="},
  };
  for (const Case& c : cases) {
    std::string text;
    const std::vector<uint8_t> data = Text(c.data);
    ASSERT_TRUE(crypto::Base64(data.data(), data.size(), text)) << c.data;
    EXPECT_EQ(text, c.text) << c.data;
  }
}

TEST(Crypto, HmacSha1KnownAnswers) {
  struct Case {
    std::vector<uint8_t> key;
    std::string data, mac;
  };
  const Case cases[] = {
      {std::vector<uint8_t>(20, 0x0b), "Hi There", "b617318655057264e28bc0b6fb378c8ef146be00"},
      {Text("Jefe"), "what do ya want for nothing?", "effcdf6ae5eb2fa2d27416d5f184df9c259a7c79"},
      // A key longer than the block is hashed first.
      {std::vector<uint8_t>(80, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First",
       "aa4ae5e15272d00e95705637ce8a3b55ed402112"},
  };
  for (const Case& c : cases) {
    uint8_t out[crypto::kSha1Size];
    const std::vector<uint8_t> data = Text(c.data);
    ASSERT_TRUE(crypto::HmacSha1(c.key.data(), c.key.size(), data.data(), data.size(), out));
    EXPECT_EQ(ToHex(out, sizeof out), c.mac) << c.data;
  }
}

TEST(Crypto, TripleDesCbcKnownAnswerWithoutPadding) {
  const std::vector<uint8_t> key = Hex("0123456789abcdeffedcba987654321089abcdef01234567");
  const std::vector<uint8_t> iv = Hex("1234567890abcdef");
  std::vector<uint8_t> data = Text("Now is the time for all ");
  auto des = crypto::Des3Cbc::Create(key.data());
  ASSERT_TRUE(des);
  ASSERT_TRUE(des->Encrypt(iv.data(), data.data(), data.size()));
  EXPECT_EQ(ToHex(data.data(), data.size()), "204011f986e35647199e47af391620c5bb9a5bcfc86db0bb");
  // The IV is set per call, so the same object deciphers independently of what came before.
  ASSERT_TRUE(des->Decrypt(iv.data(), data.data(), data.size()));
  EXPECT_EQ(std::string(data.begin(), data.end()), "Now is the time for all ");
  EXPECT_FALSE(des->Encrypt(iv.data(), data.data(), 7)) << "partial blocks are refused";
}

TEST(Crypto, RandomBytesDiffer) {
  uint8_t a[16] = {}, b[16] = {};
  ASSERT_TRUE(crypto::RandomBytes(a, sizeof a));
  ASSERT_TRUE(crypto::RandomBytes(b, sizeof b));
  EXPECT_NE(0, std::memcmp(a, b, sizeof a));
}
