// The reminder's gating, pages and saves over fake ports: the faults of a host that stays
// resident across midnight, of a failed check and the page the host still lists, of a stale
// popup close and of a path longer than the host's buffer.
#include <gtest/gtest.h>

#include <map>

#include "modules/registration/reg_page.h"
#include "modules/registration/reg_reminder.h"
#include "tests/kit/fake_offer_store.h"
#include "tests/kit/mem_page_files.h"
#include "tests/registration/reg_test_util.h"

namespace {
using reg::CheckAnswer;
using reg::LocalTime;

class FakeClock : public reg::IClock {
 public:
  LocalTime now{2026, 12, 10, 10, 0, 0};
  LocalTime Now() override { return now; }
  bool LocalFromUnix(uint32_t seconds, LocalTime& out) override {
    // UTC+9, as a notebook in Japan would see it.
    int64_t s = int64_t(seconds) + 9 * 3600;
    int64_t days = s / 86400, rem = s % 86400;
    out = {1970, 1, 1, int(rem / 3600), int(rem / 60 % 60), int(rem % 60)};
    while (days-- > 0) {
      static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      const int len = kDays[out.month - 1] + (out.month == 2 && out.year % 4 == 0);
      if (++out.day > len) out.day = 1, out.month = out.month % 12 + 1, out.year += out.month == 1;
    }
    return true;
  }
};

using FakeStore = kittest::FakeOfferStore;

class FakeFiles : public kittest::MemPageFiles<reg::IFiles> {
 public:
  FakeFiles() : MemPageFiles(u"/tmp/", u"WRG") {}
  bool failQr = false;
  std::u16string ModuleFolder() override { return u"/opt/tellwick"; }
  std::u16string BitmapPath() override { return folder + u"wkptreg.bmp"; }
  bool WriteQr(const std::u16string& path, const std::string& text) override {
    if (failQr) return false;
    disk[path] = text;
    return true;
  }
};

std::u16string Date(int month, int day, int year) {
  char text[16];
  std::snprintf(text, sizeof text, "%2d/%2d/%4d", month, day, year);
  return std::u16string(text, text + std::strlen(text));
}

class ReminderTest : public testing::Test {
 protected:
  // The computer was first used `days` days before the clock's "now".
  void UsedFor(int days) {
    LocalTime t = clock.now;
    reg::LocalTime first{t.year, t.month, t.day, 0, 0, 0};
    // Step back day by day through the calendar.
    for (int i = 0; i < days; ++i) {
      static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
      if (--first.day == 0) {
        if (--first.month == 0) first.month = 12, --first.year;
        first.day = kDays[first.month - 1] + (first.month == 2 && first.year % 4 == 0);
      }
    }
    store.firstLogin = Date(first.month, first.day, first.year);
  }
  reg::Reminder& Make() {
    reminder = std::make_unique<reg::Reminder>(reg::DefaultSettings(), clock, store, files, crypto);
    EXPECT_EQ(reminder->Initialize(true), 0);
    return *reminder;
  }
  // A check delivered into host buffers as the entry point does; the page path it hands over.
  uint32_t Deliver(kit::CheckCall call, std::u16string* path = nullptr) {
    const CheckAnswer a = call == kit::CheckCall::Automatic ? reminder->AutoCheck(100) : reminder->ManualCheck(100);
    char16_t text[100] = {}, page[100] = {};
    uint16_t code = 0;
    const uint32_t result =
        kit::Deliver({a.result, u"line", a.pagePath, 0}, call, &reminder->Pages(), text, 100, page, 100, &code);
    if (path) *path = page;
    return result;
  }
  void NextDay() {
    clock.now.day += 1;  // the test dates stay inside December
  }

  FakeClock clock;
  FakeStore store;
  FakeFiles files;
  regtest::ScriptedCrypto crypto;
  std::unique_ptr<reg::Reminder> reminder;
};
}  // namespace

TEST_F(ReminderTest, UnknownOrUnreadableModelDoesNotLoad) {
  store.model = "ZZ-15KB3456CD";
  reg::Reminder a(reg::DefaultSettings(), clock, store, files, crypto);
  EXPECT_EQ(a.Initialize(true), -251);
  store.model = "PT-15KB3456CD";
  store.modelOk = false;
  reg::Reminder b(reg::DefaultSettings(), clock, store, files, crypto);
  EXPECT_EQ(b.Initialize(true), -251);
}

