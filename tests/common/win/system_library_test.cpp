// Functions looked up at first call: present, missing, and where their library comes from.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <setupapi.h>
#include <wincrypt.h>
#include <winhttp.h>
#include <wintrust.h>

#include "common/win/system_library.h"

namespace {

using Probe = BOOL(WINAPI*)(DWORD);

TEST(SystemLibrary, CallsAPresentFunction) {
  const auto& processId = TW_SYSTEM_FUNCTION(L"kernel32.dll", GetCurrentProcessId);
  EXPECT_TRUE(processId.Available());
  EXPECT_EQ(processId(), GetCurrentProcessId());
}

// A function the running Windows lacks (or a library it lacks) must not be called through a
// null pointer: the call fails as the platform's own failures do.
TEST(SystemLibrary, MissingFunctionOrLibraryFailsTheCall) {
  const auto& noFunction = TW_SYSTEM_FUNCTION_TYPED(L"kernel32.dll", TellwickNoSuchFunction, Probe);
  const auto& noLibrary = TW_SYSTEM_FUNCTION_TYPED(L"tellwick-absent.dll", GetCurrentProcessId, Probe);
  for (const auto* fn : {&noFunction, &noLibrary}) {
    EXPECT_FALSE(fn->Available());
    SetLastError(0);
    EXPECT_EQ((*fn)(7), FALSE);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_PROC_NOT_FOUND));
  }
}

TEST(SystemLibrary, LoadsFromTheSystemFolder) {
  HMODULE module = tw::win::LoadSystemLibrary(L"version.dll");
  ASSERT_NE(module, nullptr);
  wchar_t loaded[MAX_PATH], system[MAX_PATH];
  ASSERT_GT(GetModuleFileNameW(module, loaded, MAX_PATH), 0u);
  const UINT n = GetSystemDirectoryW(system, MAX_PATH);
  ASSERT_GT(n, 0u);
  EXPECT_EQ(_wcsnicmp(loaded, system, n), 0) << "loaded from elsewhere";
}

// The functions the programs take this way, resolved in this build's bitness.
TEST(SystemLibrary, ResolvesTheLibrariesTheProgramsUse) {
  EXPECT_TRUE(TW_SYSTEM_FUNCTION(L"comctl32.dll", PropertySheetW).Available());
  EXPECT_TRUE(TW_SYSTEM_FUNCTION(L"winhttp.dll", WinHttpOpen).Available());
  EXPECT_TRUE(TW_SYSTEM_FUNCTION(L"crypt32.dll", CertOpenStore).Available());
  EXPECT_TRUE(TW_SYSTEM_FUNCTION(L"wintrust.dll", WinVerifyTrust).Available());
  EXPECT_TRUE(TW_SYSTEM_FUNCTION(L"setupapi.dll", SetupDiGetClassDevsW).Available());
}

}  // namespace
