// wkptanm.dll in the real Wickpost.exe (sim variant): the controller's event, sent by the
// event service's stand-in, shows the page at once when the registers report a fault.
#include <gtest/gtest.h>

#include <string>

#include "host/module_contract.h"
#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

namespace {
using wintest::TempFile;
using wintest::WriteWhole;

int AnomalyPages() { return static_cast<int>(wintest::TempFiles(L"WAM*.tmp").size()); }

bool SendEvent(const wchar_t* code) {
  std::wstring line = L"\"" + wintest::WinePath(EC_EVENT_EXE) + L"\" " + code;
  STARTUPINFOW si = {sizeof si};
  PROCESS_INFORMATION pi = {};
  if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return false;
  WaitForSingleObject(pi.hProcess, 15000);
  DWORD code_ = 1;
  GetExitCodeProcess(pi.hProcess, &code_);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return code_ == 0;
}

class WkptanmInHost : public hosttest::QuickHost {
 protected:
  WkptanmInHost() {
    box_.AddModule(L"wkptanm", "", WKPTANM_DLL);
    box_.AddModule(L"wkptxwpk", "timers=1\r\n");  // counts the host's clock ticks
    notebook_ = wintest::ReadAll(wintest::WinePath(SCENARIO_DIR "/default.ini"));
    scenario_ = TempFile(L"asc");
  }
  ~WkptanmInHost() override { DeleteFileW(scenario_.c_str()); }
  void Registers(const char* battery) {
    EXPECT_TRUE(WriteWhole(scenario_, notebook_ + "\n[anomaly]\nbattery = " + battery + "\nadaptor = recommended\n"));
  }
  std::unique_ptr<hosttest::HostProcess> Start() {
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", scenario_.c_str());
    auto host = std::make_unique<hosttest::HostProcess>(box_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    return host;
  }
  wintest::ScopedKey user_{HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST\\WKPTANM"};
  std::string notebook_;
  std::wstring scenario_;
};

TEST_F(WkptanmInHost, HealthyNotebookShowsNothingAndARedBatteryShowsThePageAtOnce) {
  ASSERT_FALSE(notebook_.empty());
  Registers("fine");
  const int before = AnomalyPages();
  auto host = Start();
  ASSERT_NE(host->Main(), nullptr);
  ASSERT_TRUE(host->WaitWindow(L"WKPTANM_INTERNAL", nullptr, 15000, false)) << "the module loaded";
  // The first check at start-up and one after an event: both find nothing.
  ASSERT_TRUE(SendEvent(L"0xC0"));
  ASSERT_TRUE(box_.WaitForTicks(3));
  EXPECT_EQ(host->WaitWindow(L"HTMLPopupClass", nullptr, 0), nullptr);
  EXPECT_EQ(AnomalyPages(), before);

  Registers("red");
  const DWORD start = GetTickCount();
  ASSERT_TRUE(SendEvent(L"0xC1"));
  const HWND page = host->WaitWindow(L"HTMLPopupClass");
  ASSERT_NE(page, nullptr) << "shown without a click";
  EXPECT_LT(GetTickCount() - start, 2000u) << "at once";
  EXPECT_EQ(AnomalyPages(), before + 1);
  host->Post(WM_COMMAND, IDM_EXIT);
  EXPECT_EQ(host->Wait(), 0);
}
}  // namespace
