// wkptrss.dll (sim variant) driven the way the host drives it, on the default simulated
// notebook, reading its feed from the support server stand-in over HTTP: fetch, filter,
// history, the Shift_JIS page, read marks, faults, LocalMode, the history view and the
// settings page, with Wine's registry, files, WinHTTP and MSXML.
#include <windows.h>
#include <mshtml.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/module_contract.h"
#include "modules/web/module/web_resource_ids.h"
#include "tests/common/win/fake_page_event.h"
#include "tests/common/win/module_dll_support.h"
#include "tests/common/win/win_test_support.h"

namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTRSS";
const std::wstring kState = wintest::WinePath(SUPPORT_STATE_DIR);

std::wstring W(const std::string& s) { return std::wstring(s.begin(), s.end()); }

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

std::wstring HistoryPath() {
  wchar_t appData[MAX_PATH] = {};
  SHGetFolderPathW(nullptr, CSIDL_APPDATA, nullptr, 0, appData);
  return std::wstring(appData) + L"\\Velmorant\\WKPTRSS\\wkptrss.log";
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(f);
  return ok && written == bytes.size();
}

// A Shift_JIS page read back through code page 932.
std::wstring ReadAnsi(const std::wstring& path) {
  const std::string bytes = wintest::ReadAll(path);
  std::wstring text(bytes.size(), L'\0');
  text.resize(static_cast<size_t>(MultiByteToWideChar(932, 0, bytes.data(), static_cast<int>(bytes.size()), &text[0],
                                                      static_cast<int>(text.size()))));
  return text;
}

// The history's text without its byte-order mark.
std::wstring ReadHistory() {
  const std::string bytes = wintest::ReadAll(HistoryPath());
  if (bytes.size() < 2) return L"";
  return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data() + 2), (bytes.size() - 2) / 2);
}

