// The offer's state over fake ports: the schedule, once per run and per day, the forced
// check, the downloads and what is saved.
#include <gtest/gtest.h>

#include <map>

#include "modules/warranty/xwpk_offer.h"
#include "tests/kit/fake_offer_store.h"
#include "tests/kit/mem_page_files.h"

namespace {
using kit::LocalTime;

class FakeClock : public kit::IClock {
 public:
  LocalTime now{2014, 3, 31, 10, 0, 0};
  LocalTime Now() override { return now; }
  bool LocalFromUnix(uint32_t seconds, LocalTime& out) override {
    out = LocalTime{1970, 1, 1, 0, 0, 0};
    out.day += static_cast<int>(seconds / 86400);
    return true;
  }
};

// The default notebook, first used on 1 April 2013.
class FakeStore : public kittest::FakeOfferStore {
 public:
  FakeStore() {
    model = "PT-15KB3456CS";
    firstLogin = u"04/01/2013";
  }
};

class FakeFiles : public kittest::MemPageFiles<xwpk::IFiles> {
 public:
  FakeFiles() : MemPageFiles(u"C:\\T\\", u"WXP") {}
  std::u16string ModuleFolder() override { return u"C:\\Tellwick\\"; }
  bool NewDefinitionFile(std::u16string& path) override {
    path = folder + u"EWD" + std::u16string(1, char16_t(u'0' + definitions++)) + u".tmp";
    disk[path] = "";
    return true;
  }
  bool NewImageFile(std::u16string& path) override {
    path = folder + u"EWI" + std::u16string(1, char16_t(u'0' + images++)) + u".png";
    disk[path] = "";
    return true;
  }
  bool ReadDefinition(const std::u16string& path, std::u16string& text) override {
    if (!disk.count(path)) return false;
    text.assign(disk[path].begin(), disk[path].end());
    return true;
  }
  int definitions = 0, images = 0;
};

// A server by address; an address it lacks answers as a 404 would: nothing fetched.
class FakeNet : public xwpk::INet {
 public:
  explicit FakeNet(FakeFiles& files) : files_(files) {}
  std::map<std::u16string, std::string> server;
  std::vector<std::u16string> asked;
  bool Fetch(const std::u16string& url, const std::u16string& target) override {
    asked.push_back(url);
    if (!server.count(url)) return false;
    files_.disk[target] = server[url];
    return true;
  }

 private:
  FakeFiles& files_;
};

class FakeDesktop : public xwpk::IDesktop {
 public:
  xwpk::Size screen{1366, 768};
  std::vector<std::u16string> told;
  xwpk::Size ScreenSize() override { return screen; }
  void Inform(const std::u16string& text, const std::u16string& caption) override {
    EXPECT_EQ(caption, xwpk::kOfferCaption);
    told.push_back(text);
  }
};

const xwpk::Settings kSettings{u"^PT-15KB", u"https://support.example"};
const std::u16string kDefinition = u"https://support.example/xwpkpack/popup/wkptxwpk.def";

class OfferTest : public testing::Test {
 protected:
  OfferTest() {
    net.server[kDefinition] = "Extended warranty\nhttps://support.example/big.png\nhttps://support.example/small.png\n";
    net.server[u"https://support.example/big.png"] = "BIG";
    net.server[u"https://support.example/small.png"] = "SMALL";
  }
  int Init() { return offer.Initialize(true); }
  kit::CheckAnswer Auto() { return offer.AutoCheck(100); }
  // The image file the page shows.
  std::string ImageOf(const kit::CheckAnswer& a) {
    const std::string& page = files.disk.at(a.page);
    const size_t at = page.find("EWI");
    return at == std::string::npos ? "" : files.disk[files.folder + u"EWI" + char16_t(page[at + 3]) + u".png"];
  }

