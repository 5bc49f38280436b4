// The update manager with its licence and progress dialogs under Wine, driven by a stand-in
// worker to the end and to a cancel, with a second thread clicking as a user would.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>

#include "common/core/winversion_rules.h"
#include "host/module_contract.h"
#include "modules/web/module/web_catalogue_win.h"
#include "modules/web/module/web_manager_win.h"
#include "modules/web/module/web_platform.h"
#include "modules/web/module/web_update_win.h"
#include "tests/common/win/win_test_support.h"
#include "tests/web/win/win_catalogue_ports.h"

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

using wintest::WaitDialog;
using wintest::WaitFor;

// With TELLWICK_SHOTS naming a folder (scripts/web_manager_screenshots.sh), the dialog's
// picture is taken while the test holds: NAME.ready is written there, and the test goes on
// once NAME.png has come.
void HoldForPicture(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  const DWORD n = GetEnvironmentVariableW(L"TELLWICK_SHOTS", folder, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return;
  const std::wstring base = std::wstring(folder) + L"\\" + name;
  HANDLE ready = CreateFileW((base + L".ready").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(ready, INVALID_HANDLE_VALUE) << name;
  CloseHandle(ready);
  EXPECT_TRUE(WaitFor([&] { return GetFileAttributesW((base + L".png").c_str()) != INVALID_FILE_ATTRIBUTES; })) << name;
}

// The stand-in worker: the engine's messages for downloads and installs, stopping at a cancel.
struct Script {
  bool waitForCancel = false;  // after the first chunk, until the dialog's cancel
  int rows = 0;
  // After a cancel, once `resume` is set: the pause the engine sends to the host window.
  HWND host = nullptr;
  HANDLE resume = nullptr;
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
  for (int row : rows) script.rows += row >= 0;
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
  if (cancelled && script.host) {
    WaitForSingleObject(script.resume, 30000);
    // Bounded, so that a host that never answers fails the test instead of holding it.
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(script.host, WM_HOST_PAUSE, 1, 0, SMTO_NORMAL, 30000, &answer);
  }
  SendMessageW(w.dialog, web::kDlDownloadsDone, 0, 0);
  if (!cancelled) {
    SendMessageW(w.dialog, web::kDlInstallBegin, static_cast<WPARAM>(installs), 0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      if (rows[i] < 0 || !(*w.entries)[i].installChecked) continue;
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
    HoldForPicture(L"progress");
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

// The close box pressed twice while the worker still works: the dialog stays until the worker
// is done, and the host's window, on the dialog's thread, goes on answering meanwhile.
TEST(UpdateDialogs, ClosedTwiceDuringACancelTheHostStillAnswers) {
  std::vector<FeedItem> entries = {Entry(u"BIOS アップデート", 60000000, false)};
  Script script;
  script.waitForCancel = true;
  script.host = CreateWindowW(L"STATIC", L"host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  script.resume = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_TRUE(script.host && script.resume);
  bool stayed = false, answered = false;
  std::wstring heading;
  std::thread user([&] {
    HWND d = WaitDialog(L"アップデートプログラムのダウンロード・インストール");
    ASSERT_TRUE(d);
    ASSERT_TRUE(WaitFor([&] { return SendDlgItemMessageW(d, web::kProgressBar, PBM_GETPOS, 0, 0) == 25; }));
    SendMessageW(d, WM_CLOSE, 0, 0);
    SendMessageW(d, WM_CLOSE, 0, 0);
    SetEvent(script.resume);
    DWORD_PTR result = 0;
    answered = SendMessageTimeoutW(script.host, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result) != 0;
    stayed = IsWindow(d) != 0;
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(d) || IsWindowEnabled(GetDlgItem(d, IDOK)) != 0; }));
    if (!IsWindow(d)) return;
    heading = Text(GetDlgItem(d, web::kProgressHeading));
    SendMessageW(GetDlgItem(d, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_EQ(web::RunProgress(nullptr, entries, 1, Worker, &script), -1);
  user.join();
  EXPECT_TRUE(stayed) << "the second close ended the dialog before the worker";
  EXPECT_TRUE(answered) << "the host did not answer within 10 seconds";
  EXPECT_EQ(heading, L"キャンセルしました");
  DestroyWindow(script.host);
  CloseHandle(script.resume);
}

// Keeps the writes of the user's settings.
struct RecordingStore : web::ISettingsStore {
  std::optional<uint32_t> UserDword(const char16_t*) override { return std::nullopt; }
  std::optional<uint32_t> MachineDword(const char16_t*) override { return std::nullopt; }
  bool WriteUserDword(const char16_t* name, uint32_t value) override {
    writes.push_back(std::u16string(name) + u"=" + static_cast<char16_t>(u'0' + value));
    return true;
  }
  bool AuditMode() override { return false; }
  std::vector<std::u16string> writes;
};

std::u16string U(const std::string& s) { return std::u16string(s.begin(), s.end()); }

using wintest::Cell;

int RowOf(HWND list, std::size_t entry) {
  LVFINDINFOW find = {LVFI_PARAM};
  find.lParam = static_cast<LPARAM>(entry);
  return static_cast<int>(SendMessageW(list, LVM_FINDITEMW, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&find)));
}

// A click as the list view reports it, at the middle of a row's column.
void ClickCell(HWND dialog, HWND list, int row, int column) {
  RECT r = {};
  r.top = column;
  r.left = LVIR_LABEL;
  SendMessageW(list, LVM_GETSUBITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
  NMITEMACTIVATE click = {};
  click.hdr = {list, static_cast<UINT_PTR>(web::kManagerList), static_cast<UINT>(NM_CLICK)};
  click.iItem = row;
  click.ptAction = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
  SendMessageW(dialog, WM_NOTIFY, web::kManagerList, reinterpret_cast<LPARAM>(&click));
}

// The Windows ports over the support server's default notebook, and a manager set up on them.
struct DefaultNotebook {
  explicit DefaultNotebook(int port) : base("http://127.0.0.1:" + std::to_string(port) + "/default/") {
    setup.source = {U(base + "s/wkpt.xml"), base, web::kDefaultSearchFormat, u"C:\\Tellwick\\wkptrss.dll"};
    setup.machine = {u"PT-15KB3456CS", u"9K1234567", *web::ReadFirmwareVersion(u"V1.23L45A M67"),
                     *web::ReadFirmwareVersion(u"V2.10L05")};
    setup.ports = &windowsPorts.ports;
  }
  const std::string base;
  std::unique_ptr<http::CHttpFetcher> fetcher = std::make_unique<http::CHttpFetcher>(L"PT-15KB3456CS", L"9K123 4567");
  wintest::WinCataloguePorts windowsPorts{fetcher};
  web::ManagerSetup setup;
};

// The manager over the default notebook's catalogue from the support server: a download box
// unticked from the list, Start, the licence accepted, the progress run to the end and the
// list refreshed; then the end of the Windows session, which counts only when it is real.
TEST(UpdateManager, SelectionLicenceProgressAndTheEndOfTheSession) {
  const int port = wintest::SupportServerPorts(wintest::WinePath(SUPPORT_STATE_DIR))["http"];
  ASSERT_NE(port, 0) << "the support server fixture is not running";
  DefaultNotebook notebook(port);
  RecordingStore store;
  Script script;
  web::ManagerSetup& setup = notebook.setup;
  setup.store = &store;
  setup.worker = Worker;
  setup.context = &script;

  std::wstring totalBefore, totalAfter, wirelessBox, licence, heading, refreshed;
  bool pageHidden = false;
  std::vector<std::u16string> afterFalse, afterYes, afterNo;
  std::thread user([&] {
    HWND m = WaitDialog(L"アップデートプログラムのダウンロードとインストール - Tellwick");
    ASSERT_TRUE(m);
    HWND list = GetDlgItem(m, web::kManagerList);
    ASSERT_TRUE(WaitFor([&] { return IsWindowVisible(list) && IsWindowEnabled(GetDlgItem(m, web::kManagerStart)); }));
    totalBefore = Text(GetDlgItem(m, web::kManagerTotal));
    // Without an HTML engine the page never loads: the list stands in for it.
    HWND page = GetDlgItem(m, web::kManagerPage);
    pageHidden = !page || !IsWindowVisible(page);
    std::printf("browser control %s\n", page ? "made, its page not loaded" : "not made");
    HoldForPicture(L"manager");
    ClickCell(m, list, RowOf(list, 1), 0);
    totalAfter = Text(GetDlgItem(m, web::kManagerTotal));
    wirelessBox = Cell(list, RowOf(list, 1), 0);

    PostMessageW(m, WM_COMMAND, MAKEWPARAM(web::kManagerStart, BN_CLICKED), 0);
    HWND l = WaitDialog(L"使用許諾契約");
    ASSERT_TRUE(l);
    licence = std::to_wstring(SendDlgItemMessageW(l, web::kLicenceTitles, LB_GETCOUNT, 0, 0));
    HoldForPicture(L"licence");
    SendMessageW(GetDlgItem(l, IDYES), BM_CLICK, 0, 0);
    HWND p = WaitDialog(L"アップデートプログラムのダウンロード・インストール");
    ASSERT_TRUE(p);
    ASSERT_TRUE(WaitFor([&] { return IsWindowEnabled(GetDlgItem(p, IDOK)) != 0; }));
    heading = Text(GetDlgItem(p, web::kProgressHeading));
    PostMessageW(p, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    HWND restart = WaitDialog(L"Tellwick");  // the BIOS update asks for a restart: not now
    ASSERT_TRUE(restart);
    SendMessageW(GetDlgItem(restart, IDNO), BM_CLICK, 0, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(p) && IsWindowVisible(list); }));
    refreshed = Text(GetDlgItem(m, web::kManagerTotal));

    // Bounded: a question shown here would otherwise hold the test.
    DWORD_PTR answered = 0;
    EXPECT_TRUE(SendMessageTimeoutW(m, WM_ENDSESSION, FALSE, 0, SMTO_NORMAL, 30000, &answered));
    EXPECT_EQ(answered, 1u);
    afterFalse = store.writes;
    for (int answer : {IDYES, IDNO}) {
      PostMessageW(m, WM_ENDSESSION, TRUE, 0);
      HWND box = WaitDialog(L"Tellwick");
      ASSERT_TRUE(box);
      SendMessageW(GetDlgItem(box, answer), BM_CLICK, 0, 0);
      ASSERT_TRUE(WaitFor([&] { return !IsWindow(box); }));
      (answer == IDYES ? afterYes : afterNo) = store.writes;
    }
    SendMessageW(GetDlgItem(m, IDCANCEL), BM_CLICK, 0, 0);
  });
  // The manager runs in a single-threaded apartment, as on the host's thread.
  const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  EXPECT_TRUE(web::RunManager(nullptr, setup));
  if (SUCCEEDED(com)) CoUninitialize();
  user.join();
  EXPECT_TRUE(pageHidden);
  EXPECT_EQ(totalBefore, L"合計サイズ: 46MB");
  EXPECT_EQ(totalAfter, L"合計サイズ: 3MB") << "the wireless driver's 43 MB no longer counted";
  EXPECT_EQ(wirelessBox, L"□");
  EXPECT_EQ(licence, L"1");
  EXPECT_EQ(script.rows, 1) << "only the ticked entry gets a row";
  EXPECT_EQ(heading, L"完了");
  EXPECT_EQ(refreshed, L"合計サイズ: 46MB") << "refreshed: the page's boxes ticked again";
  EXPECT_TRUE(afterFalse.empty()) << "a session that goes on is no reason to resume";
  EXPECT_EQ(afterYes, std::vector<std::u16string>{u"OpenUpdateOnNextBoot=1"});
  EXPECT_EQ(afterNo, (std::vector<std::u16string>{u"OpenUpdateOnNextBoot=1", u"OpenUpdateOnNextBoot=1", u"OpenUpdateOnNextBoot=0"}));
}

struct XpUser : web::IUserRights {
  uint16_t WindowsRelease() override { return WINVER_XP; }
  bool IsAdministrator() override { return false; }
};

// On Windows XP a user without administrator rights is told so, and the manager closes
// before it loads anything.
TEST(UpdateManager, OnXpOnlyAnAdministratorMayRunIt) {
  const int port = wintest::SupportServerPorts(wintest::WinePath(SUPPORT_STATE_DIR))["http"];
  ASSERT_NE(port, 0) << "the support server fixture is not running";
  DefaultNotebook notebook(port);
  XpUser user;
  notebook.setup.rights = &user;
  std::atomic<bool> ended{false}, shown{false};
  std::thread watch([&] {
    // Should the check fail, the manager comes up: noted, and closed.
    HWND m = nullptr;
    WaitFor([&] {
      return ended || ((m = FindWindowW(L"#32770", L"アップデートプログラムのダウンロードとインストール - Tellwick")) &&
                       IsWindowVisible(m));
    });
    if (ended || !m) return;
    shown = true;
    SendMessageW(m, WM_COMMAND, IDCANCEL, 0);
  });
  std::wstring text;
  {
    wintest::BoxAnswer box(L"Tellwick", IDOK);
    EXPECT_TRUE(web::RunManager(nullptr, notebook.setup));
    text = box.Text();
  }
  ended = true;
  watch.join();
  EXPECT_EQ(text, L"管理者権限のユーザーで実行してください。");
  EXPECT_FALSE(shown);
}
}  // namespace