std::string Utf16File(const std::wstring& text) {
  std::string bytes("\xFF\xFE", 2);
  bytes.append(reinterpret_cast<const char*>(text.data()), text.size() * 2);
  return bytes;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class Wkptrss : public testing::Test {
 protected:
  Wkptrss() {
    // The maker's image switches the notices on for this notebook.
    machine_.SetDword(L"Enable", 1);
    machine_.SetDword(L"SetupEnable", 1);
    DeleteFileW(HistoryPath().c_str());
  }
  ~Wkptrss() override {
    Unload();
    DeleteFileW(HistoryPath().c_str());
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", nullptr);
  }

  // `root`: the feed's folder on the stand-in, e.g. "/default" or "/fault/404/default".
  int Start(const std::string& root = "/default", const char* scenario = "default.ini") {
    Unload();
    const int port = wintest::SupportServerPorts(kState)["http"];
    EXPECT_NE(port, 0) << "the support server fixture is not running";
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", (L"127.0.0.1:" + std::to_wstring(port) + W(root)).c_str());
    std::string error;
    EXPECT_TRUE(notebook_.Load(wintest::WinePath((std::string(SCENARIO_DIR "/") + scenario).c_str()), false, error))
        << error;
    dll_ = LoadLibraryW(wintest::WinePath(WKPTRSS_DLL).c_str());
    EXPECT_NE(dll_, nullptr);
    if (!dll_) return -1;
    if (!host_) host_ = CreateWindowW(L"STATIC", L"host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    info_ = ModuleInitInfo{sizeof(ModuleInitInfo), 3, 0, 0, 1, notebook_.client()};
    wchar_t errorText[WICKPOST_ERROR_BUFFER] = {};
    const int rc = Get<WickpostInitializeFn>("WickpostInitialize")(host_, &info_, errorText, WICKPOST_ERROR_BUFFER);
    EXPECT_EQ(errorText[0], L'\0') << "nothing in the error text";
    return rc;
  }
  void Unload() {
    if (dll_) FreeLibrary(dll_);
    dll_ = nullptr;
    notebook_.Reset();
  }
  template <class Fn>
  Fn Get(const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  CheckResult Check(const char* entry = "WickpostManualCheck") {
    text_.assign(WICKPOST_CHECK_BUFFER, L'\0');
    page_.assign(WICKPOST_CHECK_BUFFER, L'\0');
    code_ = 0;
    const CheckResult r =
        Get<WickpostCheckFn>(entry)(&text_[0], WICKPOST_CHECK_BUFFER, &page_[0], WICKPOST_CHECK_BUFFER, &code_);
    text_.resize(wcsnlen(text_.c_str(), WICKPOST_CHECK_BUFFER));
    page_.resize(wcsnlen(page_.c_str(), WICKPOST_CHECK_BUFFER));
    return r;
  }
  int Click(const wchar_t* tag, const wchar_t* id, const wchar_t* href = nullptr, BOOL checked = TRUE,
            const wchar_t* value = nullptr) {
    const FakeClick click{L"click", tag, id, href, checked, FALSE, -1, nullptr, value};
    IHTMLEventObj* event = FakePageEvent(&click);
    const int r = Get<WickpostHTMLOnClickFn>("WickpostHTMLOnClick")(event);
    event->Release();
    return r;
  }
  void Close() { Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")(); }

  wintest::ScopedKey user_{HKEY_CURRENT_USER, kModuleKey};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, kModuleKey};
  wintest::SimNotebook notebook_;
  HMODULE dll_ = nullptr;
  HWND host_ = nullptr;
  ModuleInitInfo info_{};
  std::wstring text_, page_;
  uint16_t code_ = 0;
};

const CheckResult kNotConnected = 0x20000002u;
}  // namespace

TEST_F(Wkptrss, FetchFilterRecordPublishAndMarkRead) {
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(info_.checkInterval, 60u);
  EXPECT_EQ(info_.menuItemCount, 2);
  ASSERT_EQ(Check(), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"ホームページ更新情報が 2 件あります");
  const size_t slash = page_.find_last_of(L'\\');
  EXPECT_EQ(page_.compare(slash + 1, 3, L"WKP"), 0) << page_;
  const std::wstring page = ReadAnsi(page_);
  EXPECT_NE(page.find(L"charset=Shift_JIS"), std::wstring::npos);
  EXPECT_NE(page.find(L"重要なお知らせ 1"), std::wstring::npos);
  EXPECT_NE(page.find(L"BIOS update for PT series notebooks"), std::wstring::npos);
  EXPECT_NE(page.find(L"id=\"a_1202\""), std::wstring::npos);
  const std::wstring history = ReadHistory();
  EXPECT_NE(history.find(L"1201\r\nBIOS update for PT series notebooks\r\n"), std::wstring::npos) << history;
  EXPECT_NE(history.find(L"1202\r\nSupport desk hours"), std::wstring::npos) << history;

  // Shown, the support notice's link followed, closed: read, and its page gone.
  Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow")();
  EXPECT_EQ(Click(L"a", L"a_1202", L"http://support.velmorant.example/s/info/newyear.html"), 1);
  g_fakeStyles[0] = L'\0';
  EXPECT_EQ(Click(L"a", L"Toggle_Important", L"file:///C:/x/wkptrss.dll#"), 0) << "an in-page toggle";
  EXPECT_STREQ(g_fakeStyles, L"Important=none;ImportantArrowRight=inline;ImportantArrowDown=none;");
  const std::wstring shown = page_;
  Close();
  EXPECT_FALSE(Exists(shown));
  EXPECT_NE(ReadHistory().find(L"1202\r\nSupport desk hours over the new year\r\n"
                               L"http://support.velmorant.example/s/info/newyear.html\r\n"
                               L"2026-12-01T09:30:00+09:00\r\n2\r\n1\r\n"),
            std::wstring::npos)
      << ReadHistory();
  ASSERT_EQ(Check(), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"ホームページ更新情報が 1 件あります");
  Close();
}

// Each fault of the server gives "not connected" or nothing new, and the history stays as
// it was, byte for byte.
TEST_F(Wkptrss, ServerFaultsKeepTheHistory) {
  ASSERT_EQ(Start(), 0);
  ASSERT_EQ(Check(), static_cast<CheckResult>(CHECK_PAGE));
  Close();
  const std::string before = wintest::ReadAll(HistoryPath());
  ASSERT_FALSE(before.empty());
  const struct {
    const char* root;
    CheckResult result;
  } faults[] = {
      {"/fault/404/default", kNotConnected},   {"/fault/500/default", kNotConnected},
      {"/fault/short/default", kNotConnected}, {"/fault/drop/default", kNotConnected},
      {"/fault/html200/default", CHECK_NOTHING},  // read, but not a feed
      {"/nowhere", kNotConnected},
  };
  for (const auto& f : faults) {
    SCOPED_TRACE(f.root);
    ASSERT_EQ(Start(f.root), 0);
    EXPECT_EQ(Check(), f.result);
    if (f.result == kNotConnected) {
      EXPECT_EQ(text_, L"インターネットに接続していません");
      EXPECT_EQ(code_, 0xFFFF);
    }
    EXPECT_EQ(wintest::ReadAll(HistoryPath()), before);
  }
}

TEST_F(Wkptrss, TruncatedHistoryLosesOnlyItsBrokenTail) {
  const std::wstring records =
      L"1201\r\nBIOS update for PT series notebooks\r\nhttp://support.velmorant.example/s/bios/pt-v124.html\r\n"
      L"2026-11-20T10:00:00+09:00\r\n1\r\n1\r\n"
      L"77\r\nAn older notice\r\n#\r\n2026-01-05T10:00:00+09:00\r\n3\r\n1\r\n"
      L"78\r\nCut off";
  const std::wstring folder = HistoryPath().substr(0, HistoryPath().find_last_of(L'\\'));
  SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
  ASSERT_TRUE(WriteFileBytes(HistoryPath(), Utf16File(records)));
  ASSERT_EQ(Start(), 0);
  ASSERT_EQ(Check(), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text_, L"ホームページ更新情報が 1 件あります") << "1201 was read already";
  const std::wstring history = ReadHistory();
  EXPECT_EQ(history.find(L"1202\r\n"), 0u) << history;
  EXPECT_NE(history.find(L"77\r\nAn older notice\r\n"), std::wstring::npos) << history;
  EXPECT_EQ(history.find(L"Cut off"), std::wstring::npos) << history;
  Close();
}

TEST_F(Wkptrss, LocalModeReadsTheCurrentFolder) {
  ASSERT_TRUE(user_.SetDword(L"LocalMode", 1));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  const std::wstring folder = TempFolder() + L"wkpt-local";
  CreateDirectoryW(folder.c_str(), nullptr);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
  DeleteFileW(L"wkpt.xml");
  ASSERT_EQ(Start("/nowhere"), 0);
  EXPECT_EQ(Check(), kNotConnected) << "no wkpt.xml here";
  ASSERT_TRUE(WriteFileBytes(L"wkpt.xml",
                             "<?xml version=\"1.0\"?><rss xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
                             "xmlns:wkpt=\"urn:w\"><channel><item wkpt:class=\"Topics\"><title>Local &amp; near"
                             "</title><link>http://a.example/</link><dc:date>2026-12-01T09:00:00+09:00</dc:date>"
                             "<dc:identifier>5</dc:identifier></item></channel></rss>"));
  ASSERT_TRUE(user_.SetDword(L"NotifyTopics", 1));
  ASSERT_EQ(Start("/nowhere"), 0);
  ASSERT_EQ(Check(), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_NE(ReadAnsi(page_).find(L"Local &amp; near"), std::wstring::npos);
  Close();
  DeleteFileW(L"wkpt.xml");
  SetCurrentDirectoryW(previous);
  RemoveDirectoryW(folder.c_str());
}

TEST_F(Wkptrss, TrayMenuAndHistoryView) {
  wintest::ScopedKey browser(HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser");
  browser.SetString(L"Browsers", L"true");  // opening the view runs nothing
  ASSERT_EQ(Start(), 0);
  ModuleMenuItem items[2] = {};
  EXPECT_EQ(Get<WickpostGetNotifyIconMenuItemsFn>("WickpostGetNotifyIconMenuItems")(items, 1), MODULE_E_BAD_ARGUMENT);
  ASSERT_EQ(Get<WickpostGetNotifyIconMenuItemsFn>("WickpostGetNotifyIconMenuItems")(items, 2), 0);
  EXPECT_STREQ(items[0].text, L"ホームページ更新通知受信履歴");
  EXPECT_EQ(items[0].id, 1);
  EXPECT_EQ(items[1].id, 2);

  ASSERT_EQ(Check(), static_cast<CheckResult>(CHECK_PAGE));
  Close();
  const std::wstring frameset = TempFolder() + L"wkptrshs1.htm", content = TempFolder() + L"wkptrshs3.htm";
  DeleteFileW(frameset.c_str());
  Get<WickpostIconMenuFn>("WickpostIconMenu")(1);
  ASSERT_TRUE(Exists(frameset));
  EXPECT_TRUE(Exists(TempFolder() + L"wkptrshs2.htm"));
  const std::wstring view = ReadAnsi(content);
  EXPECT_NE(view.find(L"BIOS update for PT series notebooks"), std::wstring::npos);
  EXPECT_NE(view.find(L"id=\"JumpSupport\""), std::wstring::npos);
  Get<WickpostIconMenuFn>("WickpostIconMenu")(1);
  EXPECT_TRUE(Exists(content)) << "made anew when opened again";
  Unload();
  EXPECT_FALSE(Exists(frameset)) << "the view's files go with the module";
}

// The tray's second item opens the update manager over the stand-in's catalogue for this
// notebook.
TEST_F(Wkptrss, TrayItemOpensTheUpdateManager) {
  ASSERT_EQ(Start(), 0);
  int rows = -1;
  std::thread user([&] {
    HWND m = nullptr;
    for (int i = 0; i < 3000 && !(m && IsWindowVisible(GetDlgItem(m, 1030))); ++i, Sleep(10))
      m = FindWindowW(L"#32770", L"アップデートプログラムのダウンロードとインストール - Tellwick");
    ASSERT_TRUE(m);
    rows = static_cast<int>(SendDlgItemMessageW(m, 1030, LVM_GETITEMCOUNT, 0, 0));
    PostMessageW(m, WM_COMMAND, IDCANCEL, 0);
  });
  Get<WickpostIconMenuFn>("WickpostIconMenu")(2);
  user.join();
  EXPECT_EQ(rows, 5) << "the rows of the page: all but the hidden one";
}

// An update left unfinished at the last logoff: the first automatic check reopens the manager
// on the host's own thread (the one that makes every call into the module), through a message
// to the host window, after the check has returned.
TEST_F(Wkptrss, InterruptedUpdateReopensTheManagerOnTheHostsThread) {
  user_.SetDword(L"OpenUpdateOnNextBoot", 1);
  ASSERT_EQ(Start(), 0);
  DWORD managerThread = 0;
  std::atomic<bool> done{false};
  std::thread user([&] {
    HWND m = nullptr;
    for (int i = 0; i < 3000 && !(m && IsWindowVisible(GetDlgItem(m, 1030))); ++i, Sleep(10))
      m = FindWindowW(L"#32770", L"アップデートプログラムのダウンロードとインストール - Tellwick");
    if (m) {
      managerThread = GetWindowThreadProcessId(m, nullptr);
      PostMessageW(m, WM_COMMAND, IDCANCEL, 0);
    }
    done = true;
  });
  EXPECT_EQ(Check("WickpostAutoCheck"), static_cast<CheckResult>(CHECK_KEEP));
  // The host's loop: every message of its window goes to the module first.
  const auto onWndMsg = Get<WickpostOnWndMsgFn>("WickpostOnWndMsg");
  for (MSG msg; !done;) {
    if (!PeekMessageW(&msg, host_, 0, 0, PM_REMOVE)) {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
      continue;
    }
    onWndMsg(msg.hwnd, msg.message, msg.wParam, msg.lParam);
    DispatchMessageW(&msg);
  }
  user.join();
  EXPECT_EQ(managerThread, GetCurrentThreadId());
  DWORD resume = 1, size = sizeof resume;
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kModuleKey, L"OpenUpdateOnNextBoot", RRF_RT_REG_DWORD, nullptr, &resume, &size), 0);
  EXPECT_EQ(resume, 0u) << "cleared as it is taken up";
}

// Runs a call on the thread that made it, from inside whatever message loop that thread is in
// (as the popup's document sink does, in the host's thread, while a module's dialog runs).
class CallInThread {
 public:
  explicit CallInThread(std::function<void()> call) : call_(std::move(call)) {
    window_ = CreateWindowW(L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(Proc));
  }
  ~CallInThread() { DestroyWindow(window_); }
  void Post() { PostMessageW(window_, WM_APP, 0, 0); }
  bool done() const { return done_; }

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<CallInThread*>(GetWindowLongPtrW(w, GWLP_USERDATA));
    if (message != WM_APP || !self) return DefWindowProcW(w, message, wParam, lParam);
    self->call_();
    self->done_ = true;
    return 0;
  }
  std::function<void()> call_;
  HWND window_ = nullptr;
  std::atomic<bool> done_{false};
};

struct WindowSearch {
  const wchar_t* caption;
  int count;
};

BOOL CALLBACK CountWindow(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<WindowSearch*>(p);
  wchar_t text[128] = {};
  DWORD pid = 0;
  GetWindowThreadProcessId(w, &pid);
  if (pid == GetCurrentProcessId() && GetWindowTextW(w, text, 128) && wcscmp(text, s->caption) == 0) ++s->count;
  return TRUE;
}

// This process's top-level windows with this caption.
int CountWindows(const wchar_t* caption) {
  WindowSearch search{caption, 0};
  EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&search));
  return search.count;
}