TEST_F(ReminderTest, UrgencyAndWindowByDay) {
  const struct {
    const char* model;
    int days;
    uint32_t result;
    uint16_t text;
  } cases[] = {
      {"PT-15KB3456CD", 21, reg::kCheckPage, 109}, {"PT-15KB3456CD", 22, reg::kCheckPage | reg::kNotifyWarning, 108},
      {"PT-15KB3456CD", 32, reg::kCheckNothing, 0}, {"RX-7WQ2210HJ5800", 350, reg::kCheckPage, 107},
      {"RX-7WQ2210HJ5800", 351, reg::kCheckPage | reg::kNotifyWarning, 106},
      {"RX-7WQ2210HJ5800", 366, reg::kCheckNothing, 0}, {"UV-15GK2205AB", 30, reg::kCheckPage | reg::kNotifyWarning, 113},
      {"PT-15KB4120CD", 1, reg::kCheckPage, 117},
  };
  for (const auto& c : cases) {
    store.model = c.model;
    UsedFor(c.days);
    reg::Reminder& r = Make();
    const CheckAnswer a = r.AutoCheck(100);
    EXPECT_EQ(a.result, c.result) << c.model << " day " << c.days;
    EXPECT_EQ(a.textId, c.text) << c.model << " day " << c.days;
    EXPECT_EQ(r.IsEnabled(), c.result != reg::kCheckNothing);
  }
}

TEST_F(ReminderTest, NoFirstUseDateMeansNoReminderEvenForTheYearLongOffer) {
  store.model = "RX-7WQ2210HJ5800";
  Make();
  EXPECT_FALSE(reminder->IsEnabled());
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
  store.firstLogin = u"02/30/2026";  // present but not a date
  Make();
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
}

TEST_F(ReminderTest, InstallDateIsTheFallbackInLocalTime) {
  store.installDate = 1796655600u;  // 2026-12-08 15:00 UTC = 2026-12-09 00:00 in UTC+9: day 1
  Make();
  EXPECT_TRUE(reminder->IsEnabled());
  store.firstLogin = Date(10, 1, 2026);  // FirstLogin wins: day 70, outside the window
  Make();
  EXPECT_FALSE(reminder->IsEnabled());
}

TEST_F(ReminderTest, ResidentAcrossMidnightReEvaluatesDaysAndOncePerDay) {
  UsedFor(21);
  clock.now.hour = 23;
  Make();
  CheckAnswer a = reminder->AutoCheck(100);
  ASSERT_EQ(a.result, reg::kCheckPage);
  EXPECT_EQ(a.textId, 109);
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckKeep);
  reminder->OnShow();
  reminder->OnClose();
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing) << "one page a day";
  NextDay();
  clock.now.hour = 0;
  a = reminder->AutoCheck(100);
  EXPECT_EQ(a.result, reg::kCheckPage | reg::kNotifyWarning) << "day 22 is urgent";
  EXPECT_EQ(a.textId, 108);
  reminder->OnClose();
  for (int i = 0; i < 10; ++i) NextDay();  // day 32
  EXPECT_FALSE(reminder->IsEnabled());
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
}

TEST_F(ReminderTest, LastNotifiedTodayFromTheRegistryHoldsTheFirstOffer) {
  UsedFor(3);
  store.lastNotified = reg::MonthDay{12, 10};
  Make();
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
  reminder->Force();
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckPage) << "the settings page's button shows it anyway";
}

TEST_F(ReminderTest, ManualCheckRepeatsOnlyAPendingPage) {
  UsedFor(3);
  Make();
  EXPECT_EQ(reminder->ManualCheck(100).result, reg::kCheckNothing);
  const CheckAnswer first = reminder->AutoCheck(100);
  const CheckAnswer again = reminder->ManualCheck(100);
  EXPECT_EQ(again.result, reg::kCheckPage);
  EXPECT_EQ(again.pagePath, first.pagePath);
  reminder->Force();
  const CheckAnswer forced = reminder->ManualCheck(100);
  EXPECT_EQ(forced.result, reg::kCheckPage);
  EXPECT_NE(forced.pagePath, first.pagePath);
  EXPECT_FALSE(files.Has(first.pagePath)) << "the previous page is deleted";
}

