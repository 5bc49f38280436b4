// The real Wickpost.exe against modules and surroundings that try to break it: a module that
// changes its menu count behind the host's back, DLLs planted outside the host's folder, a
// module pumping messages while its page closes, and a thread whose COM apartment is taken.
#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

using namespace hosttest;
using wintest::ScopedKey;

namespace {
const wchar_t kHostKey[] = L"Software\\Velmorant\\WICKPOST";

class HostGuard : public QuickHost {};

std::wstring Env(const wchar_t* name) {
  std::wstring value(32767, L'\0');
  const DWORD n = GetEnvironmentVariableW(name, &value[0], 32767);
  value.resize(n < 32767 ? n : 0);
  return value;
}

// Sets an environment variable of this process (and so of the hosts it starts) for a scope.
class ScopedEnv {
 public:
  ScopedEnv(const wchar_t* name, const std::wstring& value) : name_(name), old_(Env(name)) {
    SetEnvironmentVariableW(name, value.c_str());
  }
  ~ScopedEnv() { SetEnvironmentVariableW(name_, old_.empty() ? nullptr : old_.c_str()); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const wchar_t* name_;
  std::wstring old_;
};
}  // namespace

// The module raises its count inside the call; the host keeps to the array it handed over.
TEST_F(HostGuard, MenuCountRaisedDuringTheCallIsNotReadPastTheArray) {
  box_.AddModule(L"wkptrss", "menu=2\r\nmenu1=R1\r\nmenu2=R2\r\nmenu_raise=2000000000\r\n");
  box_.AddModule(L"wkptxwpk", "");
  HostProcess host(box_);
  ASSERT_TRUE(box_.WaitForLog("wkptxwpk Initialize")) << box_.Log();
  // Table: separator, R2, R1; nothing after them.
  for (UINT command = 12700; command <= 12705; ++command) host.Post(WM_COMMAND, command);
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  const std::string log = box_.Log();
  EXPECT_EQ(CountOf(log, "wkptrss GetNotifyIconMenuItems count=2 zeroed=1"), 1) << log;
  EXPECT_NE(log.find("wkptrss IconMenu 102\nwkptrss IconMenu 101\n"), std::string::npos) << log;
  EXPECT_EQ(CountOf(log, " IconMenu "), 2) << log;
}

// A module planted in the working folder or on PATH is never loaded: only the host's own
// folder counts, whatever folder the host is started from.
TEST_F(HostGuard, ModulesLoadOnlyFromTheHostsFolder) {
  for (const bool onPath : {false, true}) {
    Sandbox host, planted;
    host.AddModule(L"wkptxwpk", "");
    planted.AddModule(L"wkptrss", "");  // earlier in the list: it would take index 0
    {
      const std::wstring path = Env(L"PATH");
      ScopedEnv env(L"PATH", onPath ? planted.dir() + L";" + path : path);
      HostProcess process(host, L"", onPath ? host.dir() : planted.dir());
      ASSERT_TRUE(host.WaitForLog("wkptxwpk Initialize")) << "on PATH: " << onPath;
      process.Post(WM_COMMAND, IDM_EXIT);
      EXPECT_EQ(process.Wait(), 0);
    }
    EXPECT_EQ(CountOf(host.Log(), "wkptxwpk Initialize cbSize="), 1);
    EXPECT_NE(host.Log().find(" index=0 "), std::string::npos) << "the planted module took no index";
    EXPECT_EQ(planted.Log(), "") << "on PATH: " << onPath;
  }
}

// On Windows 8.1 the host does not run without its toast bridge, and one in the working
// folder is not its own.
TEST_F(HostGuard, ToastBridgeLoadsOnlyFromTheHostsFolder) {
  SetRelease(L"win81");
  Sandbox planted;
  box_.AddModule(L"wkptxwpk", "");
  CopyFileW(Widen(POPCARD_DLL_WIN).c_str(), (planted.dir() + L"\\Popcard.dll").c_str(), FALSE);
  HostProcess host(box_, L"", planted.dir());
  EXPECT_EQ(host.Wait(), 0) << "ends at once, as with no bridge";
  EXPECT_EQ(box_.Log(), "") << "no module was loaded";
}

// The module pumps messages in its page close for a few ticks of the host's clock (counted by
// a second module checked on every tick); the host does not check it meanwhile.
TEST_F(HostGuard, PageCloseIsNotReenteredByTheClock) {
  box_.WriteFile(L"page.htm", "<h2>Probe page</h2>");
  box_.AddModule(L"wkptrss", "interval=0\r\nmanual=0x40000001\r\npage=page.htm\r\nclose_pump=4\r\n");
  box_.AddModule(L"wkptxwpk", "interval=0\r\n");
  HostProcess host(box_);
  ASSERT_TRUE(box_.WaitForLog("wkptxwpk AutoCheck", 2));
  host.Post(WM_HOST_CHECKMODULE, 0);
  ASSERT_TRUE(box_.WaitForLog("wkptrss HTMLOnShow"));
  host.Post(WM_HOST_CLOSEPOPUP);
  ASSERT_TRUE(box_.WaitForLog("wkptrss HTMLOnClose pumped"));
  const int before = CountOf(box_.Log(), "wkptrss AutoCheck");
  EXPECT_TRUE(box_.WaitForLog("wkptrss AutoCheck", before + 2)) << "checked again once the close returned";
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  const std::string log = box_.Log();
  EXPECT_EQ(CountOf(log, "Reentered"), 0) << log;
  EXPECT_EQ(CountOf(log, "wkptrss HTMLOnClose\n"), 1) << log;
}

// The main thread already joined the multithreaded apartment (a test switch of the simulated
// build): the single-threaded one the page popup needs cannot be had, and the host ends
// before loading any module instead of running without it.
TEST_F(HostGuard, EndsWhenItsComApartmentCannotBeHad) {
  box_.AddModule(L"wkptxwpk", "");
  ScopedEnv mta(L"TELLWICK_TEST_COM", L"mta");
  HostProcess host(box_);
  EXPECT_EQ(host.Wait(), -1);
  EXPECT_EQ(box_.Log(), "") << "no module was loaded";
}