// The notice page's update button, clicked as the popup reports it, opens the manager; a
// second click while it is open, reported in the same thread from inside the dialog's loop,
// opens no second one.
TEST_F(Wkptrss, UpdateButtonOpensTheManagerOnce) {
  const wchar_t kManager[] = L"アップデートプログラムのダウンロードとインストール - Tellwick";
  ASSERT_EQ(Start(), 0);
  ASSERT_EQ(Check(), static_cast<CheckResult>(CHECK_PAGE));
  ASSERT_NE(ReadAnsi(page_).find(L"<button type=\"button\" name=\"update\" value=\"update\">"), std::wstring::npos)
      << "the BIOS notice offers the update";
  Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow")();
  int again = -1;
  CallInThread secondClick([&] { again = Click(L"BUTTON", L"", nullptr, FALSE, L"update"); });
  int rows = -1, managers = -1;
  bool secondReturned = false;
  std::thread user([&] {
    HWND m = nullptr;
    for (int i = 0; i < 3000 && !(m && IsWindowVisible(GetDlgItem(m, 1030))); ++i, Sleep(10))
      m = FindWindowW(L"#32770", kManager);
    ASSERT_TRUE(m);
    rows = static_cast<int>(SendDlgItemMessageW(m, 1030, LVM_GETITEMCOUNT, 0, 0));
    secondClick.Post();
    for (int i = 0; i < 3000 && !secondClick.done(); ++i) Sleep(10);
    secondReturned = secondClick.done();
    managers = CountWindows(kManager);
    // Every manager that came up goes, so that a fault ends the test instead of holding it.
    for (HWND w; (w = FindWindowW(L"#32770", kManager)) != nullptr;) {
      SendMessageW(w, WM_COMMAND, IDCANCEL, 0);
      for (int i = 0; i < 3000 && IsWindow(w); ++i) Sleep(10);
      if (IsWindow(w)) break;
    }
  });
  const int first = Click(L"BUTTON", L"", nullptr, FALSE, L"update");
  user.join();
  EXPECT_EQ(first, 1) << "the button's own action goes on";
  EXPECT_EQ(rows, 5) << "the manager over the stand-in's catalogue";
  EXPECT_TRUE(secondReturned) << "the second click came back while the manager was open";
  EXPECT_EQ(again, 1);
  EXPECT_EQ(managers, 1);
  Close();
}

