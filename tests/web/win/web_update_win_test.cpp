// The licence and progress dialogs under Wine, driven by a stand-in worker to the end and to a
// cancel, with a second thread clicking as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <string>
#include <thread>

#include "modules/web/module/web_update_win.h"

namespace {
using web::FeedItem;

FeedItem Entry(const std::u16string& title, uint32_t size, bool present, bool reboot = false) {
  FeedItem e;
  e.title = title;
  e.suppressed = e.listed = false;
  e.autoInstall = true;
  e.rebootRequired = reboot;
  e.downloads.push_back({u"http://dl/x", u"C:\\x", size, present ? size : 0, present});
  e.downloadChecked = !present;
  e.installChecked = true;
  return e;
}

std::wstring Text(HWND w) {
  wchar_t buffer[512] = {};
  GetWindowTextW(w, buffer, 512);
  return buffer;
}

// Waits up to 30 s for a condition, polling the window state the test watches.
bool WaitFor(const std::function<bool()>& condition) {
  for (int i = 0; i < 3000; ++i) {
    if (condition()) return true;
    Sleep(10);
  }
  return false;
}

HWND WaitDialog(const wchar_t* caption) {
  HWND found = nullptr;
  WaitFor([&] { return (found = FindWindowW(L"#32770", caption)) && IsWindowVisible(found); });
  return found;
}

// The stand-in worker: the engine's messages for downloads and installs, stopping at a cancel.
struct Script {
  bool waitForCancel = false;  // after the first chunk, until the dialog's cancel
  int rows = 0;
};

void Worker(web::ProgressWork& w) {
  auto& script = *static_cast<Script*>(w.context);
  std::vector<int> rows;
  int installs = 0;
  for (FeedItem& e : *w.entries) {
    const int state = e.downloadChecked ? web::kWaitingDownload : web::kWaitingInstall;
    rows.push_back(static_cast<int>(SendMessageW(w.dialog, web::kDlAddRow, reinterpret_cast<WPARAM>(&e), state)));
    installs += e.installChecked;
  }
  script.rows = static_cast<int>(rows.size());
  SendMessageW(w.dialog, web::kDlInit, 0, 0);
  bool cancelled = false;
  for (std::size_t i = 0; i < rows.size(); ++i) {
    FeedItem& e = (*w.entries)[i];
    if (!e.downloadChecked) continue;
    SendMessageW(w.dialog, web::kDlSetState, web::kDownloading, rows[i]);
    const uint32_t size = e.downloads[0].expectedSize, chunk = size / 4;
    for (int k = 0; k < 4; ++k) {
      if (WaitForSingleObject(w.cancel, 0) == WAIT_OBJECT_0) cancelled = true;
      if (cancelled) break;
      SendMessageW(w.dialog, web::kDlProgress, chunk, rows[i]);
      if (script.waitForCancel) cancelled = WaitForSingleObject(w.cancel, 30000) == WAIT_OBJECT_0;
    }
    SendMessageW(w.dialog, web::kDlSetState, cancelled ? web::kDownloadFailed : web::kWaitingInstall, rows[i]);
  }
  SendMessageW(w.dialog, web::kDlDownloadsDone, 0, 0);
  if (!cancelled) {
    SendMessageW(w.dialog, web::kDlInstallBegin, static_cast<WPARAM>(installs), 0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      SendMessageW(w.dialog, web::kDlSetState, web::kExtracting, rows[i]);
      SendMessageW(w.dialog, web::kDlInstallStep, 1, 0);
      (*w.entries)[i].installed = true;
      SendMessageW(w.dialog, web::kDlSetState, web::kInstalled, rows[i]);
      SendMessageW(w.dialog, web::kDlInstallStep, 1, 0);
    }
  }
  PostMessageW(w.dialog, web::kDlFinished, 0, 0);
}

TEST(UpdateDialogs, LicenceListsTheInstallsAndAccepts) {
  std::vector<FeedItem> entries = {Entry(u"BIOS アップデート", 100, false), Entry(u"無線 LAN\r\nドライバ", 10, true)};
  std::wstring titles;
  std::thread user([&] {
    HWND d = WaitDialog(L"使用許諾契約");
    ASSERT_TRUE(d);
    HWND list = GetDlgItem(d, web::kLicenceTitles);
    wchar_t line[256] = {};
    SendMessageW(list, LB_GETTEXT, 1, reinterpret_cast<LPARAM>(line));
    titles = std::to_wstring(SendMessageW(list, LB_GETCOUNT, 0, 0)) + L"|" + line;
    EXPECT_NE(Text(GetDlgItem(d, web::kLicenceText)).find(L"ソフトウェア使用許諾契約"), std::wstring::npos);
    SendMessageW(GetDlgItem(d, IDYES), BM_CLICK, 0, 0);
  });
  EXPECT_TRUE(web::AcceptLicence(nullptr, entries));
  user.join();
  EXPECT_EQ(titles, L"2|無線 LAN  ドライバ") << "line breaks become blanks";
  for (auto& e : entries) e.installChecked = false;
  EXPECT_TRUE(web::AcceptLicence(nullptr, entries)) << "nothing to install: accepted without asking";
}

TEST(UpdateDialogs, ProgressRunsToTheEnd) {
  // 60 MB: percentages of sizes above 42.9 MB stay right.
  std::vector<FeedItem> entries = {Entry(u"BIOS アップデート", 60000000, false), Entry(u"無線 LAN ドライバ", 4096, true)};
  Script script;
  std::wstring heading, first, second;
  std::thread user([&] {
    HWND d = WaitDialog(L"アップデートプログラムのダウンロード・インストール");
    ASSERT_TRUE(d);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(d, IDOK)) != 0; }));
    heading = Text(GetDlgItem(d, web::kProgressHeading));
    wchar_t label[64] = {};
    LVITEMW item = {};
    item.iSubItem = 1;
    item.pszText = label;
    item.cchTextMax = 64;
    SendDlgItemMessageW(d, web::kProgressList, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
    first = label;
    SendDlgItemMessageW(d, web::kProgressList, LVM_GETITEMTEXTW, 1, reinterpret_cast<LPARAM>(&item));
    second = label;
    EXPECT_EQ(SendDlgItemMessageW(d, web::kProgressBar, PBM_GETPOS, 0, 0), 4);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(d, IDCANCEL)));
    SendMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(web::RunProgress(nullptr, entries, 2, Worker, &script), 0);
  user.join();
  EXPECT_EQ(script.rows, 2);
  EXPECT_EQ(heading, L"完了");
  EXPECT_EQ(first, L"インストール成功");
  EXPECT_EQ(second, L"インストール成功");
}

TEST(UpdateDialogs, CancelDuringTheDownloads) {
  std::vector<FeedItem> entries = {Entry(u"BIOS アップデート", 60000000, false)};
  Script script;
  script.waitForCancel = true;
  std::wstring heading, remaining;
  std::thread user([&] {
    HWND d = WaitDialog(L"アップデートプログラムのダウンロード・インストール");
    ASSERT_TRUE(d);
    ASSERT_TRUE(WaitFor([&] { return SendDlgItemMessageW(d, web::kProgressBar, PBM_GETPOS, 0, 0) == 25; }));
    remaining = Text(GetDlgItem(d, web::kProgressRemaining));
    SendMessageW(GetDlgItem(d, IDCANCEL), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(d, IDOK)) != 0; }));
    heading = Text(GetDlgItem(d, web::kProgressHeading));
    SendMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(web::RunProgress(nullptr, entries, 1, Worker, &script), -1);
  user.join();
  EXPECT_EQ(remaining, L"推定残り時間: 計算中...(0バイト/57MB)");
  EXPECT_EQ(heading, L"キャンセルしました");
  EXPECT_FALSE(entries[0].installed);
}
}  // namespace
