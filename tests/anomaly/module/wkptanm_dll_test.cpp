// wkptanm.dll driven the way the host drives it: page clicks through the browser's event
// object, the settings page in a stand-in sheet, and the repair with the real installer
// stand-in, its message boxes and its progress dialog.
#include <windows.h>
#include <commctrl.h>
#include <mshtml.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>
#include <thread>

#include "host/module_contract.h"
#include "modules/anomaly/anm_text_ids.h"
#include "tests/common/win/fake_page_event.h"
#include "tests/common/win/module_dll_support.h"
#include "tests/common/win/win_test_support.h"

namespace {
const wchar_t kUserKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTANM";
const wchar_t kRepairKey[] = L"SOFTWARE\\Velmorant\\Repair";
const wchar_t kAppKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VelmorantTestApp";
const wchar_t kSessionManager[] = L"SYSTEM\\CurrentControlSet\\Control\\Session Manager";

DWORD UserState() {
  DWORD value = 0, size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, kUserKey, L"NotifyCheckBoxStateMask", RRF_RT_REG_DWORD, nullptr, &value,
                      &size) == ERROR_SUCCESS
             ? value
             : 0xDEADu;
}

using wintest::TempFile;

// The worker's message boxes: each answered with `button`, their texts kept.
class Boxes {
 public:
  explicit Boxes(int button)
      : thread_([this, button] {
          while (!stop_) {
            HWND box = FindWindowW(L"#32770", L"Tellwick");
            if (box && GetDlgItem(box, 0xFFFF)) {
              wchar_t text[1024] = {};
              GetDlgItemTextW(box, 0xFFFF, text, 1024);
              {
                std::lock_guard<std::mutex> lock(mutex_);
                texts_.push_back(text);
              }
              PostMessageW(box, WM_COMMAND, button, 0);
              while (!stop_ && IsWindow(box)) Sleep(10);
            }
            Sleep(20);
          }
        }) {}
  ~Boxes() {
    stop_ = true;
    thread_.join();
  }
  std::vector<std::wstring> Texts() {
    std::lock_guard<std::mutex> lock(mutex_);
    return texts_;
  }

 private:
  std::atomic<bool> stop_{false};
  std::mutex mutex_;
  std::vector<std::wstring> texts_;
  std::thread thread_;
};