// The host's view of a failed check: the kit delivers the answer as the entry point does. A
// manual check that answers nothing leaves the host's line, so its page must stay; an
// automatic one makes the host withdraw the line, so the page goes and nothing is pending.
TEST_F(ReminderTest, FailedCheckKeepsTheListedPageUntilTheHostWithdrawsIt) {
  UsedFor(3);
  Make();
  std::u16string first, again;
  ASSERT_EQ(Deliver(kit::CheckCall::Automatic, &first), reg::kCheckPage);
  files.failWrite = true;
  reminder->Force();
  EXPECT_EQ(Deliver(kit::CheckCall::Manual), reg::kCheckNothing);
  EXPECT_TRUE(files.Has(first)) << "the host still lists it";
  EXPECT_TRUE(files.Has(u"/tmp/wkptreg.bmp"));
  EXPECT_EQ(Deliver(kit::CheckCall::Manual, &again), reg::kCheckPage);
  EXPECT_EQ(again, first);
  reminder->Force();
  EXPECT_EQ(Deliver(kit::CheckCall::Automatic), reg::kCheckNothing);
  EXPECT_TRUE(files.disk.empty()) << "the host withdrew it";
  EXPECT_EQ(Deliver(kit::CheckCall::Manual), reg::kCheckNothing) << "no line pointing at a deleted file";
  files.failWrite = false;
  NextDay();
  EXPECT_EQ(Deliver(kit::CheckCall::Automatic), reg::kCheckPage) << "not stuck in CHECK_KEEP";
}

TEST_F(ReminderTest, StalePopupCloseLeavesTheNewerPageAlone) {
  UsedFor(3);
  Make();
  const CheckAnswer older = reminder->AutoCheck(100);
  reminder->OnShow();
  reminder->Force();
  const CheckAnswer newer = reminder->ManualCheck(100);
  ASSERT_EQ(newer.result, reg::kCheckPage);
  reminder->OnClose();  // the popup of the older page
  EXPECT_FALSE(files.Has(older.pagePath));
  EXPECT_TRUE(files.Has(newer.pagePath));
  EXPECT_TRUE(files.Has(u"/tmp/wkptreg.bmp"));
  EXPECT_EQ(reminder->ManualCheck(100).pagePath, newer.pagePath);
  reminder->OnShow();
  reminder->OnClose();
  EXPECT_TRUE(files.disk.empty());
}

TEST_F(ReminderTest, PathThatDoesNotFitTheHostBufferFailsTheCheck) {
  UsedFor(3);
  Make();
  files.folder = u"/" + std::u16string(90, u'd') + u"/";  // "WRGA.tmp" makes the page path 100 characters
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
  EXPECT_TRUE(files.disk.empty());
  files.folder.erase(1, 1);  // 99 characters and the terminator fit
  const CheckAnswer a = reminder->AutoCheck(100);
  EXPECT_EQ(a.result, reg::kCheckPage);
  EXPECT_EQ(a.pagePath.size(), 99u);
}

TEST_F(ReminderTest, QrCodeCarriesTheDecryptableQuery) {
  UsedFor(3);
  Make();
  reminder->AutoCheck(100);
  const std::string text = files.disk.at(u"/tmp/wkptreg.bmp");
  const std::string prefix = "https://support.velmorant.example/tgsi/m/new.do/?q=";
  ASSERT_EQ(text.compare(0, prefix.size(), prefix), 0) << text;
  EXPECT_EQ(regtest::DecryptQuery(text.substr(prefix.size()), reg::DefaultSettings().queryPassword),
            "PT-15KB3456CD&9K12304567");
}

TEST_F(ReminderTest, FailedQueryShowsNoQrCodeButThePlainAddress) {
  UsedFor(3);
  crypto.failDes = true;
  Make();
  const CheckAnswer a = reminder->AutoCheck(100);
  ASSERT_EQ(a.result, reg::kCheckPage);
  EXPECT_FALSE(files.Has(u"/tmp/wkptreg.bmp"));
  const std::string& page = files.disk.at(a.pagePath);
  EXPECT_EQ(page.find("?q="), std::string::npos);
  EXPECT_EQ(page.find("class=\"QR\""), std::string::npos);
  EXPECT_NE(page.find(">http://support.velmorant.example/s/maintain/guara4.html</a>"), std::string::npos);
}

