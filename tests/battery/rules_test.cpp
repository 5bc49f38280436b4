// Battery rules: dates, due rule, wear, duration text, layout kind and pack identity.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "modules/battery/bat_rules.h"
#include "modules/battery/module/bat_resource_ids.h"
#include "modules/battery/native/bat_native.h"

using namespace bat;

TEST(BatDates, DateWordAndRegistryForm) {
  struct Case {
    uint16_t word;
    Date date;
  } cases[] = {{0x0000, {1980, 0, 0}}, {0x4A21, {2017, 1, 1}}, {0x5B8A, {2025, 12, 10}}, {0xFFFF, {2107, 15, 31}}};
  for (const Case& c : cases) {
    EXPECT_EQ(DecodeDateWord(c.word), c.date) << std::hex << c.word;
    if (c.date.month <= 12) {
      EXPECT_EQ(EncodeDateWord(c.date), c.word);
    }
  }
  EXPECT_EQ(FormatRegistryDate({2026, 3, 7}), u"2026/03/07");
  EXPECT_EQ(ParseRegistryDate(u"2026/03/07"), (Date{2026, 3, 7}));
  EXPECT_EQ(ParseRegistryDate(u"2026/3/7"), (Date{2026, 3, 7}));
  for (const char16_t* bad : {u"", u"2026-03-07", u"07.03.2026", u"2026/03", u"令和8/3/7"})
    EXPECT_FALSE(ParseRegistryDate(bad)) << std::u16string(bad).size();
  EXPECT_TRUE(IsValidRecalDate({2026, 12, 31}));
  for (Date d : {Date{1899, 1, 1}, Date{3001, 1, 1}, Date{2026, 13, 1}, Date{2026, 0, 1}, Date{2026, 1, 0}})
    EXPECT_FALSE(IsValidRecalDate(d)) << d.year << "/" << d.month << "/" << d.day;
}

TEST(BatDue, IntervalBoundaries) {
  const int64_t m = 1000000;
  struct Case {
    uint32_t interval;
    int64_t elapsed;
    bool due;
  } cases[] = {{0, kDay - 1, false}, {0, kDay, true},           {1, 7 * kDay - 1, false}, {1, 7 * kDay, true},
               {2, 30 * kDay - 1, false}, {2, 30 * kDay, true}, {5, 0, true},             {0, -kDay, false}};
  for (const Case& c : cases) EXPECT_EQ(IsDue(false, m, c.interval, m + c.elapsed), c.due) << c.interval << " " << c.elapsed;
  EXPECT_TRUE(IsDue(true, m, 2, m)) << "a new recalibration makes every condition due";
  EXPECT_TRUE(IsDue(false, std::nullopt, 2, m)) << "never notified";
}

TEST(BatWear, Thresholds) {
  struct Case {
    uint32_t design, full, percent, found;
  } cases[] = {{100, 51, 51, 0},          {100, 50, 50, kHalfCapa}, {100, 31, 31, kHalfCapa}, {100, 30, 30, kNoCapa},
               {100, 0, 0, kNoCapa},      {100, 100, 100, 0},       {100, 120, 100, 0},       {0, 0, 100, 0},
               {5000, 2549, 50, kHalfCapa}, {4000000000u, 3999999999u, 99, 0}};
  for (const Case& c : cases) {
    EXPECT_EQ(WearPercent(c.design, c.full), c.percent) << c.design << "/" << c.full;
    EXPECT_EQ(WearFindings(c.percent, kHalfCapa | kNoCapa), c.found) << c.percent;
  }
  EXPECT_EQ(WearFindings(50, kNoCapa), 0u) << "only what is checked is found";
}

TEST(BatDuration, HalfHoursRoundedUp) {
  struct Case {
    uint32_t base, extra;
    const char16_t* text;
  } cases[] = {{0, 0, u"約0 ～ 0"}, {60, 0, u"約1 ～ 1.5"}, {61, 0, u"約1.5 ～ 2"}, {60, 30, u"約1 ～ 2"},
               {150, 45, u"約2.5 ～ 4.5"}};
  for (const Case& c : cases)
    EXPECT_EQ(DurationText(SourceStrings().Get(IDS_DURATION), c.base, c.extra), c.text) << c.base << "+" << c.extra;
}

TEST(BatLayout, ConfigWordAndPatterns) {
  struct Case {
    uint16_t word;
    std::optional<int> kind;
  } cases[] = {{0x01, 0}, {0x05, 2}, {0x09, 1}, {0x0D, 2}, {0x03, 0}, {0x0B, 1}, {0x00, std::nullopt}, {0x0A, std::nullopt}};
  for (const Case& c : cases) EXPECT_EQ(KindFromConfigWord(c.word), c.kind) << c.word;

  const LayoutPatterns& p = DefaultLayoutPatterns();
  EXPECT_EQ(LayoutKind(p, "PT15KB3456CD", 0x09), 1) << "the word decides";
  EXPECT_EQ(LayoutKind(p, "PT15KB3456CD", 0x0A), std::nullopt) << "bits 0-1 = 2 and no pattern: unknown";
  EXPECT_EQ(LayoutKind(p, "PT15KB3456CD", std::nullopt), std::nullopt);
  EXPECT_EQ(LayoutKind(p, "RX-7EX100", 0x01), 1) << "pattern A: the word is ignored";
  EXPECT_EQ(LayoutKind(p, "RX-7QS100", std::nullopt), 3);
}

TEST(BatIdentity, FormatsAndKeyNames) {
  EXPECT_EQ(PackIdentity("DYNABOOK-BT1", {2024, 5, 10}, 100), u"DYNABOOK-BT1  24051000100");
  EXPECT_EQ(PackIdentity("PACK", {1999, 12, 31}, 65535), u"PACK          99123165535");
  EXPECT_EQ(PackIdentity("A\\B\x01\xC3", {2024, 5, 10}, 7), u"A_B__         24051000007")
      << "a backslash would nest the key";
  EXPECT_EQ(PackIdentity("ABCDEFGHIJKLMNOP", {2024, 5, 10}, 1).size(), 25u);
  EXPECT_EQ(SlotIdentity(0), u"000");
  EXPECT_EQ(SlotIdentity(1), u"001");
}

// Local midnight with the daylight rule of the date itself, not of today.
TEST(BatRecal, OneHundredEightyDaysFromLocalMidnightAcrossDaylightSaving) {
  setenv("TZ", "Europe/Berlin", 1);
  tzset();
  TzClock clock(0);
  const auto midnight = clock.LocalMidnight({2026, 3, 1});  // winter time: 23:00 UTC the day before
  ASSERT_TRUE(midnight);
  EXPECT_EQ(*midnight, 1772319600);
  EXPECT_FALSE(RecalFound(*midnight + kRecalAge - 1, *midnight));
  EXPECT_TRUE(RecalFound(*midnight + kRecalAge, *midnight));
  const auto autumn = clock.LocalMidnight({2026, 10, 25});  // the night the clocks go back
  ASSERT_TRUE(autumn);
  EXPECT_EQ(*autumn, 1792879200);
  unsetenv("TZ");
  tzset();
}