class Wkptanm : public testing::Test {
 protected:
  Wkptanm() {
    scenario_ = TempFile(L"asc");
    installLog_ = TempFile(L"ail");
    restartLog_ = TempFile(L"arl");
  }
  ~Wkptanm() override {
    DeleteFileW(scenario_.c_str());
    DeleteFileW(installLog_.c_str());
    DeleteFileW(restartLog_.c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations");
    DeleteFileW(L"C:\\VelApp\\velapp.exe");
  }
  void Start(const std::string& anomaly) {
    const std::string text = wintest::ReadAll(wintest::WinePath(SCENARIO_DIR "/default.ini")) + "\n[anomaly]\n" + anomaly;
    HANDLE f = CreateFileW(scenario_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
    std::string error;
    ASSERT_TRUE(notebook_.Load(scenario_, false, error)) << error;
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario_.c_str());  // the installer's behaviour
    SetEnvironmentVariableW(L"TELLWICK_INSTALL_LOG", installLog_.c_str());
    SetEnvironmentVariableW(L"TELLWICK_RESTART_LOG", restartLog_.c_str());
    dll_ = LoadLibraryW(wintest::WinePath(WKPTANM_DLL).c_str());
    ASSERT_NE(dll_, nullptr);
    host_ = CreateWindowW(L"STATIC", L"host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    info_ = ModuleInitInfo{sizeof(ModuleInitInfo), 3, 0, 0, 1, notebook_.client()};
    wchar_t errorText[WICKPOST_ERROR_BUFFER] = {};
    ASSERT_EQ(Get<WickpostInitializeFn>("WickpostInitialize")(host_, &info_, errorText, WICKPOST_ERROR_BUFFER), 0);
    EXPECT_EQ(info_.checkInterval, CHECK_INTERVAL_NEVER);
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
    if (host_) DestroyWindow(host_);
    notebook_.Reset();
  }
  template <class Fn>
  Fn Get(const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  // The page's text, or empty when the check answers nothing.
  std::string Check() {
    std::wstring text(WICKPOST_CHECK_BUFFER, L'\0'), page(WICKPOST_CHECK_BUFFER, L'\0');
    uint16_t code = 0;
    const CheckResult r = Get<WickpostCheckFn>("WickpostManualCheck")(&text[0], WICKPOST_CHECK_BUFFER, &page[0],
                                                                      WICKPOST_CHECK_BUFFER, &code);
    if (r == CHECK_NOTHING) return std::string();
    EXPECT_EQ(r, 0x40000001u);
    return wintest::ReadAll(page.c_str());
  }
  void Click(const wchar_t* tag, const wchar_t* id, BOOL checked = TRUE) {
    const FakeClick click{L"click", tag, id, nullptr, checked, FALSE, -1};
    IHTMLEventObj* event = FakePageEvent(&click);
    EXPECT_EQ(Get<WickpostHTMLOnClickFn>("WickpostHTMLOnClick")(event), 1);
    event->Release();
  }
  void Show() { Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow")(); }
  void Close() { Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")(); }
  // Runs this thread's messages (the hidden window's, the progress dialog's) until `done`,
  // counting the check requests that reach the host.
  template <class F>
  bool PumpUntil(F done, DWORD timeoutMs = 20000) {
    for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
      MSG m;
      while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
        if (m.hwnd == host_ && m.message == WM_HOST_CHECKMODULE) ++checks_;
        TranslateMessage(&m);
        DispatchMessageW(&m);
      }
      if (done()) return true;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return done();
  }
  void AddTestApplication(wintest::ScopedKey& repair, uint32_t ms) {
    const std::wstring setup = wintest::WinePath(SETUP_EXE);
    ASSERT_TRUE(repair.SetString(L"Name", L"Test <App>"));
    ASSERT_TRUE(repair.SetString(L"InstallKey", std::wstring(L"HKEY_LOCAL_MACHINE\\") + kAppKey));
    ASSERT_TRUE(repair.SetString(L"InstallCmd", L"\"" + setup + L"\" /key " + kAppKey +
                                                    L" /name \"Velmorant Test App\" /file C:\\VelApp\\velapp.exe"));
    ASSERT_TRUE(repair.SetString(L"InstallFiles", L"C:\\VelApp\\velapp.exe"));
    ASSERT_TRUE(repair.SetDword(L"InstallTime", ms));
  }
  int InstallerRuns() {
    const std::string log = wintest::ReadAll(installLog_);
    int n = 0;
    for (size_t at = log.find("run"); at != std::string::npos; at = log.find("run", at + 1)) ++n;
    return n;
  }
  // Repairs record 0 through two quick clicks; the progress dialog's final text.
  std::wstring Repair() {
    Boxes yes(IDYES);
    PumpUntil([] { return true; });
    checks_ = 0;
    Click(L"BUTTON", L"0");
    Click(L"BUTTON", L"0");
    HWND progress = nullptr;
    EXPECT_TRUE(PumpUntil([&] {
      progress = FindWindowW(L"#32770", L"Tellwick");
      return progress && GetDlgItem(progress, IDC_ANM_PROGRESS_OK) &&
             IsWindowEnabled(GetDlgItem(progress, IDC_ANM_PROGRESS_OK));
    }, 60000)) << "the installation ends with its result";
    if (!progress) return L"";
    wchar_t text[1024] = {};
    GetDlgItemTextW(progress, IDC_ANM_PROGRESS_TEXT, text, 1024);
    restartOffered_ = IsWindowVisible(GetDlgItem(progress, IDC_ANM_RESTART_NOW)) != FALSE;
    SendMessageW(progress, WM_COMMAND, IDC_ANM_PROGRESS_OK, 0);
    // The worker asks for a check when it starts and when it ends.
    EXPECT_TRUE(PumpUntil([&] { return checks_ >= 2; }));
    EXPECT_EQ(yes.Texts().size(), 1u);
    return text;
  }

  wintest::ScopedKey user_{HKEY_CURRENT_USER, kUserKey};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST"};
  wintest::ScopedKey repairs_{HKEY_LOCAL_MACHINE, kRepairKey};
  wintest::ScopedKey app_{HKEY_LOCAL_MACHINE, kAppKey};
  wintest::SimNotebook notebook_;
  std::wstring scenario_, installLog_, restartLog_;
  HMODULE dll_ = nullptr;
  HWND host_ = nullptr;
  ModuleInitInfo info_{};
  bool restartOffered_ = false;
  int checks_ = 0;
};

TEST_F(Wkptanm, PageCheckBoxIsSavedWhenThePageCloses) {
  Start("battery = orange-temperature\nadaptor = recommended\n");
  const DWORD all = UserState();
  ASSERT_EQ(all & 1u, 1u);
  const std::string page = Check();
  ASSERT_NE(page.find("id=\"notify_orange_flash_tmp\""), std::string::npos) << page;
  EXPECT_EQ(page.find('\0'), std::string::npos);
  Show();
  Click(L"INPUT", L"notify_orange_flash_tmp");
  EXPECT_EQ(UserState(), all) << "stored only when the page closes";
  Close();
  EXPECT_EQ(UserState(), all & ~1u);
  EXPECT_EQ(Check(), "") << "orange is no longer wanted";
}

TEST_F(Wkptanm, SettingsPageChangesAreDroppedOnCancelAndSavedOnApply) {
  Start("battery = fine\nadaptor = recommended\n");
  const DWORD all = UserState();
  ASSERT_EQ(all & 2u, 2u);
  {
    wintest::SetupPageInSheet sheet(dll_, Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg")(),
                                    Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
    ASSERT_NE(sheet.page(), nullptr);
    SendDlgItemMessageW(sheet.page(), 1003, BM_CLICK, 0, 0);
    EXPECT_EQ(sheet.changes(), 1);
  }  // closed without Apply
  Show();
  Close();
  EXPECT_EQ(UserState(), all) << "the cancelled change is not stored by the page's close";
  {
    wintest::SetupPageInSheet sheet(dll_, Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg")(),
                                    Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
    SendDlgItemMessageW(sheet.page(), 1003, BM_CLICK, 0, 0);
    sheet.Apply();
  }
  EXPECT_EQ(UserState(), all & ~2u);
}

TEST_F(Wkptanm, DeletedApplicationIsRepairedOnceForTwoClicks) {
  wintest::ScopedKey repair(HKEY_LOCAL_MACHINE, std::wstring(kRepairKey) + L"\\TestApp");
  AddTestApplication(repair, 60000);
  Start("battery = fine\nadaptor = recommended\ninstall = ok\ninstall.delay = 300\n");
  std::string page = Check();
  ASSERT_NE(page.find("<u>Test &lt;App&gt;</u>"), std::string::npos) << page;
  ASSERT_NE(page.find("<button type=\"button\" id=\"0\">Repair</button>"), std::string::npos);
  Show();
  const std::wstring result = Repair();
  EXPECT_NE(result.find(L"The \"Test <App>\" installation is finished"), std::wstring::npos)
      << "named as announced, not by its installed name: " << result;
  EXPECT_FALSE(restartOffered_);
  EXPECT_EQ(InstallerRuns(), 1) << "two quick clicks, one installer";
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppKey, 0, KEY_READ, &key), ERROR_SUCCESS) << "the record reads installed";
  RegCloseKey(key);
  Close();
  EXPECT_EQ(Check(), "") << "nothing left to repair";
}

// Another program on the desktop posts or sends the hidden window's own message numbers with
// values of its choosing: nothing is taken for a pointer, nothing shows, the module goes on.
TEST_F(Wkptanm, ForeignMessagesTakeNoPointers) {
  Start("battery = red\nadaptor = recommended\n");
  const HWND hidden = FindWindowW(L"WKPTANM_INTERNAL", nullptr);
  ASSERT_NE(hidden, nullptr);
  const LPARAM bogus = static_cast<LPARAM>(0x0DEAD000);
  for (UINT message : {WM_APP + 1, WM_APP + 3}) PostMessageW(hidden, message, bogus, bogus);
  SendMessageW(hidden, WM_APP + 5, 0, bogus);
  SendMessageW(hidden, WM_CREATE, 0, bogus);
  PumpUntil([] { return false; }, 300);
  EXPECT_EQ(FindWindowW(L"#32770", L"Tellwick"), nullptr) << "no progress dialog";
  EXPECT_NE(Check(), "") << "the red battery still shows";
}

// Unloaded, the module leaves no window, class or session registration behind to be called.
TEST_F(Wkptanm, UnloadRemovesTheHiddenWindowAndItsClass) {
  Start("battery = fine\nadaptor = recommended\n");
  ASSERT_NE(FindWindowW(L"WKPTANM_INTERNAL", nullptr), nullptr);
  const HMODULE module = dll_;
  FreeLibrary(dll_);
  dll_ = nullptr;
  EXPECT_EQ(FindWindowW(L"WKPTANM_INTERNAL", nullptr), nullptr);
  WNDCLASSW wc = {};
  EXPECT_FALSE(GetClassInfoW(module, L"WKPTANM_INTERNAL", &wc));
}

TEST_F(Wkptanm, InstallerOutcomesEachHaveTheirMessage) {
  const struct {
    const char* scenario;
    uint32_t ms;
    const wchar_t* text;
    bool restart;
  } cases[] = {
      {"install = fail\n", 30000, L"has failed.", false},
      {"install = restart\n", 30000, L"Please restart the computer", true},
      {"install = slow\ninstall.delay = 32000\n", 30000, L"did not finish in time", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    wintest::ScopedKey repair(HKEY_LOCAL_MACHINE, std::wstring(kRepairKey) + L"\\TestApp");
    AddTestApplication(repair, c.ms);
    Start(std::string("battery = fine\nadaptor = recommended\n") + c.scenario);
    ASSERT_NE(Check(), "");
    const std::wstring result = Repair();
    EXPECT_NE(result.find(c.text), std::wstring::npos) << result;
    EXPECT_EQ(restartOffered_, c.restart);
    EXPECT_EQ(wintest::ReadAll(restartLog_), c.restart ? "restart\n" : "") << "recorded, not carried out";
    EXPECT_EQ(InstallerRuns(), 1);
    FreeLibrary(dll_);
    dll_ = nullptr;
    DestroyWindow(host_);
    host_ = nullptr;
    notebook_.Reset();
    DeleteFileW(installLog_.c_str());
    DeleteFileW(restartLog_.c_str());
    RegDeleteKeyValueW(HKEY_LOCAL_MACHINE, kSessionManager, L"PendingFileRenameOperations");
  }
}
}  // namespace
