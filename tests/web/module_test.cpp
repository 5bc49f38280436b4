// The web module's pipeline over stand-in ports: a check fetches, filters, records and
// publishes; the page's close writes the read marks back; faults leave the history alone.
#include <gtest/gtest.h>

#include <map>
#include <memory>

#include "modules/web/module/web_resource_ids.h"
#include "modules/web/native/web_native.h"
#include "modules/web/web_module.h"
#include "tests/kit/mem_page_files.h"
#include "tests/web/page_test_util.h"
#include "tests/web/sched_test_util.h"
#include "tests/web/web_test_util.h"

namespace {

using namespace webtest;
using web::Module;

// The download serves one document from memory through a real file, as the fetcher does.
struct ServedFeed : web::IFeedDownload {
  explicit ServedFeed(TempRoot& root) : root_(root) {}
  std::optional<std::string> document;  // nothing: the server does not answer
  std::vector<std::u16string> urls;
  bool Download(const std::u16string& url, std::u16string& tempPath) override {
    urls.push_back(url);
    if (!document) return false;
    root_.Write("WRS1.tmp", *document);
    tempPath = web::FromUtf8(root_.path() + "/WRS1.tmp");
    return true;
  }
  void Delete(const std::u16string&) override { std::remove((root_.path() + "/WRS1.tmp").c_str()); }

 private:
  TempRoot& root_;
};

struct Network : web::INetwork {
  bool answers = true, offline = false;
  bool ServerAnswers() override { return answers; }
  bool Offline() override { return offline; }
};

struct Clock : web::IClock {
  web::LocalTime now{2026, 12, 10, 9, 0};
  web::LocalTime NowLocal() override { return now; }
};

struct Strings : kit::IStrings {
  std::optional<std::u16string> Load(uint16_t id) override {
    static const std::map<uint16_t, std::u16string> table = {
        {IDS_PAGE_LINE, u"%d notices"}, {IDS_NOT_CONNECTED, u"not connected"}, {IDS_NO_HISTORY, u"no history"},
        {IDS_APP_TITLE, u"Tellwick"},   {IDS_INITIAL_MESSAGE, u"first run"},   {IDS_MENU_HISTORY, u"History"},
        {IDS_MENU_UPDATE, u"Updates"}};
    auto it = table.find(id);
    if (it == table.end()) return std::nullopt;
    return it->second;
  }
};

struct Desktop : web::IDesktop {
  int updateManagers = 0;
  std::vector<std::pair<std::u16string, std::u16string>> boxes;
  std::map<std::u16string, std::string> files;
  std::vector<std::u16string> opened;
  std::u16string failCreate;
  void OpenUpdateManager() override { ++updateManagers; }
  void ResumeUpdateManager() override { ++updateManagers; }
  void Inform(const std::u16string& text, const std::u16string& caption) override { boxes.emplace_back(text, caption); }
  std::u16string TempFolder() override { return u"C:\\Temp\\"; }
  bool CreateViewFile(const std::u16string& path, const std::string& bytes) override {
    if (path == failCreate || files.count(path)) return false;
    files[path] = bytes;
    return true;
  }
  void DeleteViewFile(const std::u16string& path) override { files.erase(path); }
  bool OpenPage(const std::u16string& path) override {
    opened.push_back(path);
    return true;
  }
};

class WebModule : public ::testing::Test {
 protected:
  WebModule() : files(root.path()), feed(root), pages(u"C:\\Temp\\", u"WKP") {
    store.machine[u"Enable"] = 1;
    store.machine[u"SetupEnable"] = 1;
  }

  int Start() {
    module = std::make_unique<Module>(Module::Ports{store, clock, network, xml, feed, windows, registry, files, drivers,
                                                    history, pages, codePage, locale, strings, desktop,
                                                    u"C:\\Program Files\\Tellwick\\wkptrss.dll"});
    web::InitRecord record{true, 32, 3, 32};
    return module->Initialize(record, &driver);
  }

  // Three notices for this model (QZ-S10ABC) and one for another.
  static std::string ThreeNotices() {
    return Feed(Item(1) + Item(2, "", "", "Support Information") + Item(3) + Item(4, "wkpt:machine=\"QZ-T.*\""));
  }

