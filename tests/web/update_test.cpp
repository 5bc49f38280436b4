// The update manager's rules: what a load leads to, the page's boxes, the total size, the
// progress list with its estimate, and the end-of-session question.
#include <gtest/gtest.h>

#include "common/core/winversion_rules.h"
#include "modules/web/web_update.h"

using web::FeedItem;

namespace {

// A needed entry with files of these sizes; `present` files are already there.
FeedItem Entry(std::vector<uint32_t> sizes, std::size_t present = 0, bool autoInstall = true) {
  FeedItem e;
  e.suppressed = e.listed = false;
  e.autoInstall = autoInstall;
  e.description = u"77";
  for (std::size_t i = 0; i < sizes.size(); ++i)
    e.downloads.push_back({u"http://dl/f", u"C:\\AppData\\Velmorant\\77\\f" + std::u16string(1, u'0' + i), sizes[i],
                           i < present ? sizes[i] : 0, i < present});
  return e;
}

FeedItem InformationOnly() {
  FeedItem e;
  e.suppressed = true;
  e.listed = false;
  return e;
}

TEST(UpdateLoad, WhatTheManagerShows) {
  using Show = web::LoadOutcome::Show;
  FeedItem self = Entry({10});
  self.selfUpdate = true;
  struct Case {
    int result;
    std::vector<FeedItem> entries;
    Show show;
    bool offer;
  } cases[] = {
      {-1, {}, Show::Failed, false},
      {-4, {}, Show::Failed, false},  // the result page's reader timed out
      {-2, {}, Show::NoTempFile, false},
      {-3, {}, Show::Nothing, false},
      {0, {}, Show::Nothing, false},
      {1, {InformationOnly()}, Show::Catalogue, false},
      {1, {self}, Show::Catalogue, true},  // a lone self-update is still offered
      {2, {self, Entry({1})}, Show::Catalogue, true},
  };
  for (const Case& c : cases) {
    const auto o = web::AfterLoad(c.result, c.entries);
    EXPECT_EQ(o.show, c.show) << c.result;
    EXPECT_EQ(o.offerSelfUpdate, c.offer) << c.result;
  }
}

struct Rights : web::IUserRights {
  uint16_t release;
  bool admin;
  int asked = 0;
  Rights(uint16_t r, bool a) : release(r), admin(a) {}
  uint16_t WindowsRelease() override { return release; }
  bool IsAdministrator() override {
    ++asked;
    return admin;
  }
};

TEST(UpdateRights, OnlyXpNeedsAnAdministrator) {
  const struct {
    uint16_t release;
    bool admin, runs, asked;
  } cases[] = {
      {WINVER_XP, false, false, true}, {WINVER_XP, true, true, true},       {WINVER_VISTA, false, true, false},
      {WINVER_7, false, true, false},  {WINVER_2000, false, true, false}, {WINVER_UNKNOWN, false, true, false},
  };
  for (const auto& c : cases) {
    Rights rights(c.release, c.admin);
    EXPECT_EQ(web::ManagerMayRun(rights), c.runs) << c.release << " " << c.admin;
    EXPECT_EQ(rights.asked > 0, c.asked) << c.release;
  }
}

TEST(UpdatePage, ClicksOnTheBoxesAndButtons) {
  const struct {
    const char16_t *type, *tag, *id, *src;
    uint32_t message;  // 0: none
    std::size_t index;
    bool checked, proceed;
  } cases[] = {
      {u"click", u"IMG", u"download_2", u"file:///C:/m/sysglance_check_on_n.png", web::kMgrDownloadCheck, 2, true, true},
      {u"click", u"img", u"download_0", u"sysglance_check_off_n.png", web::kMgrDownloadCheck, 0, false, true},
      {u"click", u"img", u"install_1", u"sysglance_check_on_n.png", web::kMgrInstallCheck, 1, true, true},
      {u"click", u"img", u"installbutton_1", u"sysglance_install_on_blue.png", web::kMgrManualInstall, 1, false, false},
      {u"click", u"img", u"download_3", u"check_on", 0, 0, false, true},   // no such entry
      {u"click", u"img", u"download_x", u"check_on", 0, 0, false, true},
      {u"click", u"a", u"download_1", u"check_on", 0, 0, false, true},     // only the images count
      {u"mouseover", u"img", u"download_1", u"check_on", 0, 0, false, true},
  };
  for (const auto& c : cases) {
    kit::PageClick click;
    click.type = c.type;
    click.tag = c.tag;
    click.id = c.id;
    click.src = c.src;
    const auto action = web::ManagerPageClick(click, 3);
    ASSERT_EQ(action.has_value(), c.message != 0) << "case " << (&c - cases);
    if (!action) continue;
    EXPECT_EQ(action->message, c.message);
    EXPECT_EQ(action->index, c.index);
    EXPECT_EQ(action->checked, c.checked);
    EXPECT_EQ(action->proceed, c.proceed);
  }
}

TEST(UpdateSelection, BoxesIdsAndTotalSize) {
  std::vector<FeedItem> e = {Entry({3u << 20, 1u << 20}), Entry({2048}), InformationOnly(), Entry({5}, 1, false)};
  EXPECT_EQ(web::TotalSizeText(e), u" ");
  ASSERT_TRUE(web::SetDownloadChecked(e, 0, true));
  EXPECT_TRUE(e[0].installChecked) << "the install box follows the download box";
  EXPECT_EQ(web::TotalSizeText(e), u"合計サイズ: 4MB");
  ASSERT_TRUE(web::SetDownloadChecked(e, 1, true));
  EXPECT_EQ(web::TotalSizeText(e), u"合計サイズ: 4MB");
  ASSERT_TRUE(web::SetDownloadChecked(e, 0, false));
  EXPECT_FALSE(e[0].installChecked);
  EXPECT_EQ(web::TotalSizeText(e), u"合計サイズ: 2kB");
  EXPECT_TRUE(web::SetInstallChecked(e, 0, true));
  EXPECT_FALSE(web::SetDownloadChecked(e, 2, true)) << "an information-only row has no box";
  EXPECT_FALSE(web::SetInstallChecked(e, 3, true)) << "without automatic install there is no install box";
  EXPECT_FALSE(web::SetDownloadChecked(e, 9, true));
  e[1].downloads[0].expectedSize = 10;
  EXPECT_EQ(web::TotalSizeText(e), u"合計サイズ: 1kB");
  EXPECT_EQ(web::SelectedCount(e), 2u);

  // Ids from the page name an entry of the catalogue, or nothing.
  EXPECT_EQ(web::PageEntryIndex(u"download_3", u"download_", 4), 3u);
  EXPECT_FALSE(web::PageEntryIndex(u"download_4", u"download_", 4));
  EXPECT_FALSE(web::PageEntryIndex(u"download_-1", u"download_", 4));
  EXPECT_FALSE(web::PageEntryIndex(u"download_99999999999999999999", u"download_", 4));
  EXPECT_FALSE(web::PageEntryIndex(u"download_", u"download_", 4));
  EXPECT_FALSE(web::PageEntryIndex(u"install_1", u"download_", 4));
}

TEST(UpdateSelection, SelfUpdateManualInstallAndResume) {
  std::vector<FeedItem> e = {Entry({10}), Entry({10}, 1), InformationOnly()};
  e[0].downloadChecked = true;
  e[1].selfUpdate = true;
  EXPECT_EQ(web::SelectSelfUpdate(e), 1u);
  EXPECT_FALSE(e[0].downloadChecked);
  EXPECT_FALSE(e[1].downloadChecked) << "its file is already there";
  EXPECT_TRUE(e[1].installChecked);

  const std::u16string root = u"C:\\AppData\\Velmorant\\";
  FeedItem manual = Entry({10, 20}, 2, false);
  const auto files = web::ManualInstallFiles(manual, root);
  ASSERT_TRUE(files);
  EXPECT_EQ(files->manual, u"C:\\AppData\\Velmorant\\77\\f1");
  EXPECT_EQ(files->folder, u"C:\\AppData\\Velmorant\\77");
  FeedItem commaProfile = manual;
  const std::u16string profile = u"C:\\Users\\Doe, J\\AppData\\Velmorant\\";
  commaProfile.downloads[1].localPath = profile + u"77\\f1";
  const auto quoted = web::ManualInstallFiles(commaProfile, profile);
  ASSERT_TRUE(quoted);
  EXPECT_EQ(quoted->explorerArguments, u"\"C:\\Users\\Doe, J\\AppData\\Velmorant\\77\"") << "one folder for explorer";
  manual.downloads[1].done = false;
  EXPECT_FALSE(web::ManualInstallFiles(manual, root)) << "not downloaded";
  manual.downloads[1].done = true;
  manual.downloads[1].localPath = u"C:\\AppData\\Velmorant\\77\\..\\..\\x.exe";
  EXPECT_FALSE(web::ManualInstallFiles(manual, root));
  manual.downloads[1].localPath = u"C:\\Windows\\notepad.exe";
  EXPECT_FALSE(web::ManualInstallFiles(manual, root));
  EXPECT_FALSE(web::ManualInstallFiles(Entry({10}, 1), root)) << "no manual";

  EXPECT_TRUE(web::ResumeWanted(e));
  EXPECT_FALSE(web::ResumeWanted({InformationOnly(), FeedItem()}));
}

TEST(UpdateProgress, TextsAtTheirBoundaries) {
  EXPECT_EQ(web::AmountText(0), u"0バイト");
  EXPECT_EQ(web::AmountText(1024), u"1024バイト");
  EXPECT_EQ(web::AmountText(1025), u"1kB");
  EXPECT_EQ(web::AmountText(1048577), u"1MB");
  EXPECT_EQ(web::RemainingText(59, 1, 2), u"推定残り時間: 59秒 (1バイト/2バイト)");
  EXPECT_EQ(web::RemainingText(60, 1, 2), u"推定残り時間: 1分0秒 (1バイト/2バイト)");
  EXPECT_EQ(web::RemainingText(3599, 1, 2), u"推定残り時間: 59分59秒 (1バイト/2バイト)");
  EXPECT_EQ(web::RemainingText(3600, 1, 2), u"推定残り時間: 1時間0分 (1バイト/2バイト)");
  EXPECT_EQ(web::RemainingText(86399, 1, 2), u"推定残り時間: 23時間59分 (1バイト/2バイト)");
  EXPECT_EQ(web::RemainingText(86400, 1, 2), u"推定残り時間: 計算中...(1バイト/2バイト)");
  EXPECT_EQ(web::RowLabel(web::kDownloading, 42), u"42% ダウンロード済み");
  EXPECT_EQ(web::RowLabel(web::kExtracting, 0), u"展開中");
  EXPECT_EQ(web::RowLabel(web::kVerifyFailed, 0), u"署名確認失敗");
}

TEST(UpdateProgress, LargeDownloadsKeepRightPercentagesAndEstimates) {
  // 3 GB in two rows: 32-bit products of bytes × 100 would wrap long before this.
  std::vector<FeedItem> e = {Entry({2000000000u}), Entry({1000000000u})};
  for (auto& x : e) x.downloadChecked = true;
  web::Progress p(2);
  EXPECT_EQ(p.AddRow(e[0], web::kWaitingDownload), 0);
  EXPECT_EQ(p.AddRow(e[1], web::kWaitingDownload), 1);
  EXPECT_EQ(p.Init(), u"推定残り時間: 計算中...(0バイト/2861MB)");
  auto u = p.Advance(1000000000u, 0, 100);  // notes the start and the second
  EXPECT_EQ(u.bar, 33);
  EXPECT_FALSE(u.remaining);
  u = p.Advance(0, 0, 100);
  EXPECT_FALSE(u.bar) << "unchanged bar";
  EXPECT_FALSE(u.remaining) << "same second";
  u = p.Advance(500000000u, 0, 130);  // 1.5 GB in 30 s: 1.5 GB left, 30 s
  EXPECT_EQ(u.bar, 50);
  EXPECT_EQ(u.remaining, u"推定残り時間: 30秒 (1430MB/2861MB)");
  EXPECT_FALSE(u.rowLabel) << "the row is not downloading yet";
  p.SetState(0, web::kDownloading);
  u = p.Advance(0, 0, 131);
  EXPECT_EQ(u.rowLabel, u"75% ダウンロード済み");
}

// A row of two 3 GB files: past 4 GiB, where 32-bit sizes and sums wrap.
TEST(UpdateProgress, RowsAndTotalsAbove4GiB) {
  std::vector<FeedItem> e = {Entry({3000000000u, 3000000000u})};
  e[0].downloadChecked = true;
  EXPECT_EQ(web::TotalSizeText(e), u"合計サイズ: 5722MB");
  web::Progress p(1);
  ASSERT_EQ(p.AddRow(e[0], web::kWaitingDownload), 0);
  EXPECT_EQ(p.Init(), u"推定残り時間: 計算中...(0バイト/5722MB)");
  p.SetState(0, web::kDownloading);
  auto u = p.Advance(4500000000u, 0, 10);
  EXPECT_EQ(u.bar, 75);
  u = p.Advance(0, 0, 19);  // 9 s for 4.5 GB: 3 s for the 1.5 GB left
  EXPECT_EQ(u.remaining, u"推定残り時間: 3秒 (4291MB/5722MB)");
  EXPECT_EQ(u.rowLabel, u"75% ダウンロード済み");
}

TEST(UpdateProgress, RowsStatesCancelAndRestart) {
  std::vector<FeedItem> e = {Entry({10}, 1), Entry({10}), FeedItem(), Entry({10})};
  e[0].installChecked = true;  // install only: its file is there
  e[1].downloadChecked = true;
  e[3].downloadChecked = true;
  web::Progress p(2);
  EXPECT_EQ(p.AddRow(e[0], web::kWaitingInstall), 0);
  EXPECT_EQ(p.AddRow(e[2], web::kWaitingDownload), -1);
  EXPECT_EQ(p.AddRow(e[1], web::kWaitingDownload), 1);
  EXPECT_EQ(p.AddRow(e[3], web::kWaitingDownload), -2);
  EXPECT_EQ(p.Total(), 10u) << "an install-only row adds no bytes";
  EXPECT_FALSE(p.SetState(5, web::kInstalled));
  EXPECT_EQ(p.CancelText(), u"");
  p.BeginInstall();
  p.SetState(0, web::kExtracting);
  EXPECT_EQ(p.CancelText(), u"インストールをキャンセルしています...");
  p.SetState(0, web::kInstalling);
  EXPECT_EQ(p.CancelText(), u"インストール中のアップデートプログラムの完了を待っています...");
  EXPECT_FALSE(p.RestartWanted());
  e[1].installed = e[1].rebootRequired = true;
  EXPECT_TRUE(p.RestartWanted());

  // Only install boxes ticked: nothing to fetch, the calculating text with zero amounts.
  web::Progress installs(1);
  installs.AddRow(e[0], web::kWaitingInstall);
  EXPECT_EQ(installs.Init(), u"推定残り時間: 計算中...(0バイト/0バイト)");
}

}  // namespace
