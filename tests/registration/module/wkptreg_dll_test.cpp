// wkptreg.dll driven the way the host drives it: loaded by name, its entry points called
// with the contract's records and buffers, on the simulated notebook (sim/), with the
// registry, temporary folder and CryptoAPI of Wine.
#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <mshtml.h>
#include <wincrypt.h>

#include <gtest/gtest.h>

#include <memory>

#include "common/core/misccommon.h"
#include "common/win/reg.h"
#include "host/module_contract.h"
#include "modules/registration/module/reg_resource_ids.h"
#include "modules/registration/reg_settings.h"
#include "tests/common/win/fake_page_event.h"
#include "tests/common/win/module_dll_support.h"
#include "tests/common/win/win_test_support.h"
#include "tests/registration/reg_test_util.h"

namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTREG";
const wchar_t kCurrentVersion[] = L"Software\\Microsoft\\Windows NT\\CurrentVersion";

using wintest::ReadAll;
bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }
using wintest::TempFolder;
std::wstring Utf8ToWide(const std::string& s) {
  std::wstring w(s.size(), L'\0');
  w.resize(MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), &w[0], static_cast<int>(w.size())));
  return w;
}

// Wine's prefix carries an InstallDate; a test that needs none takes it away for its run.
class InstallDateGuard {
 public:
  InstallDateGuard() { had_ = CReg().ReadDword64(HKEY_LOCAL_MACHINE, kCurrentVersion, L"InstallDate", &value_); }
  ~InstallDateGuard() {
    HKEY key;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key)) return;
    if (had_) RegSetValueExW(key, L"InstallDate", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value_), sizeof value_);
    else RegDeleteValueW(key, L"InstallDate");
    RegCloseKey(key);
  }
  void Remove() {
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kCurrentVersion, 0, KEY_SET_VALUE | KEY_WOW64_64KEY, &key), 0);
    RegDeleteValueW(key, L"InstallDate");
    RegCloseKey(key);
  }

 private:
  bool had_ = false;
  DWORD value_ = 0;
};

class Wkptreg : public testing::Test {
 protected:
  void Start(const char* scenarioName) {
    std::string error;
    ASSERT_TRUE(notebook_.Load(wintest::WinePath((std::string(SCENARIO_DIR "/") + scenarioName).c_str()), true, error))
        << error;
    Load();
  }
  void Load() {
    dll_ = LoadLibraryW(wintest::WinePath(WKPTREG_DLL).c_str());
    ASSERT_NE(dll_, nullptr);
    init_ = Get<WickpostInitializeFn>("WickpostInitialize");
    isEnable_ = Get<WickpostIsEnableFn>("WickpostIsEnable");
    auto_ = Get<WickpostCheckFn>("WickpostAutoCheck");
    manual_ = Get<WickpostCheckFn>("WickpostManualCheck");
    popupSize_ = Get<WickpostGetPairFn>("WickpostGetPopupSize");
    setupDlg_ = Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg");
    setupProc_ = Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc");
    onShow_ = Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow");
    onClick_ = Get<WickpostHTMLOnClickFn>("WickpostHTMLOnClick");
    onClose_ = Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose");
    host_ = CreateWindowW(L"STATIC", L"host", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
  }
  template <class Fn>
  Fn Get(const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  int Init() {
    info_ = ModuleInitInfo{sizeof(ModuleInitInfo), 3, 0, 0, 2, notebook_.client()};
    wchar_t error[WICKPOST_ERROR_BUFFER] = {};
    return init_(host_, &info_, error, WICKPOST_ERROR_BUFFER);
  }
  CheckResult Check(WickpostCheckFn fn) {
    text_[0] = page_[0] = 0;
    uint16_t code = 0;
    return fn(text_, WICKPOST_CHECK_BUFFER, page_, WICKPOST_CHECK_BUFFER, &code);
  }
  std::wstring DllText(UINT id) {
    wchar_t buffer[200] = {};
    LoadStringW(dll_, id, buffer, 200);
    return buffer;
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
    if (host_) DestroyWindow(host_);
  }

  wintest::ScopedKey sysglance_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", KEY_WOW64_64KEY};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST", KEY_WOW64_64KEY};
  wintest::ScopedKey user_{HKEY_CURRENT_USER, kModuleKey};
  InstallDateGuard installDate_;
  wintest::SimNotebook notebook_;
  HMODULE dll_ = nullptr;
  HWND host_ = nullptr;
  ModuleInitInfo info_{};
  wchar_t text_[WICKPOST_CHECK_BUFFER], page_[WICKPOST_CHECK_BUFFER];
  WickpostInitializeFn init_ = nullptr;
  WickpostIsEnableFn isEnable_ = nullptr;
  WickpostCheckFn auto_ = nullptr, manual_ = nullptr;
  WickpostGetPairFn popupSize_ = nullptr;
  WickpostGetSetupDlgFn setupDlg_ = nullptr;
  WickpostSetupDlgProcFn setupProc_ = nullptr;
  WickpostHTMLOnShowFn onShow_ = nullptr;
  WickpostHTMLOnClickFn onClick_ = nullptr;
  WickpostHTMLOnCloseFn onClose_ = nullptr;
};

// FirstLogin `days` days ago, in the registry's "%2d/%2d/%4d" form.
void SetFirstLoginDaysAgo(int days) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  FILETIME ft;
  SystemTimeToFileTime(&now, &ft);
  ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
  t.QuadPart -= ULONGLONG(days) * 864000000000ULL;
  ft = {t.LowPart, t.HighPart};
  SYSTEMTIME then;
  FileTimeToSystemTime(&ft, &then);
  wchar_t text[32];
  swprintf(text, 32, L"%2d/%2d/%4d", then.wMonth, then.wDay, then.wYear);
  HKEY key;  // the fixture removes it
  ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &key, nullptr), 0);
  RegSetValueExW(key, L"FirstLogin", 0, REG_SZ, reinterpret_cast<const BYTE*>(text), (wcslen(text) + 1) * sizeof(wchar_t));
  RegCloseKey(key);
}
}  // namespace

