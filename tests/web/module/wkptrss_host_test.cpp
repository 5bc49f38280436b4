// wkptrss.dll in the real Wickpost.exe (sim variant) on the default notebook, reading the
// feed from the support server stand-in: the notice is listed, its page written, and the
// tray menu opens the history view.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

namespace {
const wchar_t kModuleKey[] = L"Software\\Velmorant\\WICKPOST\\WKPTRSS";
// The host's command for the module's first tray item (the history): its table starts at
// 12700 with a separator, then lists the items last to first.
constexpr UINT kHistoryCommand = 12702;

std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}

bool WaitFile(const std::wstring& path, DWORD timeoutMs = 15000) {
  for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(50))
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
  return false;
}

class WkptrssInHost : public hosttest::QuickHost {
 protected:
  WkptrssInHost() {
    // Notices start unseen, whatever earlier tests of the web module left in the history.
    wintest::RemoveFolder(wintest::WebHistoryFolder());
    machine_.SetDword(L"Enable", 1);
    machine_.SetDword(L"SetupEnable", 1);
    browser_.SetString(L"Browsers", L"true");  // the history view opens in nothing
    box_.AddModule(L"wkptrss", "", WKPTRSS_DLL);
    const int port = wintest::SupportServerPorts(wintest::WinePath(SUPPORT_STATE_DIR))["http"];
    SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", (L"127.0.0.1:" + std::to_wstring(port) + L"/default").c_str());
  }
  ~WkptrssInHost() override { SetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", nullptr); }

  wintest::ScopedKey user_{HKEY_CURRENT_USER, kModuleKey};
  wintest::ScopedKey machine_{HKEY_LOCAL_MACHINE, kModuleKey};
  wintest::ScopedKey browser_{HKEY_CURRENT_USER, L"Software\\Wine\\WineBrowser"};
};
}  // namespace

TEST_F(WkptrssInHost, CheckListsTheNoticeAndTheTrayOpensTheHistory) {
  const std::wstring frameset = TempFolder() + L"wkptrshs1.htm";
  DeleteFileW(frameset.c_str());
  hosttest::HostProcess host(box_);
  ASSERT_NE(host.Main(), nullptr) << "the host stays resident with wkptrss loaded";
  host.Post(WM_COMMAND, IDM_CHECKNOW);
  const hosttest::MiniPopupView line = hosttest::WaitMiniPopup(host);
  ASSERT_TRUE(line.window) << "listed";
  EXPECT_EQ(line.rows.size(), 1u);

  host.Post(WM_COMMAND, kHistoryCommand);
  ASSERT_TRUE(WaitFile(frameset)) << "the history view";
  // The frameset comes first; its list page may still be being written.
  bool listed = false;
  for (const DWORD start = GetTickCount(); !listed && GetTickCount() - start < 15000; Sleep(50))
    listed = wintest::ReadAll(TempFolder() + L"wkptrshs3.htm").find("Support desk hours over the new year") !=
             std::string::npos;
  EXPECT_TRUE(listed) << wintest::ReadAll(TempFolder() + L"wkptrshs3.htm");
  host.Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host.Wait(), 0);
  EXPECT_FALSE(GetFileAttributesW(frameset.c_str()) != INVALID_FILE_ATTRIBUTES) << "gone with the module";
}