  FakeClock clock;
  FakeStore store;
  FakeFiles files;
  FakeNet net{files};
  FakeDesktop desktop;
  xwpk::Offer offer{kSettings, clock, store, files, net, desktop};
};

TEST_F(OfferTest, IneligibleModelDoesNotLoad) {
  store.model = "ZZ-15KB3456CD";
  EXPECT_EQ(Init(), -251);
}

TEST_F(OfferTest, OfferWithTheSmallImageOnceAndNoFilesLeftBehind) {
  ASSERT_EQ(Init(), 0);
  EXPECT_TRUE(offer.IsEnabled());
  const kit::CheckAnswer a = Auto();
  ASSERT_EQ(a.result, kit::kCheckPage);
  EXPECT_EQ(a.text, u"Extended warranty");
  EXPECT_EQ(ImageOf(a), "SMALL");
  EXPECT_NE(files.disk.at(a.page).find("value=\"20130401\""), std::string::npos);
  EXPECT_FALSE(files.Has(u"C:\\T\\EWD0.tmp")) << "the definition file goes";
  EXPECT_EQ(Auto().result, kit::kCheckKeep);
  offer.OnShow();
  offer.OnClose();
  EXPECT_EQ(files.disk.size(), 0u);
  EXPECT_EQ(store.lastNotified, (kit::MonthDay{3, 31}));
  // Once per run, even after midnight.
  clock.now = LocalTime{2014, 4, 1, 0, 5, 0};
  EXPECT_EQ(Auto().result, kit::kCheckNothing);
}

TEST_F(OfferTest, NormalScreenTakesTheLargeImage) {
  desktop.screen = {1600, 900};
  ASSERT_EQ(Init(), 0);
  const kit::CheckAnswer a = Auto();
  ASSERT_EQ(a.result, kit::kCheckPage);
  EXPECT_EQ(ImageOf(a), "BIG");
  EXPECT_EQ(offer.Page().width, 1400);
}

TEST_F(OfferTest, ScheduleByDays) {
  const struct {
    std::optional<std::u16string> firstLogin;
    LocalTime now;
    bool enabled, settingsLive;
  } cases[] = {
      {u"04/01/2013", {2014, 3, 31, 10, 0, 0}, true, true},   // 364 days
      {u"04/01/2013", {2014, 4, 1, 10, 0, 0}, true, true},    // 365
      {u"04/01/2013", {2014, 4, 2, 10, 0, 0}, false, false},  // 366
      {std::nullopt, {2014, 4, 2, 10, 0, 0}, false, true},    // no date: the box stays usable
      {u"02/30/2013", {2014, 1, 2, 10, 0, 0}, false, true},   // no such date
  };
  for (const auto& c : cases) {
    FakeStore s;
    s.firstLogin = c.firstLogin;
    clock.now = c.now;
    xwpk::Offer o{kSettings, clock, s, files, net, desktop};
    ASSERT_EQ(o.Initialize(true), 0);
    EXPECT_EQ(o.IsEnabled(), c.enabled);
    EXPECT_EQ(o.InsideOfferYearNow(), c.settingsLive);
    EXPECT_EQ(o.AutoCheck(100).result, c.enabled ? kit::kCheckPage : kit::kCheckNothing);
    o.OnClose();
  }
}

TEST_F(OfferTest, TheYearIsReEvaluatedAtEveryCheck) {
  clock.now = LocalTime{2014, 4, 1, 23, 59, 0};
  ASSERT_EQ(Init(), 0);
  clock.now = LocalTime{2014, 4, 2, 0, 1, 0};
  EXPECT_FALSE(offer.IsEnabled());
  EXPECT_EQ(Auto().result, kit::kCheckNothing);
}

// Without a first start-up date the offer starts off; ticked, the module is on (so the host
// stays after its settings sheet) and offers, with no date in the form.
TEST_F(OfferTest, NoDateStartsOffAndTickingSwitchesItOn) {
  store.firstLogin.reset();
  ASSERT_EQ(Init(), 0);
  EXPECT_FALSE(offer.Notify());
  EXPECT_FALSE(offer.IsEnabled());
  offer.Apply(true);
  EXPECT_TRUE(offer.Notify());
  EXPECT_EQ(store.notify, 1u);
  EXPECT_TRUE(offer.IsEnabled());
  const kit::CheckAnswer a = Auto();
  ASSERT_EQ(a.result, kit::kCheckPage);
  EXPECT_NE(files.disk.at(a.page).find("name=\"firstStartupDate\" value=\"\""), std::string::npos);
}

// "Show now" while a page is on screen: closing the old popup leaves the new page and its
// image, which the host lists and opens next.
TEST_F(OfferTest, ClosingAnOlderPopupKeepsTheNewerPage) {
  ASSERT_EQ(Init(), 0);
  const kit::CheckAnswer first = Auto();
  ASSERT_EQ(first.result, kit::kCheckPage);
  offer.OnShow();
  offer.Force();
  const kit::CheckAnswer second = offer.ManualCheck(100);
  ASSERT_EQ(second.result, kit::kCheckPage);
  ASSERT_NE(second.page, first.page);
  offer.OnClose();
  EXPECT_TRUE(files.Has(second.page));
  EXPECT_EQ(ImageOf(second), "SMALL");
  offer.OnShow();
  offer.OnClose();
  EXPECT_EQ(files.disk.size(), 0u) << "the newer page goes at its own close";
}

// The user ticks "do not show again" in the open page: automatic checks keep the line (an
// empty answer would make the host withdraw it and the page's files) until the page closes.
TEST_F(OfferTest, AutomaticChecksLeaveThePageOnScreenAlone) {
  ASSERT_EQ(Init(), 0);
  const kit::CheckAnswer a = Auto();
  ASSERT_EQ(a.result, kit::kCheckPage);
  offer.OnShow();
  kit::PageClick click;
  click.type = u"click";
  click.tag = u"IMG";
  click.id = u"xwpk_check";
  click.src = u"file:///C:/Tellwick/xwpk_checkbox_on_sm.png";
  offer.OnClick(click);
  EXPECT_EQ(Auto().result, kit::kCheckKeep);
  EXPECT_TRUE(files.Has(a.page));
  offer.OnClose();
  EXPECT_EQ(files.disk.size(), 0u);
  EXPECT_EQ(Auto().result, kit::kCheckNothing);
}

// A blank third line of the definition: a normal screen is still offered its image.
TEST_F(OfferTest, BlankSmallImageLineStillOffersOnANormalScreen) {
  net.server[kDefinition] = "Extended warranty\nhttps://support.example/big.png\n\n";
  desktop.screen = {1600, 900};
  ASSERT_EQ(Init(), 0);
  const kit::CheckAnswer a = Auto();
  ASSERT_EQ(a.result, kit::kCheckPage);
  EXPECT_EQ(ImageOf(a), "BIG");
}

TEST_F(OfferTest, OfferedTodayInAnEarlierRunButShowNowStillShows) {
  store.lastNotified = kit::MonthDay{3, 31};
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Auto().result, kit::kCheckNothing);
  EXPECT_EQ(offer.ManualCheck(100).result, kit::kCheckNothing);
  offer.Force();
  EXPECT_EQ(offer.ManualCheck(100).result, kit::kCheckPage);
  // The next day the last showing no longer counts.
  FakeStore next;
  next.lastNotified = kit::MonthDay{3, 30};
  xwpk::Offer o{kSettings, clock, next, files, net, desktop};
  ASSERT_EQ(o.Initialize(true), 0);
  EXPECT_EQ(o.AutoCheck(100).result, kit::kCheckPage);
  o.OnClose();
}

