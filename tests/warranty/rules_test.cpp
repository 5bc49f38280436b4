// The warranty offer's rules: schedule days, definition file, screen and popup geometry,
// the page and the clicks in it.
#include <gtest/gtest.h>

#include "modules/warranty/xwpk_rules.h"

using kit::LocalTime;

TEST(XwpkSchedule, CalendarDaysFromTheFirstStart) {
  const struct {
    const char16_t* firstLogin;
    LocalTime now;
    int64_t days;
    bool open;
  } cases[] = {
      {u"04/01/2013", {2014, 3, 31, 23, 59, 0}, 364, true},
      {u"04/01/2013", {2014, 4, 1, 0, 0, 0}, 365, true},
      {u"04/01/2013", {2014, 4, 2, 0, 0, 1}, 366, false},
      {u"03/01/2015", {2016, 2, 29, 8, 0, 0}, 365, true},  // across a leap day
      {u"03/01/2015", {2016, 3, 1, 8, 0, 0}, 366, false},
      {u"12/11/2026", {2026, 12, 10, 9, 0, 0}, -1, true},  // a future date is inside
  };
  for (const auto& c : cases) {
    const auto date = xwpk::OfferDate(kit::ParseFirstLogin(c.firstLogin));
    ASSERT_TRUE(date);
    const int64_t days = xwpk::DaysSinceFirstStart(date, c.now);
    EXPECT_EQ(days, c.days) << testing::PrintToString(std::u16string(c.firstLogin));
    EXPECT_EQ(xwpk::InsideOfferYear(days), c.open);
  }
}

TEST(XwpkSchedule, NoDateOrAnInvalidOneGivesNoDate) {
  EXPECT_FALSE(xwpk::OfferDate(std::nullopt));
  EXPECT_FALSE(xwpk::OfferDate(kit::ParseFirstLogin(u"02/30/2014")));
  EXPECT_FALSE(xwpk::OfferDate(kit::ParseFirstLogin(u"13/01/2014")));
  EXPECT_FALSE(xwpk::OfferDate(LocalTime{1899, 12, 31, 0, 0, 0}));
  // The time of day of an installation moment does not count, only its date.
  const auto date = xwpk::OfferDate(LocalTime{2014, 4, 1, 23, 30, 0});
  ASSERT_TRUE(date);
  EXPECT_EQ(xwpk::DaysSinceFirstStart(date, LocalTime{2014, 4, 2, 0, 10, 0}), 1);
  EXPECT_EQ(xwpk::DateDigits(*date), u"20140401");
  // Without a date the settings box stays usable (365 days).
  EXPECT_EQ(xwpk::DaysSinceFirstStart(std::nullopt, LocalTime{2026, 1, 1, 0, 0, 0}), 365);
}

