// wkpthdmi.dll (sim variant) driven as the host drives it, on the simulated notebook's
// displays: in-process and through the real 64-bit vidassist.exe, with the graphics
// driver's write log, the registry, the hidden window, the page file and the panel.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "host/module_contract.h"
#include "tests/common/win/module_dll_support.h"
#include "tests/common/win/win_test_support.h"

namespace {
const wchar_t kUserKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTHDMI";
const wchar_t kKnownKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTHDMI\\Known Monitors";

std::wstring WinPath(const char* unixPath) { return wintest::WinePath(unixPath); }

using wintest::TempFile;
using wintest::WriteWhole;

DWORD Known(const wchar_t* key) {
  DWORD value = 0, size = sizeof value;
  return RegGetValueW(HKEY_CURRENT_USER, kKnownKey, key, RRF_RT_REG_DWORD, nullptr, &value, &size) == ERROR_SUCCESS
             ? value
             : 0xDEADu;
}

// Runs the calling thread's messages until `done` or the time-out.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 15000) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs;) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    if (done()) return true;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
  }
  return done();
}

// Stands in for the host's main window: counts what the module posts to it.
struct FakeHost {
  static LRESULT CALLBACK Proc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    if (m == WM_HOST_CHECKMODULE) ++checks;
    if (m == WM_HOST_CLOSEPOPUP) ++closes;
    return DefWindowProcW(w, m, wp, lp);
  }
  FakeHost() {
    WNDCLASSW wc = {};
    wc.lpfnWndProc = Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HdmiTestHost";
    RegisterClassW(&wc);
    window = CreateWindowW(L"HdmiTestHost", L"", 0, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    checks = closes = 0;
  }
  ~FakeHost() { DestroyWindow(window); }
  HWND window;
  static std::atomic<int> checks, closes;
};
std::atomic<int> FakeHost::checks{0}, FakeHost::closes{0};

struct Dll {
  Dll() : module(LoadLibraryW(WinPath(WKPTHDMI_DLL).c_str())) {}
  template <class F>
  F Get(const char* name) const {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  }
  HMODULE module;
};

class HdmiDll : public ::testing::Test {
 protected:
  void SetUp() override {
    scenario_ = TempFile(L"hsc");
    log_ = TempFile(L"hlg");
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario_.c_str());
    SetEnvironmentVariableW(L"TELLWICK_GFX_LOG", log_.c_str());
    RegDeleteTreeW(HKEY_CURRENT_USER, kUserKey);
    ASSERT_TRUE(dll_.module) << GetLastError();
    // A timer an earlier test's detection started fires now, not in this test.
    PumpUntil([] { return false; }, 250);
  }
  void TearDown() override {
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    SetEnvironmentVariableW(L"TELLWICK_GFX_LOG", nullptr);
    RegDeleteTreeW(HKEY_CURRENT_USER, kUserKey);
    DeleteFileW(scenario_.c_str());
    DeleteFileW(log_.c_str());
  }
  void Plug(const std::string& displays) {
    EXPECT_TRUE(WriteWhole(scenario_, displays));
    EXPECT_TRUE(WriteWhole(log_, ""));
  }
  int Initialize() {
    info_ = ModuleInitInfo{static_cast<int32_t>(sizeof(ModuleInitInfo)), WICKPOST_CONTRACT_VERSION, 0, 0, 5, nullptr};
    wchar_t error[WICKPOST_ERROR_BUFFER] = {};
    return dll_.Get<WickpostInitializeFn>("WickpostInitialize")(host_.window, &info_, error, WICKPOST_ERROR_BUFFER);
  }
  // The host's manual check once the module has asked for it.
  CheckResult CheckWhenAsked(std::wstring& text, std::wstring& page, uint16_t& code) {
    const int before = FakeHost::checks;
    if (!PumpUntil([&] { return FakeHost::checks > before; })) return 0xDEAD;
    wchar_t t[WICKPOST_CHECK_BUFFER] = {}, p[260] = {};
    code = 0;
    const CheckResult r = dll_.Get<WickpostCheckFn>("WickpostManualCheck")(t, WICKPOST_CHECK_BUFFER, p, 260, &code);
    text = t;
    page = p;
    return r;
  }
  std::string Log() const { return wintest::ReadAll(log_); }

  Dll dll_;
  FakeHost host_;
  ModuleInitInfo info_{};
  std::wstring scenario_, log_;
};