TEST_F(Wkptreg, FirstCheckInTheWindowMakesPageAndBitmapThenNoSecondOfferToday) {
  Start("registration-warranty3.ini");
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(info_.checkInterval, 60u);
  EXPECT_EQ(info_.menuItemCount, 0);
  EXPECT_EQ(isEnable_(), 1);

  ASSERT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_STREQ(text_, L"3年間無償保証の登録を行ってください");
  const std::wstring page = page_, bitmap = TempFolder() + L"wkptreg.bmp";
  EXPECT_EQ(page.rfind(TempFolder() + L"WRG", 0), 0u) << page;
  ASSERT_TRUE(Exists(bitmap));
  EXPECT_EQ(ReadAll(bitmap).substr(0, 2), "BM");
  const std::wstring html = Utf8ToWide(ReadAll(page));
  std::wstring folder = wintest::WinePath(WKPTREG_DLL);
  folder = folder.substr(0, folder.find_last_of(L'\\') + 1);
  for (wchar_t& c : folder) c = c == L'\\' ? L'/' : c;
  EXPECT_NE(html.find(L"<base href=\"file:///" + folder + L"\">"), std::wstring::npos) << html.substr(0, 600);
  EXPECT_NE(html.find(L"wkptreg.bmp\""), std::wstring::npos);
  EXPECT_NE(html.find(L"<span>3年間無償保証登録のご案内</span>"), std::wstring::npos);

  EXPECT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_KEEP));
  EXPECT_EQ(Check(manual_), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(page_, page);
  onShow_();
  onClose_();
  EXPECT_FALSE(Exists(page));
  EXPECT_FALSE(Exists(bitmap));

  SYSTEMTIME today;
  GetLocalTime(&today);
  CReg reg;
  DWORD month = 0, day = 0, notify = 7;
  EXPECT_TRUE(reg.ReadDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyMonth", &month));
  EXPECT_TRUE(reg.ReadDword(HKEY_CURRENT_USER, kModuleKey, L"LastNotifyDay", &day));
  EXPECT_EQ(month, today.wMonth);
  EXPECT_EQ(day, today.wDay);
  EXPECT_TRUE(reg.ReadDword64(HKEY_LOCAL_MACHINE, kModuleKey, L"Notify", &notify));  // written through the driver
  EXPECT_EQ(notify, 1u);
  EXPECT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_NOTHING));

  // The next logon knows it offered today already.
  FreeLibrary(dll_);
  DestroyWindow(host_);
  Load();
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_NOTHING));
}