TEST_F(Wkptrss, SettingsPageSavesToTheUserKeyOnly) {
  ASSERT_EQ(Start(), 0);
  ASSERT_EQ(Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg")(), IDD_SETUP);
  {
    wintest::SetupPageInSheet sheet(dll_, IDD_SETUP, Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
    HWND page = sheet.page();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_ENABLE), BST_CHECKED);
    EXPECT_EQ(IsDlgButtonChecked(page, IDC_NO_CHECK), BST_CHECKED) << "no automatic check by default";
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, IDC_HOUR)));
    SendDlgItemMessageW(page, IDC_FIXED_TIME, BM_CLICK, 0, 0);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, IDC_HOUR)));
    EXPECT_GE(sheet.changes(), 1);
    SendDlgItemMessageW(page, IDC_MINUTE, CB_SETCURSEL, 2, 0);
    sheet.Apply();
  }
  DWORD method = 0, minute = 0, size = sizeof(DWORD);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kModuleKey, L"CheckMethod", RRF_RT_REG_DWORD, nullptr, &method, &size), 0);
  size = sizeof(DWORD);
  EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kModuleKey, L"CheckMinute", RRF_RT_REG_DWORD, nullptr, &minute, &size), 0);
  EXPECT_EQ(method, 2u);
  EXPECT_EQ(minute, 30u);
  EXPECT_NE(RegGetValueW(HKEY_CURRENT_USER, kModuleKey, L"Enable", RRF_RT_ANY, nullptr, nullptr, nullptr), 0)
      << "the machine's value is not copied into the user's key";
  EXPECT_NE(RegGetValueW(HKEY_CURRENT_USER, kModuleKey, L"SetupEnable", RRF_RT_ANY, nullptr, nullptr, nullptr), 0);
}