const char kTv[] =
    "[display]\ndisplay0 = 0x1001 1920 1080 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV1\n"
    "scaling = 100 5 100 4\n";
const char kFirstTimeWrites[] =
    "config mode=1 primary=00001001,1280,720,0,32,64 secondary=00000000,0,0,0,0,0\nscaling uid=00001001 h=75 v=72\n";

// The maker's television the first time: 1280x720 and scaling 75 written, the key seen,
// and the action for state 3. In process and through the helper alike.
TEST_F(HdmiDll, FirstConnectionInProcessAndThroughTheHelper) {
  for (const char* servers : {"", "servers = helper\n"}) {
    SCOPED_TRACE(servers);
    RegDeleteTreeW(HKEY_CURRENT_USER, kUserKey);
    Plug(std::string(kTv) + servers);
    ASSERT_EQ(Initialize(), 0);
    EXPECT_EQ(info_.checkInterval, CHECK_INTERVAL_NEVER);
    EXPECT_EQ(Log(), kFirstTimeWrites);
    EXPECT_EQ(Known(L"VEL0A01#1#0#1"), 1u);
    std::wstring text, page;
    uint16_t code = 0;
    EXPECT_EQ(CheckWhenAsked(text, page, code), static_cast<CheckResult>(CHECK_ACTION));
    EXPECT_EQ(code, 3);
    EXPECT_EQ(text, L"HDMI表示装置に正しく表示されていますか");
    // Connected again in the same arrangement: notified again, nothing written.
    EXPECT_TRUE(WriteWhole(log_, ""));
    SendMessageW(FindWindowW(L"WKPTHDMI_INTERNAL", nullptr), WM_DISPLAYCHANGE, 32, MAKELPARAM(1280, 720));
    EXPECT_EQ(Log(), "");
  }
}

// The second display of an extended desktop, with a UID above 0x7FFFFFFF, through the helper.
TEST_F(HdmiDll, ExtendedDesktopKeyThroughTheHelper) {
  Plug(wintest::ReadAll(WinPath(SCENARIO_DIR "/hdmi-extended.ini")) + "servers = helper\n");
  ASSERT_EQ(Initialize(), 0);
  EXPECT_EQ(Known(L"ABC1234#5#1#2"), 1u);
  std::wstring text, page;
  uint16_t code = 0;
  EXPECT_EQ(CheckWhenAsked(text, page, code), static_cast<CheckResult>(CHECK_ACTION));
  EXPECT_EQ(code, 1);
}

// The Full-HD television gets the page, a UTF-8 file "WHM*.tmp" that goes when it closes.
TEST_F(HdmiDll, FullHdPage) {
  Plug("[display]\ndisplay0 = 0x1001 1280 720 32 hdmi\ndisplay0.monitor = VEL0A01 cea VelmorantTV0\n");
  ASSERT_EQ(Initialize(), 0);
  EXPECT_NE(Log().find("1920,1080"), std::string::npos);
  std::wstring text, page;
  uint16_t code = 0;
  ASSERT_EQ(CheckWhenAsked(text, page, code), static_cast<CheckResult>(CHECK_PAGE));
  EXPECT_EQ(text, L"フルHDでミラテルに正しく表示するには");
  EXPECT_NE(page.find(L"\\WHM"), std::wstring::npos);
  const std::string html = wintest::ReadAll(page);
  EXPECT_NE(html.find("<h4>注意事項</h4>"), std::string::npos);
  EXPECT_NE(html.find("<title>Tellwick</title>"), std::string::npos);
  dll_.Get<WickpostHTMLOnShowFn>("WickpostHTMLOnShow")();
  EXPECT_EQ(Known(L"VEL0A01#1#0#1"), 2u);
  dll_.Get<WickpostHTMLOnCloseFn>("WickpostHTMLOnClose")();
  EXPECT_EQ(GetFileAttributesW(page.c_str()), INVALID_FILE_ATTRIBUTES);
}

