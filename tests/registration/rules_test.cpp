// Offer choice, first-use date and the reminder window.
#include <gtest/gtest.h>

#include "modules/registration/reg_rules.h"

using reg::Variant;

TEST(RegVariant, DefaultPatternsPickTheOfferByModel) {
  const struct {
    const char16_t* model;
    Variant variant;
  } cases[] = {
      {u"PT-15KB3456CD", Variant::FreeWarranty3},     // the default simulated notebook
      {u"PT-15KB4120CD", Variant::FreeWarranty4},     // tried before the 3-year line
      {u"RX-7WQ2210HJ5800", Variant::OwnerRegistration},  // extended model number
      {u"PT-13AB1000", Variant::OwnerRegistration},
      {u"UV-15GK2205AB", Variant::SpecialWarranty3},
      {u"ZZ-15KB3456CD", Variant::None},
      {u"PT15KB3456CD", Variant::None},  // the hyphen is part of what is matched
      {u"", Variant::None},
  };
  for (const auto& c : cases)
    EXPECT_EQ(reg::ChooseVariant(c.model, reg::DefaultSettings()), c.variant) << testing::PrintToString(std::u16string(c.model));
}

TEST(RegVariant, BrokenPatternMatchesNothing) {
  reg::Settings s = reg::DefaultSettings();
  s.variant4Pattern = u"{PT";
  EXPECT_EQ(reg::ChooseVariant(u"PT-15KB4120CD", s), Variant::OwnerRegistration);
}

TEST(RegFirstLogin, ReadLikeScanfWithDefaults) {
  const struct {
    const char16_t* text;
    int year, month, day;  // 0: no date
  } cases[] = {
      {u"04/15/2026", 2026, 4, 15},
      {u" 4/ 5/2026", 2026, 4, 5},
      {u"12/31/2099", 2099, 12, 31},
      {u"4/15", 2007, 4, 15},         // year missing: 2007
      {u"", 2007, 1, 1},              // nothing parses: 1/1/2007
      {u"x/15/2026", 2007, 1, 1},     // a failed field stops the reading
      {u"04-15-2026", 2007, 4, 1},
      {u"04/15/20261", 2026, 4, 15},  // four year digits at most
      {u"02/29/2024", 2024, 2, 29},
      {u"02/29/2026", 0, 0, 0},       // no such day: no first-use date
      {u"13/01/2026", 0, 0, 0},
      {u"-1/01/2026", 0, 0, 0},
      {u"04/15/1600", 0, 0, 0},
  };
  for (const auto& c : cases) {
    const auto t = reg::ParseFirstLogin(c.text);
    if (c.year == 0) {
      EXPECT_FALSE(t) << testing::PrintToString(std::u16string(c.text));
      continue;
    }
    ASSERT_TRUE(t);
    EXPECT_EQ(t->year, c.year);
    EXPECT_EQ(t->month, c.month);
    EXPECT_EQ(t->day, c.day);
    EXPECT_EQ(t->hour + t->minute + t->second, 0);
  }
}

TEST(RegDays, WholeDaysTruncatedTowardZero) {
  const reg::LocalTime first{2026, 2, 27, 0, 0, 0};
  EXPECT_EQ(reg::DaysBetween(first, {2026, 2, 27, 23, 59, 59}), 0);
  EXPECT_EQ(reg::DaysBetween(first, {2026, 3, 1, 0, 0, 0}), 2);  // across the end of February
  EXPECT_EQ(reg::DaysBetween(first, {2027, 2, 27, 0, 0, 0}), 365);
  EXPECT_EQ(reg::DaysBetween(first, {2026, 2, 26, 0, 0, 1}), 0);   // less than a day before
  EXPECT_EQ(reg::DaysBetween(first, {2026, 2, 25, 12, 0, 0}), -1);
}

TEST(RegWindow, WindowAndUrgencyByVariant) {
  const struct {
    Variant v;
    std::optional<int64_t> days;
    bool inside, urgent;
  } cases[] = {
      {Variant::FreeWarranty3, 21, true, false},   {Variant::FreeWarranty3, 22, true, true},
      {Variant::FreeWarranty3, 31, true, true},    {Variant::FreeWarranty3, 32, false, false},
      {Variant::FreeWarranty4, 22, true, true},    {Variant::SpecialWarranty3, 32, false, false},
      {Variant::OwnerRegistration, 350, true, false}, {Variant::OwnerRegistration, 351, true, true},
      {Variant::OwnerRegistration, 365, true, true},  {Variant::OwnerRegistration, 366, false, false},
      {Variant::OwnerRegistration, -5, true, false},  // first use in the future: inside, never urgent
      // No first-use date is not "day 365": no reminder at all.
      {Variant::OwnerRegistration, std::nullopt, false, false},
      {Variant::FreeWarranty3, std::nullopt, false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(reg::InsideWindow(c.v, c.days), c.inside) << static_cast<int>(c.v) << " " << c.days.value_or(-999);
    EXPECT_EQ(reg::IsUrgent(c.v, c.days), c.urgent) << static_cast<int>(c.v) << " " << c.days.value_or(-999);
  }
}