TEST(XwpkDefinition, ThreeLinesWithBlanksAndTrailingSpace) {
  const struct {
    std::u16string content;
    bool ok;
    const char16_t *text, *normal, *small;
  } cases[] = {
      {u"Offer\nhttps://a/n.png\nhttps://a/s.png\n", true, u"Offer", u"https://a/n.png", u"https://a/s.png"},
      {u"Offer\r\nhttps://a/n.png\r\nhttps://a/s.png", true, u"Offer", u"https://a/n.png", u"https://a/s.png"},
      {u"\n\n  \nOffer \t\n\nhttps://a/n.png  \r\nhttps://a/s.png\t\nmore\n", true, u"Offer", u"https://a/n.png",
       u"https://a/s.png"},
      // A blank third line: no image for a small screen, a normal screen still gets its offer.
      {u"Offer\nhttps://a/n.png\n\t\nhttps://a/s.png\n", true, u"Offer", u"https://a/n.png", u""},
      {u"  Offer\nx\ny\n", true, u"  Offer", u"x", u"y"},  // leading blanks stay
      {u"Offer\nhttps://a/n.png\n", false, nullptr, nullptr, nullptr},
      {u"Offer\nhttps://a/n.png\n \t\r\n", true, u"Offer", u"https://a/n.png", u""},
      {u"", false, nullptr, nullptr, nullptr},
      {u"Offer\n" + std::u16string(259, u'a') + u"   \nc\n", true, u"Offer", nullptr, u"c"},
      {u"Offer\n" + std::u16string(260, u'a') + u"\nc\n", false, nullptr, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    const auto d = xwpk::ParseDefinition(c.content);
    ASSERT_EQ(d.has_value(), c.ok) << testing::PrintToString(c.content);
    if (!d) continue;
    EXPECT_EQ(d->text, c.text);
    if (c.normal) {
      EXPECT_EQ(d->normalImage, c.normal);
    }
    EXPECT_EQ(d->smallImage, c.small);
  }
}

TEST(XwpkDefinition, ImageAddressesMustBeWebAddresses) {
  EXPECT_TRUE(xwpk::ImageAddressAllowed(u"https://support.velmorant.example/xwpkpack/popup/a.png"));
  EXPECT_TRUE(xwpk::ImageAddressAllowed(u"HTTP://127.0.0.1:8080/default/a.png"));
  EXPECT_FALSE(xwpk::ImageAddressAllowed(u"file:///C:/Windows/win.ini"));
  EXPECT_FALSE(xwpk::ImageAddressAllowed(u"FILE:C:\\secret.txt"));
  EXPECT_FALSE(xwpk::ImageAddressAllowed(u"support.velmorant.example/a.png"));  // no "://"
  EXPECT_FALSE(xwpk::ImageAddressAllowed(u"ftp://host/a.png"));
  EXPECT_FALSE(xwpk::ImageAddressAllowed(u""));
}

TEST(XwpkGeometry, PageByScreenAndPopupCentredOnTheWorkArea) {
  const int cx = 4, cy = 4, caption = 23;
  const struct {
    int screenW, screenH;
    xwpk::Rect work;
    int pageW, pageH;
    const char16_t* suffix;
    int offX, offY;
  } cases[] = {
      // 1366 x 768, taskbar at the bottom (40 high), left, top and right.
      {1366, 768, {0, 0, 1366, 728}, 700, 400, u"_sm", (1366 - 708) / 2, (728 - 431) / 2},
      {1366, 768, {60, 0, 1366, 768}, 700, 400, u"_sm", (1306 - 708) / 2, (768 - 431) / 2},
      {1366, 768, {0, 40, 1366, 768}, 700, 400, u"_sm", (1366 - 708) / 2, (728 - 431) / 2},
      {1366, 768, {0, 0, 1306, 768}, 700, 400, u"_sm", (1306 - 708) / 2, (768 - 431) / 2},
      {1600, 900, {0, 0, 1600, 860}, 1400, 800, u"", (1600 - 1408) / 2, (860 - 831) / 2},
      {1600, 900, {0, 60, 1600, 900}, 1400, 800, u"", (1600 - 1408) / 2, (840 - 831) / 2},
      {1599, 1200, {0, 0, 1599, 1160}, 700, 400, u"_sm", (1599 - 708) / 2, (1160 - 431) / 2},
      {1920, 899, {0, 0, 1920, 859}, 700, 400, u"_sm", (1920 - 708) / 2, (859 - 431) / 2},
      // A work area smaller than the popup: it sits at the corner, not beyond it.
      {1600, 900, {0, 0, 1600, 800}, 1400, 800, u"", 96, 0},
  };
  for (const auto& c : cases) {
    const xwpk::PageSize page = xwpk::PageFor(c.screenW, c.screenH);
    EXPECT_EQ(page.width, c.pageW);
    EXPECT_EQ(page.height, c.pageH);
    EXPECT_EQ(std::u16string(xwpk::Suffix(page)), c.suffix);
    const xwpk::Size popup = xwpk::PopupSize(page, cx, cy, caption);
    EXPECT_EQ(popup.width, c.pageW + 8);
    EXPECT_EQ(popup.height, c.pageH + 31);
    const xwpk::Size off = xwpk::CentringOffset(c.work, popup);
    EXPECT_EQ(off.width, c.offX) << c.screenW << "x" << c.screenH << " work " << c.work.left << "," << c.work.top;
    EXPECT_EQ(off.height, c.offY) << c.screenW << "x" << c.screenH << " work " << c.work.left << "," << c.work.top;
    // The host puts the right edge `off` from the work area's right: equal margins both sides.
    const int left = c.work.right - off.width - popup.width - c.work.left, right = off.width;
    if (c.offX > 0) {
      EXPECT_LE(std::abs(left - right), 1);
    }
  }
}

TEST(XwpkPage, ImageAsCssEscapedBackgroundAndThePostForm) {
  xwpk::PageInput in;
  in.moduleFolder = u"C:\\Program Files\\Tellwick\\";
  in.imagePath = u"C:\\Users\\o'n\"e\\Temp\\EWI0000.png";
  in.entryAddress = u"https://support.velmorant.example/xwpk/entry";
  in.model = u"PT-15KB3456CD";
  in.serial = u"9K123<04567";
  in.firstStartDate = u"20260401";
  in.size = xwpk::PageFor(1366, 768);
  const std::string page = xwpk::BuildPage(in);
  EXPECT_NE(page.find("<base href=\"file:///C:/Program%20Files/Tellwick/\">"), std::string::npos) << page;
  // The quote and apostrophe cannot end the CSS string nor the attribute.
  const size_t bg = page.find("background-image: url(&quot;file:///C:/Users/o");
  ASSERT_NE(bg, std::string::npos) << page;
  const std::string style = page.substr(bg, page.find('>', bg) - bg);
  EXPECT_EQ(style.find('\''), std::string::npos) << style;
  EXPECT_NE(style.find("e/Temp/EWI0000.png&quot;)\""), std::string::npos) << style;
  EXPECT_NE(page.find("<form action=\"https://support.velmorant.example/xwpk/entry\" method=\"post\" target=\"_blank\">"),
            std::string::npos);
  EXPECT_NE(page.find("name=\"productCode\" value=\"PT-15KB3456CD\""), std::string::npos);
  EXPECT_NE(page.find("name=\"serial\" value=\"9K123&lt;04567\""), std::string::npos);
  EXPECT_NE(page.find("name=\"firstStartupDate\" value=\"20260401\""), std::string::npos);
  EXPECT_NE(page.find("href=\"xwpk_sm.css\""), std::string::npos);
  EXPECT_NE(page.find("<img id=\"xwpk_check\" src=\"xwpk_checkbox_off_sm.png\""), std::string::npos);
  EXPECT_NE(page.find("charset=UTF-8"), std::string::npos);
  EXPECT_NE(page.compare(0, 3, "\xEF\xBB\xBF"), 0) << "no byte-order mark";
}

TEST(XwpkPage, CssStringEscapesWhatEndsIt) {
  EXPECT_EQ(xwpk::CssString(u"a\"b'c\\d\ne"), u"a\\22 b\\27 c\\5c d\\a e");
  EXPECT_EQ(xwpk::CssString(u"file:///C:/x%20y.png"), u"file:///C:/x%20y.png");
}

TEST(XwpkClick, OnlyTheCheckImageChangesTheSwitch) {
  const struct {
    const char16_t *type, *tag, *id, *src;
    bool proceed;
    int notify;  // -1: unchanged
  } cases[] = {
      {u"click", u"IMG", u"xwpk_check", u"file:///C:/T/xwpk_checkbox_on_sm.png", false, 0},
      {u"click", u"img", u"xwpk_check", u"file:///C:/T/xwpk_checkbox_off.png", false, 1},
      {u"click", u"img", u"xwpk_check", u"xwpk_checkbox_on.png", false, 0},
      {u"click", u"img", u"xwpk_check", u"file:///C:/checkbox_on/xwpk_checkbox_off.png", false, 1},  // the name only
      {u"click", u"INPUT", u"", u"xwpk_button_active.png", true, -1},  // the form's button
      {u"click", u"img", u"other", u"xwpk_checkbox_on.png", true, -1},
      {u"mousedown", u"img", u"xwpk_check", u"xwpk_checkbox_on.png", true, -1},
  };
  for (const auto& c : cases) {
    kit::PageClick click;
    click.type = c.type;
    click.tag = c.tag;
    click.id = c.id;
    click.src = c.src;
    const xwpk::ClickOutcome out = xwpk::ClassifyClick(click);
    EXPECT_EQ(out.proceed, c.proceed) << testing::PrintToString(std::u16string(c.src));
    EXPECT_EQ(out.notify ? int(*out.notify) : -1, c.notify) << testing::PrintToString(std::u16string(c.src));
  }
}

TEST(XwpkEligibility, ByModelCaseSensitive) {
  EXPECT_TRUE(xwpk::Eligible(u"PT-15KB3456CS", xwpk::DefaultSettings()));
  EXPECT_FALSE(xwpk::Eligible(u"pt-15kb3456cs", xwpk::DefaultSettings()));
  EXPECT_FALSE(xwpk::Eligible(u"ZZ-15KB3456CD", xwpk::DefaultSettings()));
  xwpk::Settings broken = xwpk::DefaultSettings();
  broken.eligiblePattern = u"{PT";
  EXPECT_FALSE(xwpk::Eligible(u"PT-15KB3456CS", broken));
}