// Unplugged while its line is listed: the module has the host take the line off (the next
// tick calls the automatic check, which answers nothing).
TEST_F(HdmiDll, UnpluggingWithdrawsTheLine) {
  Plug(kTv);
  ASSERT_EQ(Initialize(), 0);
  std::wstring text, page;
  uint16_t code = 0;
  ASSERT_EQ(CheckWhenAsked(text, page, code), static_cast<CheckResult>(CHECK_ACTION));
  Plug("[display]\ndisplay0 = 0x400 1366 768 32 panel\n");
  SendMessageW(FindWindowW(L"WKPTHDMI_INTERNAL", nullptr), WM_DISPLAYCHANGE, 32, MAKELPARAM(1366, 768));
  EXPECT_EQ(info_.checkInterval, 0u);
  wchar_t t[WICKPOST_CHECK_BUFFER] = {}, p[260] = {};
  EXPECT_EQ(dll_.Get<WickpostCheckFn>("WickpostAutoCheck")(t, WICKPOST_CHECK_BUFFER, p, 260, &code),
            static_cast<CheckResult>(CHECK_NOTHING));
  EXPECT_EQ(info_.checkInterval, CHECK_INTERVAL_NEVER);
}

// Plugged in again before the host's next tick took the withdrawal: the notice that follows
// keeps its line (the interval is back to never, so no automatic check takes it off).
TEST_F(HdmiDll, ReplugBeforeTheTickKeepsTheLine) {
  Plug(kTv);
  ASSERT_EQ(Initialize(), 0);
  std::wstring text, page;
  uint16_t code = 0;
  ASSERT_EQ(CheckWhenAsked(text, page, code), static_cast<CheckResult>(CHECK_ACTION));
  const HWND hidden = FindWindowW(L"WKPTHDMI_INTERNAL", nullptr);
  Plug("[display]\ndisplay0 = 0x400 1366 768 32 panel\n");
  SendMessageW(hidden, WM_DISPLAYCHANGE, 32, MAKELPARAM(1366, 768));
  ASSERT_EQ(info_.checkInterval, 0u);
  Plug(kTv);
  SendMessageW(hidden, WM_DISPLAYCHANGE, 32, MAKELPARAM(1920, 1080));
  ASSERT_EQ(CheckWhenAsked(text, page, code), static_cast<CheckResult>(CHECK_ACTION));
  EXPECT_EQ(code, 3);
  EXPECT_EQ(info_.checkInterval, CHECK_INTERVAL_NEVER);
}

// The settings page: "Notify" bound to its check box, saved to the user's key on Apply, and
// the two buttons off while it is off. Without "SetupEnable" there is no page.
TEST_F(HdmiDll, SettingsPage) {
  Plug(kTv);
  ASSERT_EQ(Initialize(), 0);
  const auto getSetup = dll_.Get<WickpostGetSetupDlgFn>("WickpostGetSetupDlg");
  ASSERT_EQ(getSetup(), 102);
  {
    wintest::SetupPageInSheet sheet(dll_.module, 102, dll_.Get<WickpostSetupDlgProcFn>("WickpostSetupDlgProc"));
    const HWND page = sheet.page();
    ASSERT_NE(page, nullptr);
    EXPECT_EQ(IsDlgButtonChecked(page, 1006), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(page, 1007)));
    SendMessageW(GetDlgItem(page, 1006), BM_CLICK, 0, 0);
    EXPECT_EQ(sheet.changes(), 1);
    sheet.Apply();
    DWORD value = 0xDEAD, size = sizeof value;
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kUserKey, L"Notify", RRF_RT_REG_DWORD, nullptr, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(value, 0u);
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 1007)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(page, 1008)));
    EXPECT_EQ(dll_.Get<WickpostIsEnableFn>("WickpostIsEnable")(), 0);
  }
  wintest::ScopedKey machine(HKEY_LOCAL_MACHINE, kUserKey);
  ASSERT_TRUE(machine.SetDword(L"SetupEnable", 0));
  ASSERT_EQ(Initialize(), 0);
  EXPECT_EQ(getSetup(), 0);
  EXPECT_EQ(dll_.Get<WickpostIsEnableFn>("WickpostIsEnable")(), 1) << "\"Notify\" is not read then";
}

// No graphics object: nothing detected, nothing written, no check asked for.
TEST_F(HdmiDll, NoGraphicsObjectNoNotification) {
  Plug("[display]\ngraphics = no\n");
  const int before = FakeHost::checks;
  ASSERT_EQ(Initialize(), 0);
  PumpUntil([] { return false; }, 300);  // the module's 100 ms timer would have fired
  EXPECT_EQ(FakeHost::checks, before);
  EXPECT_EQ(Log(), "");
}