TEST_F(OfferTest, ServerErrorTellsOnlyAForcedCheck) {
  net.server.erase(kDefinition);
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Auto().result, kit::kCheckNothing);
  EXPECT_TRUE(desktop.told.empty());
  offer.Force();
  EXPECT_EQ(offer.ManualCheck(100).result, kit::kCheckNothing);
  ASSERT_EQ(desktop.told.size(), 1u);
  EXPECT_EQ(desktop.told[0], xwpk::kNoConnection);
  EXPECT_EQ(files.disk.size(), 0u) << "nothing prepared, nothing left";
  // The flag was for that check alone.
  EXPECT_EQ(offer.ManualCheck(100).result, kit::kCheckNothing);
  EXPECT_EQ(desktop.told.size(), 1u);
}

TEST_F(OfferTest, FailedForcedCheckKeepsThePreparedPageWhole) {
  ASSERT_EQ(Init(), 0);
  const kit::CheckAnswer first = Auto();
  ASSERT_EQ(first.result, kit::kCheckPage);
  net.server.erase(u"https://support.example/small.png");
  offer.Force();
  EXPECT_EQ(offer.ManualCheck(100).result, kit::kCheckNothing);
  EXPECT_EQ(desktop.told.size(), 1u);
  // What the host still lists is there, with its image; the failed attempt left nothing.
  const kit::CheckAnswer again = offer.ManualCheck(100);
  ASSERT_EQ(again.result, kit::kCheckPage);
  EXPECT_EQ(again.page, first.page);
  EXPECT_TRUE(files.Has(again.page));
  EXPECT_EQ(ImageOf(again), "SMALL");
  EXPECT_EQ(files.disk.size(), 2u);
}