TEST_F(Wkptreg, UrgentReminderIsMarkedWarning) {
  Start("registration-warranty4.ini");
  SetFirstLoginDaysAgo(25);
  ASSERT_EQ(Init(), 0);
  EXPECT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_PAGE | NOTIFY_WARNING));
  EXPECT_STREQ(text_, L"【至急】4年間無償保証の登録を行ってください");
}

TEST_F(Wkptreg, EachOfferHasItsTextSettingsPageAndPopupHeight) {
  const struct {
    const char* scenario;
    UINT text;
    uint16_t dialog;
    int height;
    bool qr;
  } cases[] = {
      {"registration-warranty3.ini", IDS_NOTIFY_WARRANTY3, 104, 0, true},
      {"registration-owner.ini", IDS_NOTIFY_OWNER, 103, 570, true},
      {"registration-special3.ini", IDS_NOTIFY_SPECIAL3, 105, 0, false},
      {"registration-warranty4.ini", IDS_NOTIFY_WARRANTY4, 106, 0, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.scenario);
    Start(c.scenario);
    ASSERT_EQ(Init(), 0);
    EXPECT_EQ(setupDlg_(), c.dialog);
    int width = -1, height = -1;
    EXPECT_EQ(popupSize_(&width, &height), 0);
    EXPECT_EQ(width, 0);
    EXPECT_EQ(height, c.height);
    ASSERT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_PAGE));
    EXPECT_EQ(text_, DllText(c.text));
    EXPECT_FALSE(DllText(c.text).empty());
    EXPECT_EQ(Exists(TempFolder() + L"wkptreg.bmp"), c.qr);
    const std::wstring page = page_;
    FreeLibrary(dll_);  // unloading deletes the unclosed page
    dll_ = nullptr;
    DestroyWindow(host_);
    host_ = nullptr;
    EXPECT_FALSE(Exists(page));
    RegDeleteTreeW(HKEY_CURRENT_USER, kModuleKey);
  }
}

TEST_F(Wkptreg, UnknownModelDoesNotLoadAndBadRecordsAreRefused) {
  Start("registration-unknown-model.ini");
  EXPECT_EQ(Init(), MODULE_E_DRIVER);
  wchar_t error[WICKPOST_ERROR_BUFFER];
  EXPECT_EQ(init_(host_, nullptr, error, WICKPOST_ERROR_BUFFER), MODULE_E_BAD_ARGUMENT);
  ModuleInitInfo old{sizeof(ModuleInitInfo), 2, 0, 0, 0, notebook_.client()};
  EXPECT_EQ(init_(host_, &old, error, WICKPOST_ERROR_BUFFER), MODULE_E_HOST_TOO_OLD);
}

TEST_F(Wkptreg, FirstUseDateDecidesTheWindow) {
  const struct {
    const char* scenario;
    bool removeInstallDate;
    int enabled;
  } cases[] = {
      {"registration-installdate.ini", false, 1},   // no FirstLogin, InstallDate in 2100
      {"registration-expired.ini", false, 0},       // FirstLogin long ago
      {"registration-unknown-model.ini", false, -1},
      {"default.ini", false, 0},                    // no FirstLogin: Wine's InstallDate of 2010
      {"default.ini", true, 0},                     // no date at all: no reminder, not "day 365"
  };
  for (const auto& c : cases) {
    if (c.enabled < 0) continue;
    SCOPED_TRACE(c.scenario);
    if (c.removeInstallDate) installDate_.Remove();
    Start(c.scenario);
    ASSERT_EQ(Init(), 0);
    EXPECT_EQ(isEnable_(), c.enabled);
    EXPECT_EQ(Check(auto_), static_cast<CheckResult>(c.enabled ? CHECK_PAGE : CHECK_NOTHING));
    FreeLibrary(dll_);
    dll_ = nullptr;
    DestroyWindow(host_);
    host_ = nullptr;
  }
}

