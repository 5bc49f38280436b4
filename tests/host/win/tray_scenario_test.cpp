// The tray icon, the mini popup and the toasts of the real Wickpost.exe under Wine, driven
// through probe modules, a stand-in shell tray and real mouse messages.
#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/fake_shell_tray.h"
#include "tests/host/win/host_harness.h"

using namespace hosttest;
using wintest::ScopedKey;

namespace {
const wchar_t kHostKey[] = L"Software\\Velmorant\\WICKPOST";
const wchar_t kMini[] = L"MiniPopupClass";
const std::wstring kNormalTip = L"Tellwick", kPendingTip = L"Tellwick\nClick to display information.";

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

RECT WorkArea() {
  RECT r = {};
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &r, 0);
  return r;
}

bool WaitGone(HWND window, DWORD timeoutMs = 10000) {
  for (DWORD start = GetTickCount(); IsShown(window) && GetTickCount() - start < timeoutMs;) Sleep(20);
  return !IsShown(window);
}

class TrayScenario : public QuickHost {
 protected:
  // Copies the toast bridge's stand-in beside the host.
  void AddPopcard() const { CopyFileW(Widen(POPCARD_DLL_WIN).c_str(), (box_.dir() + L"\\Popcard.dll").c_str(), FALSE); }
  std::string PopcardLog() const;
};

std::string TrayScenario::PopcardLog() const {
  HANDLE f = CreateFileW((box_.dir() + L"\\popcard.log").c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                         nullptr, OPEN_EXISTING, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return {};
  std::string out(65536, '\0');
  DWORD got = 0;
  ReadFile(f, &out[0], static_cast<DWORD>(out.size()), &got, nullptr);
  CloseHandle(f);
  out.resize(got);
  return out;
}

// The screen area as a BMP under the screenshot folder, for a person to look at.
void SaveScreenshot(const wchar_t* name, const RECT& area) {
  const int w = area.right - area.left, h = area.bottom - area.top;
  const std::vector<DWORD> pixels = hosttest::CaptureScreen(area);
  const DWORD bytes = static_cast<DWORD>(pixels.size() * sizeof(DWORD));
  BITMAPINFOHEADER info = {sizeof info, w, -h, 1, 32, BI_RGB};
  BITMAPFILEHEADER file = {0x4D42, static_cast<DWORD>(sizeof file + sizeof info + bytes), 0, 0,
                           sizeof file + sizeof info};
  const std::wstring dir = Widen(SCREENSHOT_DIR);
  CreateDirectoryW(dir.c_str(), nullptr);
  HANDLE f = CreateFileW((dir + L"\\" + name + L".bmp").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (f == INVALID_HANDLE_VALUE) return;
  DWORD wrote = 0;
  WriteFile(f, &file, sizeof file, &wrote, nullptr);
  WriteFile(f, &info, sizeof info, &wrote, nullptr);
  WriteFile(f, pixels.data(), bytes, &wrote, nullptr);
  CloseHandle(f);
}

int Count(const std::vector<TrayCall>& calls, DWORD action, const std::wstring& tip = L"") {
  int n = 0;
  for (const TrayCall& c : calls) n += c.action == action && (tip.empty() || c.tip == tip);
  return n;
}
}  // namespace

TEST_F(TrayScenario, IconStatesDismissAllAndTheAlertOnXpAndLater) {
#ifdef _WIN64
  const wchar_t* releases[] = {L"winxp64", L"win2008r2"};
#else
  const wchar_t* releases[] = {L"winxp", L"win2008r2"};
#endif
  for (const wchar_t* release : releases) {
    SCOPED_TRACE(std::string(release, release + lstrlenW(release)));
    SetRelease(release);
    Sandbox box;
    box.AddModule(L"wkptrss", "interval=0\r\nauto=1\r\n");
    box.AddModule(L"wkptxwpk", "interval=0\r\nauto=0x20000002\r\ntext=Battery worn out\r\ncode=9\r\n");
    FakeShellTray tray;
    HostProcess host(box);
    ASSERT_TRUE(tray.WaitFor(NIM_ADD, kNormalTip));
    HWND mini = host.WaitWindow(kMini);
    ASSERT_TRUE(mini);
    const TrayCall first = tray.Calls().at(tray.Calls().size() > 1 ? 1 : 0);
    EXPECT_EQ(first.id, 140u);
    EXPECT_EQ(first.callback, 0x8000u);

    PostMessageW(mini, WM_CLOSE, 0, 0);  // gone without the user: the line is pending
    ASSERT_TRUE(tray.WaitFor(NIM_MODIFY, kPendingTip));
    host.Post(WM_HOST_TRAYICON, 140, WM_LBUTTONUP);
    mini = host.WaitWindow(kMini);
    ASSERT_TRUE(mini) << "a click on the icon lists the lines again";
    PostMessageW(mini, WM_LBUTTONUP, 0, At(305, 5));  // the close box
    ASSERT_TRUE(box.WaitForLog("wkptrss HTMLOnClose"));
    EXPECT_TRUE(WaitGone(mini));
    ASSERT_TRUE(tray.WaitFor(NIM_MODIFY, L"Tellwick\nBattery worn out")) << "the persistent line stays";
    EXPECT_EQ(CountOf(box.Log(), "wkptxwpk HTMLOnClose"), 0);

    host.Post(WM_HOST_TRAYICON, 140, WM_LBUTTONUP);
    EXPECT_TRUE(box.WaitForLog("wkptxwpk DoNotify 9")) << "the icon opens the persistent line";
    host.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host.Wait(), 0);
    EXPECT_EQ(tray.Calls().back().action, static_cast<DWORD>(NIM_DELETE));
  }
}