TEST_F(OfferTest, RefusedImageAddresses) {
  for (const char* image : {"file:///C:/Windows/win.ini", "support.example/small.png", "ftp://support.example/a"}) {
    net.server[kDefinition] = std::string("Offer\nhttps://support.example/big.png\n") + image + "\n";
    net.asked.clear();
    desktop.told.clear();
    FakeStore s;
    xwpk::Offer o{kSettings, clock, s, files, net, desktop};
    ASSERT_EQ(o.Initialize(true), 0);
    o.Force();
    EXPECT_EQ(o.AutoCheck(100).result, kit::kCheckNothing) << image;
    EXPECT_EQ(net.asked.size(), 1u) << "only the definition was fetched: " << image;
    EXPECT_EQ(desktop.told.size(), 1u);
    EXPECT_EQ(files.disk.size(), 0u);
  }
}

TEST_F(OfferTest, DoNotShowAgainIsSavedOnClose) {
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Auto().result, kit::kCheckPage);
  offer.OnShow();
  kit::PageClick click;
  click.type = u"click";
  click.tag = u"IMG";
  click.id = u"xwpk_check";
  click.src = u"file:///C:/Tellwick/xwpk_checkbox_on_sm.png";
  EXPECT_FALSE(offer.OnClick(click).proceed);
  offer.OnClose();
  EXPECT_EQ(store.notify, 0u);
  EXPECT_FALSE(offer.IsEnabled());
  // Nothing is saved in audit mode.
  store.audit = true;
  const int saves = store.saves;
  offer.Apply(true);
  EXPECT_EQ(store.saves, saves);
}

TEST_F(OfferTest, SetupDisabledMeansOffAndNothingSaved) {
  store.setupEnable = false;
  ASSERT_EQ(Init(), 0);
  EXPECT_FALSE(offer.IsEnabled());
  EXPECT_FALSE(offer.SetupEnabled());
  offer.Apply(true);
  EXPECT_EQ(store.saves, 0);
}

TEST_F(OfferTest, WithoutDriverNothingIsOffered) {
  ASSERT_EQ(offer.Initialize(false), 0);
  offer.Force();
  EXPECT_EQ(offer.ManualCheck(100).result, kit::kCheckNothing);
  EXPECT_TRUE(net.asked.empty());
}

TEST_F(OfferTest, StoredSwitchOffIsKept) {
  store.notify = 0;
  ASSERT_EQ(Init(), 0);
  EXPECT_FALSE(offer.IsEnabled());
  EXPECT_EQ(Auto().result, kit::kCheckNothing);
}
}  // namespace