TEST_F(Wkptreg, ForceButtonShowsThePageAnywayAndApplySaves) {
  Start("registration-warranty3.ini");
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_PAGE));
  onShow_();
  onClose_();
  ASSERT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_NOTHING));

  wintest::SetupPageInSheet sheet(dll_, setupDlg_(), setupProc_);
  HWND dialog = sheet.page();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_NOTIFY), static_cast<UINT>(BST_CHECKED));
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_NOTIFY)));
  EXPECT_NE(SendDlgItemMessageW(dialog, IDC_BANNER, STM_GETIMAGE, IMAGE_BITMAP, 0), 0);

  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SHOW_NOW, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SHOW_NOW)));
  MSG msg;
  ASSERT_TRUE(PeekMessageW(&msg, host_, WM_HOST_CHECKMODULE, WM_HOST_CHECKMODULE, PM_REMOVE));
  EXPECT_EQ(msg.wParam, 2u);
  EXPECT_EQ(Check(manual_), static_cast<CheckResult>(CHECK_PAGE)) << "the host's check of this module shows it anyway";

  // The page's "already registered" box turns the settings page's box off at once.
  const FakeClick done = {L"click", L"INPUT", L"check_done", nullptr, TRUE};
  IHTMLEventObj* click = FakePageEvent(&done);
  EXPECT_EQ(onClick_(click), 1);
  click->Release();
  EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_NOTIFY), static_cast<UINT>(BST_UNCHECKED));
  EXPECT_EQ(isEnable_(), 0);

  CheckDlgButton(dialog, IDC_NOTIFY, BST_CHECKED);
  sheet.ResetChanges();
  SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_NOTIFY, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_NOTIFY)));
  EXPECT_EQ(sheet.changes(), 1);
  EXPECT_EQ(sheet.Apply(), PSNRET_NOERROR);  // DWLP_MSGRESULT
  EXPECT_EQ(isEnable_(), 1);
  DWORD notify = 7;
  EXPECT_TRUE(CReg().ReadDword64(HKEY_LOCAL_MACHINE, kModuleKey, L"Notify", &notify));
  EXPECT_EQ(notify, 1u);
}

TEST_F(Wkptreg, SavingPastTheWindowsEndStoresRemindersOff) {
  Start("registration-expired.ini");
  ASSERT_EQ(Init(), 0);
  wintest::SetupPageInSheet sheet(dll_, setupDlg_(), setupProc_);
  ASSERT_NE(sheet.page(), nullptr);
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(sheet.page(), IDC_NOTIFY)));
  EXPECT_EQ(sheet.Apply(), PSNRET_NOERROR);
  DWORD notify = 7;
  EXPECT_TRUE(CReg().ReadDword64(HKEY_LOCAL_MACHINE, kModuleKey, L"Notify", &notify));
  EXPECT_EQ(notify, 0u);
}

TEST_F(Wkptreg, ClicksElsewhereChangeNothing) {
  Start("registration-warranty3.ini");
  ASSERT_EQ(Init(), 0);
  const struct {
    const wchar_t *type, *tag, *id;
  } clicks[] = {{L"click", L"A", L"check_done"}, {L"click", L"INPUT", L"other"}, {L"mouseover", L"INPUT", L"check_done"}};
  for (const auto& c : clicks) {
    const FakeClick click = {c.type, c.tag, c.id, nullptr, TRUE};
    IHTMLEventObj* event = FakePageEvent(&click);
    EXPECT_EQ(onClick_(event), 1);
    event->Release();
    EXPECT_EQ(isEnable_(), 1) << c.tag << " " << c.id;
  }
}