TEST_F(Wkptrss, StartUpAnswers) {
  EXPECT_EQ(Start("/default", "registration-unknown-model.ini"), MODULE_E_NOT_AVAILABLE) << "a model ending in D";
  machine_.SetDword(L"Enable", 0);
  ASSERT_EQ(Start(), 0);
  wchar_t text[512] = {};
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(text, 512), MODULE_E_NOT_AVAILABLE);
  EXPECT_EQ(Get<WickpostIsEnableFn>("WickpostIsEnable")(), 0);
  machine_.SetDword(L"Enable", 1);
  ASSERT_EQ(Start(), 0);
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(text, 512), 0);
  EXPECT_EQ(std::wstring(text).rfind(L"「ホームページ更新情報のお知らせ」", 0), 0u);
  const int whole = static_cast<int>(wcslen(text));
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(text, whole + 1), 0);
  EXPECT_EQ(Get<WickpostGetInitialMessageFn>("WickpostGetInitialMessage")(text, whole), MODULE_E_NOT_AVAILABLE)
      << "a buffer one character short";
}

namespace {
size_t ServerRequests() {
  const std::string log = wintest::ReadAll(kState + L"\\requests.log");
  return static_cast<size_t>(std::count(log.begin(), log.end(), '\n'));
}
}  // namespace

// A resident module checks every hour for years: after the first few checks, a check leaves
// nothing behind in the heaps, whether the server answers or fails. The proxy is set to
// direct, because Wine's automatic proxy detection (WinHttpGetProxyForUrl) keeps about half a
// KiB of every call by itself.
TEST_F(Wkptrss, RepeatedChecksLeaveNothingBehind) {
  const wintest::UserProxySetting direct(wintest::UserProxySetting::kDirect, "", "", "");
  ASSERT_TRUE(direct.ok());
  constexpr int kChecks = 100;
  for (const char* root : {"/default", "/fault/404/default"}) {
    ASSERT_EQ(Start(root), 0);
    const size_t requests = ServerRequests();
    const long long growth = wintest::HeapGrowthOver(kChecks, [&] {
      if (Check() != static_cast<CheckResult>(CHECK_PAGE)) return;
      Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow")();
      Close();
    });
    EXPECT_LE(growth, 1024) << root << ": bytes in use after " << kChecks << " more checks";  // ten a check
    EXPECT_GE(ServerRequests() - requests, static_cast<size_t>(kChecks)) << root << ": every check asks the server";
  }
}
