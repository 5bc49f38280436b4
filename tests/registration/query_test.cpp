// The protected query: CryptoAPI's key derivation over the port, padding, salt and hex.
#include <gtest/gtest.h>

#include "modules/registration/reg_query.h"
#include "modules/registration/reg_settings.h"
#include "tests/registration/reg_test_util.h"

using regtest::ScriptedCrypto;

TEST(RegQuery, DerivesTheDes3KeyAsCryptDeriveKeyDocumentsIt) {
  // Expected value worked out separately (Python hashlib) from the documented 0x36/0x5C steps.
  uint8_t hash[crypto::kSha1Size], key[crypto::kDes3KeySize];
  for (int i = 0; i < 20; ++i) hash[i] = static_cast<uint8_t>(i);
  reg::QueryCrypto c;
  ASSERT_TRUE(reg::DeriveDes3Key(c, hash, key));
  EXPECT_EQ(std::vector<uint8_t>(key, key + sizeof key), regtest::FromHex("b0e60335b761a87b29ea13b4b266c8b6665c04e183c74b5d"));
}

TEST(RegQuery, RoundTripsWithSaltFirstAndWholePaddingBlocks) {
  const std::string& password = reg::DefaultSettings().queryPassword;
  ASSERT_EQ(password.size(), 255u);
  for (const std::string plain : {"PT-15KB3456CD&9K12304567", "PT-15KB3&", "A", "RX-7WQ2210HJ5800&5Z08A00042"}) {
    ScriptedCrypto c;
    c.salt = regtest::FromHex("0102030405060708");
    const auto q = reg::BuildQuery(plain, password, c);
    ASSERT_TRUE(q) << plain;
    const size_t padded = (plain.size() / 8 + 1) * 8;  // a whole block of padding when it fits exactly
    EXPECT_EQ(q->size(), 2 * (8 + padded)) << plain;
    EXPECT_EQ(q->substr(0, 16), "0102030405060708");
    EXPECT_EQ(q->find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(regtest::DecryptQuery(*q, password), plain);
    EXPECT_NE(regtest::DecryptQuery(*q, password.substr(1) + "x"), plain) << "another password must not decrypt it";
  }
}

TEST(RegQuery, RandomSaltMakesEveryQueryDifferent) {
  reg::QueryCrypto c;
  const auto a = reg::BuildQuery("PT-15KB3456CD&9K12304567", "pw", c);
  const auto b = reg::BuildQuery("PT-15KB3456CD&9K12304567", "pw", c);
  ASSERT_TRUE(a && b);
  EXPECT_NE(*a, *b);
  EXPECT_EQ(regtest::DecryptQuery(*b, "pw"), "PT-15KB3456CD&9K12304567");
}

TEST(RegQuery, AnyFailingStepGivesNoQuery) {
  for (int step = 0; step < 3; ++step) {
    ScriptedCrypto c;
    c.failRandom = step == 0;
    c.failSha1 = step == 1;
    c.failDes = step == 2;
    EXPECT_FALSE(reg::BuildQuery("PT-15KB3456CD&9K12304567", "pw", c)) << step;
  }
  reg::QueryCrypto c;
  EXPECT_FALSE(reg::BuildQuery(std::string(reg::kMaxPlainText + 1, 'A'), "pw", c));
  EXPECT_TRUE(reg::BuildQuery(std::string(reg::kMaxPlainText, 'A'), "pw", c));
  EXPECT_FALSE(reg::BuildQuery("", "pw", c));
}
