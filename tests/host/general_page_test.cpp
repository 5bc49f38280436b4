#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/core/general_page_rules.h"

using namespace host;

TEST(GeneralPage, AutoHideChoicesInOrder) {
  const std::vector<std::u16string> expected = {u"Never", u"1 min", u"2 mins", u"3 mins", u"4 mins", u"5 mins"};
  EXPECT_TRUE(AutoHideChoices(u"Never", u"min", u"mins") == expected);
}

TEST(GeneralPage, SelectionAndApplyEnableForStoredAndChosenValues) {
  EXPECT_EQ(AutoHideSelection(0), 0);
  EXPECT_EQ(AutoHideSelection(5), 5);
  EXPECT_EQ(AutoHideSelection(6), kNoSelection);
  EXPECT_EQ(AutoHideSelection(7), kNoSelection);
  EXPECT_EQ(AutoHideSelection(0xFFFFFFFFu), kNoSelection);

  struct Case {
    int selection;
    uint32_t saved;
    bool enables;
  } cases[] = {
      {1, 3, true}, {3, 3, false}, {0, 7, true}, {kNoSelection, 7, false}, {6, 3, false}, {5, 0xFFFFFFFFu, true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ListChangeEnablesApply(c.selection, c.saved), c.enables) << c.selection << " saved " << c.saved;
}

TEST(GeneralPage, DefaultsShowAndApplyRoundTrip) {
  HostSettings defaults;
  const GeneralPageState shown = GeneralPageFrom(defaults);
  EXPECT_TRUE(shown.miniPopup);
  EXPECT_FALSE(shown.flashIcon);
  EXPECT_FALSE(shown.beepSound);
  EXPECT_EQ(shown.selection, 3) << "the fourth choice, 3 minutes";

  HostSettings s;
  s.miniPopup = 5;  // any nonzero is on, saved back as 1
  s.clockSpeed = 250;
  ApplyGeneralPage({true, true, false, 1}, &s);
  EXPECT_EQ(s.miniPopup, 1u);
  EXPECT_EQ(s.flashIcon, 1u);
  EXPECT_EQ(s.beepSound, 0u);
  EXPECT_EQ(s.miniPopupTime, 1u);
  EXPECT_EQ(s.clockSpeed, 250u) << "the page touches only its own values";
}

TEST(GeneralPage, HandSetTimeSurvivesApplyWithoutSelection) {
  HostSettings s;
  s.miniPopupTime = 7;
  GeneralPageState page = GeneralPageFrom(s);
  EXPECT_EQ(page.selection, kNoSelection);
  page.beepSound = true;
  ApplyGeneralPage(page, &s);
  EXPECT_EQ(s.miniPopupTime, 7u);
  EXPECT_EQ(s.beepSound, 1u);
}

TEST(GeneralPage, BannerByDpi) {
  struct Case {
    int dpi;
    BannerSize banner;
  } cases[] = {{0, BannerSize::Dpi96},    {96, BannerSize::Dpi96},   {119, BannerSize::Dpi96},
               {120, BannerSize::Dpi120}, {143, BannerSize::Dpi120}, {144, BannerSize::Dpi144},
               {192, BannerSize::Dpi144}};
  for (const Case& c : cases) EXPECT_EQ(c.banner, BannerForDpi(c.dpi)) << c.dpi;
}
