// wkptreg.dll in the real Wickpost.exe (sim variant) on the simulated notebook.
#include <gtest/gtest.h>

#include "tests/common/win/win_test_support.h"
#include "tests/host/win/host_harness.h"

namespace {
std::wstring TempFolder() {
  wchar_t buffer[MAX_PATH + 1];
  GetTempPathW(MAX_PATH + 1, buffer);
  return buffer;
}
int CountPages() {
  int n = 0;
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((TempFolder() + L"WRG*.tmp").c_str(), &data);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do ++n;
  while (FindNextFileW(find, &data));
  FindClose(find);
  return n;
}
}  // namespace

TEST(WkptregInHost, LoadsAndItsFirstCheckWritesPageAndBitmap) {
  wintest::ScopedKey appDefaults(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\Wickpost.exe");
  appDefaults.SetString(L"Version", L"win2008r2");
  wintest::ScopedKey settings(HKEY_CURRENT_USER, L"Software\\Velmorant\\WICKPOST");
  settings.SetDword(L"ClockSpeed", 50);
  settings.SetDword(L"InitialDlgShown", 1);
  wintest::ScopedKey sysglance(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\Sysglance", KEY_WOW64_64KEY);
  wintest::ScopedKey machine(HKEY_LOCAL_MACHINE, L"Software\\Velmorant\\WICKPOST", KEY_WOW64_64KEY);
  const std::wstring bitmap = TempFolder() + L"wkptreg.bmp";
  DeleteFileW(bitmap.c_str());
  const int pagesBefore = CountPages();

  hosttest::Sandbox box;
  box.AddModule(L"wkptreg", "", WKPTREG_DLL);
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", wintest::WinePath(SCENARIO_DIR "/registration-warranty3.ini").c_str());
  {
    hosttest::HostProcess host(box);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
    ASSERT_NE(host.Main(), nullptr) << "the host stays resident with wkptreg loaded";
    // The first automatic check comes after 61 ticks of 50 ms.
    bool made = false;
    for (DWORD start = GetTickCount(); !made && GetTickCount() - start < 20000; Sleep(100))
      made = GetFileAttributesW(bitmap.c_str()) != INVALID_FILE_ATTRIBUTES && CountPages() > pagesBefore;
    EXPECT_TRUE(made) << "page and wkptreg.bmp in the temporary folder";
    EXPECT_TRUE(host.Running());
  }
  DeleteFileW(bitmap.c_str());
}