// A window as it is on screen once it has drawn itself, saved as a 24-bit bitmap file.
bool SaveWindow(HWND window, const std::wstring& path) {
  // Painted now, frame and controls, by the window's own thread.
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_UPDATENOW | RDW_ALLCHILDREN);
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFO bi = {};
  bi.bmiHeader = {sizeof(BITMAPINFOHEADER), w, h, 1, 24, BI_RGB};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, w, h, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  const DWORD stride = ((w * 3 + 3) & ~3), size = stride * h;
  BITMAPFILEHEADER fh = {0x4D42, static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader + size), 0, 0,
                         static_cast<DWORD>(sizeof fh + sizeof bi.bmiHeader)};
  std::string file(reinterpret_cast<const char*>(&fh), sizeof fh);
  file.append(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof bi.bmiHeader);
  file.append(static_cast<const char*>(bits), size);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return WriteWhole(path, file);
}

HWND WaitWindow(const wchar_t* title, DWORD timeoutMs = 15000) {
  for (const DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
    if (HWND w = FindWindowW(L"#32770", title); w && IsWindowVisible(w)) return w;
  return nullptr;
}

std::wstring TextOf(HWND dialog, int id) {
  wchar_t text[256] = {};
  GetDlgItemTextW(dialog, id, text, 256);
  return text;
}

// The panel for the maker's television: its labels, the scaling box, a resolution button,
// the confirmation's countdown and, left alone for 15 seconds, the revert.
TEST_F(HdmiDll, PanelScalingBoxAndRevert) {
  Plug(kTv);
  ASSERT_EQ(Initialize(), 0);
  std::wstring text, page;
  uint16_t code = 0;
  ASSERT_EQ(CheckWhenAsked(text, page, code), static_cast<CheckResult>(CHECK_ACTION));
  const size_t before = Log().size();
  std::wstring label1011, countdownFirst, countdownLater;
  int selected = -2, afterRevert = -2;
  std::atomic<bool> confirmClosed{false};
  std::thread user([&] {
    HWND panel = WaitWindow(L"HDMI接続補助 - Tellwick");
    if (!panel) return;
    label1011 = TextOf(panel, 1011);
    selected = static_cast<int>(SendDlgItemMessageW(panel, 1009, CB_GETCURSEL, 0, 0));
    SaveWindow(panel, WinPath(SCREENSHOT_DIR "/hdmi-panel.bmp"));
    SendDlgItemMessageW(panel, 1009, CB_SETCURSEL, 2, 0);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(1009, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(panel, 1009)));
    PostMessageW(panel, WM_COMMAND, MAKEWPARAM(1000, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(panel, 1000)));
    HWND confirm = WaitWindow(L"TV解像度変更");
    if (confirm) {
      countdownFirst = TextOf(confirm, 1015);
      SaveWindow(confirm, WinPath(SCREENSHOT_DIR "/hdmi-confirm.bmp"));
      for (const DWORD start = GetTickCount(); IsWindow(confirm) && GetTickCount() - start < 30000; Sleep(100))
        if (countdownLater.empty() && TextOf(confirm, 1015) != countdownFirst) countdownLater = TextOf(confirm, 1015);
      confirmClosed = !IsWindow(confirm);
    }
    afterRevert = static_cast<int>(SendDlgItemMessageW(panel, 1009, CB_GETCURSEL, 0, 0));
    PostMessageW(panel, WM_COMMAND, IDCANCEL, 0);
  });
  dll_.Get<WickpostDoNotifyFn>("WickpostDoNotify")(code);
  user.join();
  EXPECT_EQ(label1011, L"フルHDで広いデスクトップになりますが、細かい文字が読みにくくなります");
  EXPECT_EQ(selected, 1);  // scaling 75 from the first-time setting
  EXPECT_EQ(countdownFirst, L"15秒で前の解像度に戻ります。");
  EXPECT_EQ(countdownLater, L"14秒で前の解像度に戻ります。");
  EXPECT_TRUE(confirmClosed);
  EXPECT_EQ(afterRevert, 2);  // the scaling before the change, 65
  EXPECT_EQ(Known(L"VEL0A01#1#0#1"), 2u);
  EXPECT_EQ(Log().substr(before),
            "scaling uid=00001001 h=65 v=64\n"
            "config mode=1 primary=00001001,1920,1080,0,32,64 secondary=00000000,0,0,0,0,0\n"
            "scaling uid=00001001 h=75 v=72\n"
            "config mode=1 primary=00001001,1280,720,0,32,64 secondary=00000000,0,0,0,0,0\n"
            "scaling uid=00001001 h=65 v=64\n");
}
}  // namespace