TEST_F(TrayScenario, AddingRetriesFromATimerAndAFailedChangeAddsTheIconAgain) {
  box_.AddModule(L"wkptrss", "manual=0x20000002\r\ntext=Held\r\ntimers=1\r\n");
  FakeShellTray tray;
  tray.Fail(NIM_ADD, 2);
  HostProcess host(box_);
  HWND main = host.Main();
  ASSERT_TRUE(main);
  DWORD_PTR answer = 0;
  EXPECT_TRUE(SendMessageTimeoutW(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 500, &answer)) << "serves while retrying";
  for (DWORD start = GetTickCount(); Count(tray.Calls(), NIM_ADD) < 3 && GetTickCount() - start < 8000;) Sleep(50);
  EXPECT_EQ(Count(tray.Calls(), NIM_ADD), 3) << "two failures, then added";
  // 40 ticks of 50 ms outlast the one-second retry timer: it would have fired among them.
  ASSERT_TRUE(box_.WaitForTicks(40));
  EXPECT_EQ(Count(tray.Calls(), NIM_ADD), 3) << "no more attempts once added";

  host.Post(RegisterWindowMessageW(L"TaskbarCreated"));
  for (DWORD start = GetTickCount(); Count(tray.Calls(), NIM_ADD) < 4 && GetTickCount() - start < 5000;) Sleep(20);
  EXPECT_EQ(Count(tray.Calls(), NIM_ADD, kNormalTip), 4) << "back after the shell restarted";

  tray.Fail(NIM_MODIFY, 1);
  host.Post(WM_COMMAND, IDM_CHECKNOW);  // a held line: the alert icon
  ASSERT_TRUE(tray.WaitFor(NIM_ADD, L"Tellwick\nHeld")) << "the lost icon is added again with the new look";
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(TrayScenario, MiniPopupPlacementRowsAndClicks) {
  box_.AddModule(L"wkpthdd", "interval=0\r\nauto=2\r\ncode=7\r\ntext=Action line\r\n");  // loaded first: row 0
  box_.AddModule(L"wkptrss", "interval=0\r\nauto=0x10000001\r\ntext=Disk almost full: a warning line long enough to be cut "
                             "with an ellipsis at its end\r\n");
  box_.AddModule(L"wkptxwpk", "interval=0\r\nauto=1\r\ntext=Third line\r\n");
  FakeShellTray tray;  // off screen below: placed as for a bottom taskbar
  HostProcess host(box_);
  HWND mini = host.WaitWindow(kMini);
  ASSERT_TRUE(mini);
  WaitMiniPopupHeight(mini, 3 * 22 + 22);
  EXPECT_TRUE(WaitPainted(mini, kMiniPopupBackground));
  RECT r = {};
  GetWindowRect(mini, &r);
  const RECT work = WorkArea();
  EXPECT_EQ(r.right - r.left, 316);
  EXPECT_EQ(r.bottom - r.top, 3 * 22 + 22);
  EXPECT_EQ(r.right, work.right);
  EXPECT_EQ(r.bottom, work.bottom);
  SaveScreenshot(L"mini-popup-three-lines", r);

  for (LPARAM miss : {At(5, 20), At(100, 36), At(310, 20)}) PostMessageW(mini, WM_LBUTTONUP, 0, miss);
  PostMessageW(mini, WM_LBUTTONUP, 0, At(100, 20));  // handled after the misses
  EXPECT_TRUE(box_.WaitForLog("wkpthdd DoNotify 7")) << "the first row's action reaches its module";
  EXPECT_EQ(CountOf(box_.Log(), "DoNotify"), 1) << "margins and gaps open nothing";
  mini = host.WaitWindow(kMini);
  ASSERT_TRUE(mini) << "the other lines are listed again";
  EXPECT_EQ(WaitMiniPopupHeight(mini, 2 * 22 + 22), 2 * 22 + 22);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(TrayScenario, MiniPopupStepsAsideForTheLanguageBarAndFollowsTheDisplay) {
  const RECT work = WorkArea();
  // The floating language bar over the bottom-right corner, as the text service shows it.
  WNDCLASSW wc = {};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"CiceroUIWndFrame";
  RegisterClassW(&wc);
  HWND bar = CreateWindowExW(WS_EX_TOOLWINDOW, L"CiceroUIWndFrame", L"TF_FloatingLangBar_WndTitle", WS_POPUP | WS_VISIBLE,
                             work.right - 200, work.bottom - 30, 150, 24, nullptr, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(bar);
  box_.AddModule(L"wkptrss", "interval=0\r\nauto=1\r\n");
  FakeShellTray tray;
  HostProcess host(box_);
  HWND mini = host.WaitWindow(kMini);
  ASSERT_TRUE(mini);
  RECT r = {};
  GetWindowRect(mini, &r);
  EXPECT_EQ(r.bottom, work.bottom - 30) << "just above the language bar";
  EXPECT_EQ(r.right, work.right);
  DestroyWindow(bar);
  UnregisterClassW(L"CiceroUIWndFrame", wc.hInstance);

  // The taskbar moves to the top: a display change places the mini popup again.
  SetWindowPos(tray.window(), nullptr, 0, 0, work.right, 30, SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageW(mini, WM_DISPLAYCHANGE, 24, MAKELPARAM(work.right, work.bottom));
  for (DWORD start = GetTickCount(); GetTickCount() - start < 5000; Sleep(20)) {
    mini = host.WaitWindow(kMini, nullptr, 0);
    if (mini && GetWindowRect(mini, &r) && r.top == work.top) break;
  }
  EXPECT_EQ(r.top, work.top) << "hangs from the top now";
  EXPECT_EQ(r.right, work.right);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(TrayScenario, FlashingAlternatesThePendingFrames) {
  settings_.SetDword(L"FlashIcon", 1);
  box_.AddModule(L"wkptrss", "interval=0\r\nauto=1\r\ntimers=1\r\n");
  FakeShellTray tray;
  HostProcess host(box_);
  HWND mini = host.WaitWindow(kMini);
  ASSERT_TRUE(mini);
  ASSERT_TRUE(box_.WaitForTicks(3));
  EXPECT_EQ(Count(tray.Calls(), NIM_MODIFY, kPendingTip), 0) << "no flashing while the mini popup is up";
  PostMessageW(mini, WM_CLOSE, 0, 0);
  for (DWORD start = GetTickCount(); Count(tray.Calls(), NIM_MODIFY, kPendingTip) < 5 && GetTickCount() - start < 5000;)
    Sleep(20);
  std::vector<unsigned long> frames;
  for (const TrayCall& c : tray.Calls())
    if (c.action == NIM_MODIFY && c.tip == kPendingTip) frames.push_back(c.iconHash);
  ASSERT_GE(frames.size(), 5u);
  for (size_t i = 1; i < frames.size(); ++i) EXPECT_NE(frames[i], frames[i - 1]) << "a new frame each tick";
  EXPECT_EQ(frames[1], frames[3]);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(TrayScenario, ContextMenuCarriesTheModuleItemsAtTheTop) {
  box_.AddModule(L"wkptrss", "menu=2\r\nmenu1=First item\r\nmenu2=Second item\r\ntimers=1\r\n");
  FakeShellTray tray;
  HostProcess host(box_);
  ASSERT_TRUE(tray.WaitFor(NIM_ADD, kNormalTip));
  struct Case {
    WPARAM id;
    LPARAM event;
    int downs;
    const char* call;
  } cases[] = {
      {140, WM_RBUTTONUP, 1, "wkptrss IconMenu 101"},
      {140, WM_LBUTTONUP, 2, "wkptrss IconMenu 102"},  // nothing pending: the left button opens it too
  };
  for (const Case& c : cases) {
    host.Post(WM_HOST_TRAYICON, c.id, c.event);
    HWND menu = host.WaitWindow(L"#32768");
    ASSERT_TRUE(menu) << c.call;
    if (c.downs == 1) {
      EXPECT_TRUE(WaitPainted(menu, GetSysColor(COLOR_MENU)));
      RECT r = {};
      GetWindowRect(menu, &r);
      SaveScreenshot(L"tray-menu", r);
    }
    for (int i = 0; i < c.downs; ++i) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(box_.WaitForLog(c.call)) << c.call;
  }
  host.Post(WM_HOST_TRAYICON, 141, WM_RBUTTONUP);  // not our icon
  ASSERT_TRUE(box_.WaitForTicks(1));
  EXPECT_EQ(host.WaitWindow(L"#32768", nullptr, 0), nullptr);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(TrayScenario, AutoHideUnlessTheUserReachedForIt) {
  settings_.SetDword(L"MiniPopupTime", 1);  // 60 ticks: 3 s at 50 ms
  const RECT work = WorkArea();
  struct Case {
    bool underCursor;
    bool staysUp;
  } cases[] = {{true, false}, {false, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.underCursor ? "under the cursor" : "cursor elsewhere");
    SetCursorPos(c.underCursor ? work.right - 100 : 10, c.underCursor ? work.bottom - 20 : 10);
    Sandbox box;
    box.AddModule(L"wkptrss", "interval=0\r\nauto=1\r\ntimers=1\r\n");
    FakeShellTray tray;  // a bottom taskbar: the mini popup comes up in the bottom-right corner
    HostProcess host(box);
    HWND mini = host.WaitWindow(kMini);
    ASSERT_TRUE(mini);
    PostMessageW(mini, WM_MOUSEMOVE, 0, At(100, 20));
    ASSERT_TRUE(box.WaitForTicks(70)) << "past the 60 ticks it may stay";
    EXPECT_EQ(IsShown(mini), c.staysUp);
    host.Post(WM_COMMAND, IDM_EXIT);
    EXPECT_EQ(host.Wait(), 0);
  }
  SetCursorPos(10, 10);
}

TEST_F(TrayScenario, ToastActivationPaths) {
  SetRelease(L"win81");
  AddPopcard();
  box_.AddModule(L"wkpthdd", "manual=0x40000001,0x40000001\r\npage=page.htm\r\n");  // show-now: page and toast
  box_.AddModule(L"wkptrss", "interval=0\r\nauto=1\r\ntimers=1\r\n");
  box_.AddModule(L"wkptxwpk", "interval=0\r\nauto=0x20000002\r\ncode=4\r\n");
  box_.WriteFile(L"page.htm", "<p>page</p>");
  HostProcess host(box_);
  auto clickToast = [&](int n) {
    HWND toast = host.WaitWindow(L"PopcardToastWindow");
    EXPECT_TRUE(toast) << n;
    PostMessageW(toast, WM_LBUTTONUP, 0, At(20, 20));
    for (DWORD start = GetTickCount(); CountOf(PopcardLog(), "dispose") < n && GetTickCount() - start < 5000;) Sleep(20);
    EXPECT_EQ(CountOf(PopcardLog(), "dispose"), n) << "disposed once activated";
  };

  // A new line: the mini popup and a toast. With the mini popup gone, the toast lists again.
  HWND mini = host.WaitWindow(kMini);
  ASSERT_TRUE(mini);
  PostMessageW(mini, WM_CLOSE, 0, 0);
  ASSERT_TRUE(WaitGone(mini));
  clickToast(1);
  mini = host.WaitWindow(kMini);
  ASSERT_TRUE(mini) << "listable lines: the mini popup";
  PostMessageW(mini, WM_LBUTTONUP, 0, At(305, 5));
  ASSERT_TRUE(box_.WaitForLog("wkptrss HTMLOnClose"));

  // Show-now: its page and its toast; activation brings the page forward and opens nothing.
  host.Post(WM_HOST_CHECKMODULE, 0);
  ASSERT_TRUE(box_.WaitForLog("wkpthdd HTMLOnShow"));
  clickToast(2);
  EXPECT_TRUE(IsShown(host.WaitWindow(L"HTMLPopupClass", nullptr, 0)));
  EXPECT_EQ(CountOf(box_.Log(), "DoNotify"), 0);

  // Page closed, only the persistent line left: activation opens it.
  host.Post(WM_HOST_CLOSEPOPUP);
  ASSERT_TRUE(box_.WaitForLog("wkpthdd HTMLOnClose"));
  host.Post(WM_HOST_CHECKMODULE, 0);
  ASSERT_TRUE(box_.WaitForLog("wkpthdd HTMLOnShow", 2));
  host.Post(WM_HOST_CLOSEPOPUP);
  ASSERT_TRUE(box_.WaitForLog("wkpthdd HTMLOnClose", 2));
  clickToast(3);
  EXPECT_TRUE(box_.WaitForLog("wkptxwpk DoNotify 4"));

  const std::string log = PopcardLog();
  EXPECT_EQ(CountOf(log, "init 0"), 1);
  EXPECT_EQ(CountOf(log, "message=0x8064 1 app=Velmorant.Tellwick 5"), 3) << log;
  EXPECT_EQ(CountOf(log, "|You have received a notice. Tap to confirm."), 3) << log;
  EXPECT_EQ(CountOf(log, "shortcut"), 0) << "resolved, never called";

  // A forged object and a toast already disposed are both left alone.
  const size_t at = log.find("create ");
  ASSERT_NE(at, std::string::npos);
  const LPARAM gone = static_cast<LPARAM>(std::stoull(log.substr(at + 7, log.find('\n', at) - at - 7), nullptr, 16));
  host.Post(WM_HOST_TOASTACTIVATED, 1, static_cast<LPARAM>(0xDEAD0000));
  host.Post(WM_HOST_TOASTACTIVATED, 1, gone);
  ASSERT_TRUE(box_.WaitForTicks(1));
  EXPECT_TRUE(host.Running());
  EXPECT_EQ(CountOf(PopcardLog(), "dispose"), 3);
  EXPECT_EQ(CountOf(box_.Log(), "DoNotify"), 1);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}

TEST_F(TrayScenario, AToastThatCannotBeMadeIsDisposedAndTheLineStaysPending) {
  SetRelease(L"win81");
  AddPopcard();
  box_.AddModule(L"wkptrss", "interval=0\r\nauto=1\r\n");
  FakeShellTray tray;
  SetEnvironmentVariableW(L"TELLWICK_POPCARD_FAIL", L"texts");
  HostProcess host(box_);
  SetEnvironmentVariableW(L"TELLWICK_POPCARD_FAIL", nullptr);
  HWND mini = host.WaitWindow(kMini);
  ASSERT_TRUE(mini);
  for (DWORD start = GetTickCount(); CountOf(PopcardLog(), "dispose") < 1 && GetTickCount() - start < 5000;) Sleep(20);
  const std::string log = PopcardLog();
  EXPECT_EQ(CountOf(log, "dispose"), 1);
  EXPECT_EQ(CountOf(log, "show"), 0);
  PostMessageW(mini, WM_CLOSE, 0, 0);
  EXPECT_TRUE(tray.WaitFor(NIM_MODIFY, kPendingTip)) << "still pending";
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
}