TEST_F(Wkptreg, TempPathLongerThanTheHostBufferFailsTheCheck) {
  Start("registration-warranty3.ini");
  ASSERT_EQ(Init(), 0);
  const std::wstring longDir = TempFolder() + std::wstring(90, L'd');
  ASSERT_TRUE(CreateDirectoryW(longDir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  wchar_t saved[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", longDir.c_str());
  const CheckResult result = Check(auto_);
  SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
  EXPECT_EQ(result, static_cast<CheckResult>(CHECK_NOTHING));
  EXPECT_TRUE(RemoveDirectoryW(longDir.c_str())) << "no page or bitmap left behind";
  EXPECT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_PAGE));
}

// A forced check whose page cannot be handed over (the temporary folder's path is too long
// for the host's buffer): after the manual check the host still lists the earlier page, so
// its file stays; after the automatic one the host withdraws it, so it goes.
TEST_F(Wkptreg, FailedForcedCheckKeepsThePageTheHostStillLists) {
  Start("registration-warranty3.ini");
  ASSERT_EQ(Init(), 0);
  ASSERT_EQ(Check(auto_), static_cast<CheckResult>(CHECK_PAGE));
  const std::wstring listed = page_;
  ASSERT_TRUE(Exists(listed));
  wintest::SetupPageInSheet sheet(dll_, setupDlg_(), setupProc_);
  ASSERT_NE(sheet.page(), nullptr);
  auto force = [&] {
    SendMessageW(sheet.page(), WM_COMMAND, MAKEWPARAM(IDC_SHOW_NOW, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(sheet.page(), IDC_SHOW_NOW)));
  };

  const std::wstring longDir = TempFolder() + std::wstring(90, L'd');
  ASSERT_TRUE(CreateDirectoryW(longDir.c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  wchar_t saved[MAX_PATH] = {};
  GetEnvironmentVariableW(L"TMP", saved, MAX_PATH);
  SetEnvironmentVariableW(L"TMP", longDir.c_str());
  force();
  const CheckResult manual = Check(manual_);
  const bool keptAfterManual = Exists(listed);
  force();
  const CheckResult automatic = Check(auto_);
  const bool keptAfterAuto = Exists(listed);
  SetEnvironmentVariableW(L"TMP", saved[0] ? saved : nullptr);
  EXPECT_TRUE(RemoveDirectoryW(longDir.c_str())) << "nothing left in the long folder";

  EXPECT_EQ(manual, static_cast<CheckResult>(CHECK_NOTHING));
  EXPECT_TRUE(keptAfterManual) << "the host still lists it";
  EXPECT_EQ(automatic, static_cast<CheckResult>(CHECK_NOTHING));
  EXPECT_FALSE(keptAfterAuto) << "the host withdrew it";
  EXPECT_FALSE(Exists(TempFolder() + L"wkptreg.bmp"));
}

TEST(RegQueryCapi, CryptDeriveKeyAndPaddingAgreeWithThePort) {
  const std::string& password = reg::DefaultSettings().queryPassword;
  const std::string plain = "PT-15KB3456CD&9K12304567";
  const std::vector<uint8_t> salt = regtest::FromHex("A1B2C3D4E5F60718");

  HCRYPTPROV prov = 0;
  ASSERT_TRUE(CryptAcquireContextW(&prov, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT));
  std::vector<uint8_t> in(password.begin(), password.end());
  in.insert(in.end(), salt.begin(), salt.end());
  HCRYPTHASH h1 = 0, h2 = 0;
  HCRYPTKEY key = 0;
  ASSERT_TRUE(CryptCreateHash(prov, CALG_SHA1, 0, 0, &h1));
  ASSERT_TRUE(CryptHashData(h1, in.data(), static_cast<DWORD>(in.size()), 0));
  ASSERT_TRUE(CryptDeriveKey(prov, CALG_3DES, h1, 0, &key));
  BYTE h1Value[20], h2Value[20];
  DWORD size = 20;
  ASSERT_TRUE(CryptGetHashParam(h1, HP_HASHVAL, h1Value, &size, 0));
  in.assign(h1Value, h1Value + 20);
  in.insert(in.end(), password.begin(), password.end());
  in.insert(in.end(), salt.begin(), salt.end());
  ASSERT_TRUE(CryptCreateHash(prov, CALG_SHA1, 0, 0, &h2));
  ASSERT_TRUE(CryptHashData(h2, in.data(), static_cast<DWORD>(in.size()), 0));
  ASSERT_TRUE(CryptGetHashParam(h2, HP_HASHVAL, h2Value, &size, 0));
  ASSERT_TRUE(CryptSetKeyParam(key, KP_IV, h2Value + 12, 0));
  BYTE data[64] = {};
  memcpy(data, plain.data(), plain.size());
  DWORD length = static_cast<DWORD>(plain.size());
  ASSERT_TRUE(CryptEncrypt(key, 0, TRUE, 0, data, &length, sizeof data));  // CryptoAPI pads itself
  CryptDestroyKey(key);
  CryptDestroyHash(h2);
  CryptDestroyHash(h1);
  CryptReleaseContext(prov, 0);

  std::string expected;
  char digits[3];
  for (uint8_t b : salt) expected += (snprintf(digits, 3, "%02X", b), digits);
  for (DWORD i = 0; i < length; ++i) expected += (snprintf(digits, 3, "%02X", data[i]), digits);

  regtest::ScriptedCrypto port;
  port.salt = salt;
  const auto query = reg::BuildQuery(plain, password, port);
  ASSERT_TRUE(query);
  EXPECT_EQ(*query, expected);
}