  TempRoot root;
  FakeStore store;
  FakeDriver driver = Notebook();
  Clock clock;
  Network network;
  web::PugiDocument xml;
  web::NativeFileSystem files;
  ServedFeed feed;
  FakeWindows windows;
  FakeRegistry registry;
  FakeDrivers drivers;
  MemoryHistory history;
  kittest::MemPageFiles<> pages;
  Latin1 codePage;
  Locale locale;
  Strings strings;
  Desktop desktop;
  std::unique_ptr<Module> module;
};

constexpr int kCapacity = 260;

TEST_F(WebModule, CheckFetchesFiltersRecordsAndPublishes) {
  ASSERT_EQ(Start(), 0);
  feed.document = ThreeNotices();
  const kit::CheckAnswer a = module->ManualCheck(kCapacity);
  ASSERT_EQ(a.result, kit::kCheckPage);
  EXPECT_EQ(a.text, u"3 notices");
  ASSERT_TRUE(pages.Has(a.page));
  EXPECT_NE(pages.disk[a.page].find("Notice 2"), std::string::npos);
  EXPECT_EQ(pages.disk[a.page].find("Notice 4"), std::string::npos) << "another model's notice";
  ASSERT_EQ(feed.urls.size(), 1u);
  EXPECT_EQ(feed.urls[0], u"http://" + web::DefaultOperatorSettings().supportHost + u"/s/wkpt.xml");
  EXPECT_EQ(web::ParseHistory(*history.bytes).size(), 3u);

  // While the page is held, checks answer it again without fetching.
  const kit::CheckAnswer again = module->ManualCheck(kCapacity);
  EXPECT_EQ(again.result, kit::kCheckPage);
  EXPECT_EQ(again.page, a.page);
  EXPECT_EQ(module->AutoCheck(kCapacity).result, kit::kCheckKeep);
  EXPECT_EQ(feed.urls.size(), 1u);
}

TEST_F(WebModule, ReadMarksReachTheHistoryOnlyAfterThePageWasShown) {
  ASSERT_EQ(Start(), 0);
  feed.document = ThreeNotices();
  const std::u16string page = module->ManualCheck(kCapacity).page;
  web::PageClick link{u"click", u"a", u"a_2", u"http://support.example/n/2"};
  EXPECT_TRUE(module->OnClick(link).proceed);
  module->OnClose();  // never shown: nothing is written
  EXPECT_FALSE(pages.Has(page));
  for (const auto& r : web::ParseHistory(*history.bytes)) EXPECT_FALSE(r.read) << r.id;

  // Shown this time: the clicked notice is read and not announced again.
  ASSERT_EQ(module->ManualCheck(kCapacity).text, u"3 notices");
  module->OnShow();
  module->OnClick(link);
  web::PageClick box{u"click", u"input", u"check_3"};
  box.checked = true;
  module->OnClick(box);
  module->OnClose();
  const kit::CheckAnswer next = module->ManualCheck(kCapacity);
  EXPECT_EQ(next.text, u"1 notices");
  EXPECT_EQ(pages.disk[next.page].find("Notice 2"), std::string::npos);
}

TEST_F(WebModule, FaultsKeepTheHistoryByteForByte) {
  ASSERT_EQ(Start(), 0);
  feed.document = Feed(Item(1));
  module->ManualCheck(kCapacity);
  module->OnClose();
  const std::string before = *history.bytes;

  struct Fault {
    const char* name;
    std::optional<std::string> document;
    uint32_t result;
  };
  const Fault faults[] = {
      {"no answer", std::nullopt, web::kNotConnectedResult},
      {"html error page", std::string("<html><body><h1>Error</h1></body>"), kit::kCheckNothing},
      {"cut short", ThreeNotices().substr(0, 300), kit::kCheckNothing},
  };
  for (const Fault& f : faults) {
    feed.document = f.document;
    const kit::CheckAnswer a = module->ManualCheck(kCapacity);
    EXPECT_EQ(a.result, f.result) << f.name;
    if (f.result == web::kNotConnectedResult) {
      EXPECT_EQ(a.text, u"not connected");
      EXPECT_EQ(a.code, 0xFFFF);
    }
    EXPECT_TRUE(module->Held().empty()) << f.name;
    EXPECT_EQ(*history.bytes, before) << f.name;
  }
  network.offline = true;
  EXPECT_EQ(module->ManualCheck(kCapacity).result, web::kNotConnectedResult) << "working offline";
}

TEST_F(WebModule, APageThatCannotBeWrittenLeavesNothingPending) {
  ASSERT_EQ(Start(), 0);
  feed.document = ThreeNotices();
  pages.failWrite = true;
  EXPECT_EQ(module->ManualCheck(kCapacity).result, kit::kCheckNothing);
  EXPECT_TRUE(module->Held().empty());
  pages.failWrite = false;
  EXPECT_EQ(module->ManualCheck(kCapacity).result, kit::kCheckPage) << "the next check fetches again";
  EXPECT_EQ(feed.urls.size(), 2u);
}

TEST_F(WebModule, OnConnectionCheckComesEveryPeriodAndTheUpdateManagerResumes) {
  store.user[u"CheckMethod"] = 1;
  store.user[u"SuppressAutoCheckMinute"] = 2;
  store.user[u"OpenUpdateOnNextBoot"] = 1;
  ASSERT_EQ(Start(), 0);
  feed.document = Feed(Item(1));
  EXPECT_EQ(module->AutoCheck(kCapacity).result, kit::kCheckKeep);
  EXPECT_EQ(desktop.updateManagers, 1);
  EXPECT_EQ(store.user[u"OpenUpdateOnNextBoot"], 0u);
  EXPECT_EQ(module->AutoCheck(kCapacity).result, kit::kCheckPage);
  module->OnClose();
  for (int call = 0; call < 2; ++call) EXPECT_EQ(module->AutoCheck(kCapacity).result, kit::kCheckKeep) << call;
  feed.document = Feed(Item(1) + Item(2));
  EXPECT_EQ(module->AutoCheck(kCapacity).result, kit::kCheckPage) << "a full period later";
  EXPECT_EQ(desktop.updateManagers, 1);
}

TEST_F(WebModule, HistoryViewFromTheTrayMenu) {
  ASSERT_EQ(Start(), 0);
  module->IconMenu(web::kMenuHistory);
  ASSERT_EQ(desktop.boxes.size(), 1u);
  EXPECT_EQ(desktop.boxes[0].first, u"no history");
  EXPECT_TRUE(desktop.opened.empty());

  feed.document = ThreeNotices();
  module->ManualCheck(kCapacity);
  module->IconMenu(web::kMenuHistory);
  ASSERT_EQ(desktop.opened.size(), 1u);
  EXPECT_EQ(desktop.opened[0], u"C:\\Temp\\wkptrshs1.htm");
  EXPECT_EQ(desktop.files.size(), 3u);
  EXPECT_NE(desktop.files[u"C:\\Temp\\wkptrshs3.htm"].find("Notice 3"), std::string::npos);

  // Opened again: made anew. One file that cannot be made takes the others with it.
  desktop.failCreate = u"C:\\Temp\\wkptrshs2.htm";
  module->IconMenu(web::kMenuHistory);
  EXPECT_TRUE(desktop.files.empty());
  EXPECT_EQ(desktop.opened.size(), 1u);

  module->IconMenu(web::kMenuUpdate);
  EXPECT_EQ(desktop.updateManagers, 1);
}

// Unloading takes the module's files: the popup page, the history view and the update
// manager's catalogue page, which the manager leaves for its next opening.
TEST_F(WebModule, UnloadDeletesTheCataloguePage) {
  ASSERT_EQ(Start(), 0);
  desktop.files[u"C:\\Temp\\wkptrsdl.htm"] = "<html>";
  desktop.files[u"C:\\Temp\\other.htm"] = "<html>";
  module->Unload();
  EXPECT_EQ(desktop.files.count(u"C:\\Temp\\wkptrsdl.htm"), 0u);
  EXPECT_EQ(desktop.files.count(u"C:\\Temp\\other.htm"), 1u);
}

TEST_F(WebModule, StartUpFailuresAndTheFirstRunText) {
  driver.identity[1] = "QZS10ABX";
  EXPECT_EQ(Start(), -252) << "no feed for this model";
  driver = Notebook();
  driver.identity.erase(2);
  EXPECT_EQ(Start(), -251);
  driver = Notebook();
  ASSERT_EQ(Start(), 0);
  std::u16string text;
  EXPECT_EQ(module->InitialMessage(text), 0);
  EXPECT_EQ(text, u"first run");
  store.machine[u"Enable"] = 0;
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(module->InitialMessage(text), -252);
  EXPECT_EQ(module->ManualCheck(kCapacity).result, kit::kCheckNothing);
}

}  // namespace
