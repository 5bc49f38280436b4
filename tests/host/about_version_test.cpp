#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "host/core/about_version.h"

using namespace host;

TEST(AboutVersion, CutsAtTheFirstMOrTheSpaceBeforeIt) {
  struct Case {
    const char16_t* stored;
    std::optional<std::u16string> shown;
  } cases[] = {
      {u"V7.01L10 M00", u"V7.01L10"},
      {u"V7.01L10M00", u"V7.01L10"},
      {u"V7.01L10 MM M1", u"V7.01L10"},     // the first M decides
      {u"V7.01L10  M00", u"V7.01L10"},      // a blank left before the cut is dropped
      {u"V7.01L10", u"V7.01L10"},           // no M at all: the whole text
      {u"V7.01L10 A12   ", u"V7.01L10 A12"},
      {u"V7.01", std::nullopt},             // 5 characters: the dialog's own line stays
      {u"V7.01L", std::nullopt},            // 6
      {u"V7.01L1", u"V7.01L1"},             // 7
      {u"M1234567", std::nullopt},          // nothing before the M, and nothing before it to read
      {u" M123456", std::nullopt},
      {u"       ", std::nullopt},
  };
  for (const Case& c : cases) {
    const std::u16string stored = c.stored;
    const auto got = AboutVersionCut(stored);
    EXPECT_TRUE(got == c.shown) << std::string(stored.begin(), stored.end());
  }
}

TEST(AboutVersion, ValueTextStopsAtNulOrTheEndOfWhatWasRead) {
  const char16_t multi[] = {u'V', u'1', 0, u'V', u'2', 0, 0};
  EXPECT_TRUE(VersionFromValue(multi, 7) == u"V1") << "first string of a multi-string";
  const char16_t unterminated[] = {u'V', u'7', u'.', u'0', u'1'};
  EXPECT_TRUE(VersionFromValue(unterminated, 3) == u"V7.") << "never past what was read";
  EXPECT_TRUE(VersionFromValue(unterminated, 0).empty());
}