// The QR bitmap cannot be written: the reminder still comes, with the plain address and no
// image that would point at a missing or stale file.
TEST_F(ReminderTest, FailedQrBitmapWriteShowsThePageWithoutTheCode) {
  UsedFor(3);
  files.failQr = true;
  Make();
  const CheckAnswer a = reminder->AutoCheck(100);
  ASSERT_EQ(a.result, reg::kCheckPage);
  EXPECT_FALSE(files.Has(u"/tmp/wkptreg.bmp"));
  const std::string& page = files.disk.at(a.pagePath);
  EXPECT_EQ(page.find("wkptreg.bmp"), std::string::npos);
  EXPECT_EQ(page.find("class=\"QR\""), std::string::npos);
  EXPECT_NE(page.find(">http://support.velmorant.example/s/maintain/guara4.html</a>"), std::string::npos);
  reminder->OnShow();
  reminder->OnClose();
  EXPECT_EQ(files.disk.size(), 0u);
}

TEST_F(ReminderTest, OwnerOfferQrNeedsNoQuery) {
  store.model = "RX-7WQ2210HJ5800";
  UsedFor(3);
  crypto.failRandom = true;
  Make();
  const CheckAnswer a = reminder->AutoCheck(100);
  EXPECT_EQ(files.disk.at(u"/tmp/wkptreg.bmp"), "https://support.velmorant.example/mys/mobile/index.html");
  EXPECT_NE(files.disk.at(a.pagePath).find("class=\"QR\""), std::string::npos);
}

TEST_F(ReminderTest, CloseSavesShowDayAndChoice) {
  UsedFor(3);
  Make();
  reminder->AutoCheck(100);
  reminder->OnShow();
  reminder->OnCheckDone(true);
  EXPECT_FALSE(reminder->IsEnabled());
  reminder->OnClose();
  ASSERT_TRUE(store.lastNotified);
  EXPECT_EQ(*store.lastNotified, (reg::MonthDay{12, 10}));
  EXPECT_EQ(store.notify, 0u);
  NextDay();
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
  Make();  // the next logon reads the saved choice
  EXPECT_FALSE(reminder->IsEnabled());
}

TEST_F(ReminderTest, SavingPastTheWindowsEndTurnsRemindersOffForGood) {
  UsedFor(40);
  store.notify = 1;
  Make();
  reminder->Force();  // the settings page's "show now" works outside the window too
  ASSERT_EQ(reminder->AutoCheck(100).result, reg::kCheckPage);
  reminder->OnShow();
  reminder->OnClose();
  EXPECT_EQ(store.notify, 0u);
  UsedFor(3);  // even a clock set back into the window finds them off
  Make();
  EXPECT_FALSE(reminder->IsEnabled());

  store.notify = 1;
  UsedFor(40);
  Make();
  reminder->Apply(true);  // the box is greyed out there
  EXPECT_EQ(store.notify, 0u);
}

TEST_F(ReminderTest, NothingIsSavedInAuditModeOrWithoutSetupEnable) {
  UsedFor(3);
  store.audit = true;
  Make();
  reminder->AutoCheck(100);
  reminder->OnShow();
  reminder->OnClose();
  reminder->Apply(false);
  store.audit = false;
  store.setupEnable = false;
  Make();
  reminder->Apply(false);
  EXPECT_EQ(store.saves, 0);
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
}

TEST_F(ReminderTest, SettingsApplyCountsOnlyInsideTheWindow) {
  UsedFor(40);
  Make();
  reminder->Apply(false);
  EXPECT_TRUE(reminder->UserChoice()) << "a greyed-out box does not overwrite the choice";
  UsedFor(3);
  Make();
  reminder->Apply(false);
  EXPECT_FALSE(reminder->IsEnabled());
  EXPECT_EQ(store.notify, 0u);
  reminder->Apply(true);
  EXPECT_TRUE(reminder->IsEnabled());
}

TEST_F(ReminderTest, WithoutDriverClientTheModuleLoadsButNeverReminds) {
  UsedFor(3);
  reminder = std::make_unique<reg::Reminder>(reg::DefaultSettings(), clock, store, files, crypto);
  EXPECT_EQ(reminder->Initialize(false), 0);
  reminder->Force();
  EXPECT_EQ(reminder->AutoCheck(100).result, reg::kCheckNothing);
  EXPECT_FALSE(reminder->IsEnabled());
}
