// Diskwarn.dll driven through its exports against the viewer stand-in (sim/viewer): its two
// services installed into the Wine prefix and run by Wine's service manager, its pipe and its
// registry history, with the notebook's disk from the scenario.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "libs/diskwarn/diskwarn.h"
#include "libs/diskwarn/dll/dw_machine.h"
#include "tests/common/win/win_test_support.h"

namespace {
std::wstring Scenario(const char* name) { return wintest::WinePath((std::string(SCENARIO_DIR "/") + name).c_str()); }

std::wstring TempPath(const wchar_t* name) {
  wchar_t folder[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, folder);
  return std::wstring(folder) + name;
}

// A value of the viewer's key in one registry view, and its text when it is one.
bool ViewerValue(const wchar_t* name, REGSAM view, std::wstring* text = nullptr) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, DISKWARN_VIEWER_KEY, 0, KEY_QUERY_VALUE | view, &key) != ERROR_SUCCESS)
    return false;
  wchar_t buffer[128] = {};
  DWORD size = sizeof buffer - sizeof(wchar_t);
  const bool found =
      RegQueryValueExW(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (found && text) *text = buffer;
  return found;
}

class DiskwarnDll : public testing::Test {
 protected:
  static void TearDownTestSuite() {
    std::string out;
    EXPECT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" remove", out), 0) << out;
  }
  void SetUp() override {
    dll_ = LoadLibraryW(wintest::WinePath(DISKWARN_DLL).c_str());
    ASSERT_NE(dll_, nullptr);
  }
  void TearDown() override {
    if (dll_) FreeLibrary(dll_);
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", nullptr);
  }
  // The viewer as the scenario says, and the same notebook for the library.
  void Viewer(const char* scenario) {
    log_ = TempPath(L"sysglance_sim.log");
    DeleteFileW(log_.c_str());
    std::string out;
    ASSERT_EQ(wintest::RunProgram(L"\"" + wintest::WinePath(VIEWER_EXE) + L"\" install \"" + Scenario(scenario) +
                                      L"\" \"" + log_ + L"\"",
                                  out),
              0)
        << out;
    SetEnvironmentVariableW(L"TELLWICK_SCENARIO", Scenario(scenario).c_str());
  }
  std::string Log() const { return wintest::ReadAll(log_); }
  template <class Fn>
  Fn Get(const char* name) {
    Fn fn = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(dll_, name)));
    EXPECT_NE(fn, nullptr) << name;
    return fn;
  }
  int32_t Evaluate(int32_t modelClass, int32_t wanted, int32_t& found) {
    found = -1;
    return Get<Diskwarn_CheckDiskwarnicationFn>("Diskwarn_CheckDiskwarnication")(modelClass, wanted, &found);
  }
  std::wstring Path(int32_t& ok, DWORD& ms) {
    wchar_t buffer[300] = L"unchanged";
    const DWORD start = GetTickCount();
    ok = Get<Diskwarn_GetHddFileNameFn>("Diskwarn_GetHddFileName")(buffer, 300);
    ms = GetTickCount() - start;
    return buffer;
  }

  HMODULE dll_ = nullptr;
  std::wstring log_;
};

TEST_F(DiskwarnDll, ViewerRunningFindsEveryEventAndReportsThemInOrder) {
  Viewer("disk-all.ini");
  int32_t state = 0, start = 0, target = 0, noExcluded = 0, flags = 0, spinning = -1;
  ASSERT_EQ(Get<Diskwarn_GetServiceStateFn>("Diskwarn_GetSysglanceServiceState")(&state, &start), 1);
  EXPECT_EQ(state, SERVICE_RUNNING);
  EXPECT_EQ(start, SERVICE_AUTO_START);
  ASSERT_EQ(Get<Diskwarn_GetServiceStateFn>("Diskwarn_GetSysglancePipeServiceState")(&state, &start), 1);
  EXPECT_EQ(state, SERVICE_RUNNING);
  ASSERT_EQ(Get<Diskwarn_CheckTargetHddFn>("Diskwarn_CheckTargetHdd")(&target, &noExcluded), 1);
  EXPECT_EQ(target, 1);
  EXPECT_EQ(noExcluded, 1);

  int32_t ok = 0;
  DWORD ms = 0;
  const std::wstring path = Path(ok, ms);
  EXPECT_EQ(ok, 1);
  EXPECT_EQ(path, L"\\\\.\\PhysicalDrive0");
  ASSERT_EQ(Get<Diskwarn_CheckHddMotorStopFn>("Diskwarn_CheckHddMotorStop")(path.c_str(), &spinning), 1);
  EXPECT_EQ(spinning, 1);
  EXPECT_EQ(Get<Diskwarn_CheckHddMotorStopFn>("Diskwarn_CheckHddMotorStop")(L"", &spinning), 0);

  // The viewer's key is in the 64-bit view, whichever build writes or reads it.
  for (const wchar_t* name : {L"Diskwarn002", L"Diskwarn004"}) {
    EXPECT_TRUE(ViewerValue(name, KEY_WOW64_64KEY)) << name;
    EXPECT_FALSE(ViewerValue(name, KEY_WOW64_32KEY)) << name;
  }
  uint32_t ac = 0, dc = 0;
  ASSERT_EQ(Get<Diskwarn_GetDefaultHibernateTimeFn>("Diskwarn_GetDefaultHibernateTime")(&ac, &dc), 1);
  EXPECT_EQ(ac, 60u);
  EXPECT_EQ(dc, 60u);
  ASSERT_EQ(Get<Diskwarn_GetSupportInfoFn>("Diskwarn_GetSupportInfo")(&flags), 1);
  EXPECT_EQ(flags, 15);

  int32_t found = 0;
  EXPECT_EQ(Evaluate(3, 15, found), 0);
  EXPECT_EQ(Evaluate(0, 0, found), 0);
  ASSERT_EQ(Evaluate(0, 15, found), 1);
  EXPECT_EQ(found, 15);
  EXPECT_NE(Log().find("report 145\nreport 146\nreport 147\nreport 148\n"), std::string::npos) << Log();
  EXPECT_EQ(Log().find("control 144"), std::string::npos) << "a fresh sample is not refreshed";
}

TEST_F(DiskwarnDll, QuietDiskFindsNothing) {
  Viewer("disk-quiet.ini");
  int32_t found = -1;
  ASSERT_EQ(Evaluate(0, 15, found), 1);
  EXPECT_EQ(found, 0);
  EXPECT_EQ(Log().find("report"), std::string::npos) << Log();
}

TEST_F(DiskwarnDll, StaleSampleIsRefreshedAndTheEventReported) {
  Viewer("disk-stale.ini");
  // Wine's service manager answers a user-defined control with success whatever the service's
  // handler returns, so the refusal does not reach the library here (the rules' tests cover it).
  int32_t found = 0;
  Evaluate(0, 2, found);
  EXPECT_EQ(found, 2) << "seen only in the new sample";
  EXPECT_NE(Log().find("control 144\nrefused 146\n"), std::string::npos) << Log();
  std::wstring previous;
  ASSERT_TRUE(ViewerValue(L"Diskwarn001", KEY_WOW64_64KEY, &previous));
  EXPECT_NE(previous.find(L"  7 110 30 40"), std::wstring::npos) << "the old newest moved back";
}

TEST_F(DiskwarnDll, FaultyViewer) {
  Viewer("disk-faults.ini");
  int32_t state = 0, start = 0, target = -1, noExcluded = -1, spinning = -1, flags = -1;
  ASSERT_EQ(Get<Diskwarn_GetServiceStateFn>("Diskwarn_GetSysglanceServiceState")(&state, &start), 1);
  EXPECT_EQ(state, SERVICE_STOPPED);
  EXPECT_EQ(start, SERVICE_DEMAND_START);
  ASSERT_EQ(Get<Diskwarn_CheckTargetHddFn>("Diskwarn_CheckTargetHdd")(&target, &noExcluded), 1);
  EXPECT_EQ(target, 0);
  EXPECT_EQ(noExcluded, 0);
  ASSERT_EQ(Get<Diskwarn_CheckHddMotorStopFn>("Diskwarn_CheckHddMotorStop")(L"\\\\.\\PhysicalDrive0", &spinning), 1);
  EXPECT_EQ(spinning, 0);

  // A pipe that takes the request and never answers holds the caller only for the time-out.
  int32_t ok = 0;
  DWORD ms = 0;
  EXPECT_EQ(Path(ok, ms), L"unchanged");
  EXPECT_EQ(ok, 1) << "the request was written";
  EXPECT_LT(ms, 10000u);
  ASSERT_EQ(Get<Diskwarn_GetSupportInfoFn>("Diskwarn_GetSupportInfo")(&flags), 1);
  EXPECT_EQ(flags, 0) << "no records, no default times";
  EXPECT_NE(Log().find("silent 1\nsilent 0\n"), std::string::npos) << Log();

  // The elevation refused: the message, and the service stays stopped.
  {
    wintest::BoxAnswer box;
    EXPECT_EQ(Get<Diskwarn_StartSysglanceServiceFn>("Diskwarn_StartSysglanceService")(nullptr), 0);
    EXPECT_EQ(box.Text(), L"Unable to continue\n\nYou do not have permission to perform this task.");
  }
  ASSERT_EQ(Get<Diskwarn_GetServiceStateFn>("Diskwarn_GetSysglanceServiceState")(&state, &start), 1);
  EXPECT_EQ(state, SERVICE_STOPPED);

  // Accepted: started, and set to start automatically.
  std::string text = wintest::ReadAll(Scenario("disk-faults.ini"));
  text.replace(text.find("elevation = refused"), 19, "elevation = ok");
  const std::wstring accepted = TempPath(L"disk-accepted.ini");
  HANDLE f = CreateFileW(accepted.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  ASSERT_TRUE(WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
  CloseHandle(f);
  SetEnvironmentVariableW(L"TELLWICK_SCENARIO", accepted.c_str());
  EXPECT_EQ(Get<Diskwarn_StartSysglanceServiceFn>("Diskwarn_StartSysglanceService")(nullptr), 1);
  ASSERT_EQ(Get<Diskwarn_GetServiceStateFn>("Diskwarn_GetSysglanceServiceState")(&state, &start), 1);
  EXPECT_TRUE(state == SERVICE_RUNNING || state == SERVICE_START_PENDING) << state;
  EXPECT_EQ(start, SERVICE_AUTO_START);
  DeleteFileW(accepted.c_str());
}

// Whoever takes the pipe's name first gets the request, and a path it answers that is not a
// local disk's is neither handed on nor opened. (That it can only identify the caller rests on
// the documented quality of service, rules_test: Wine grants impersonation whatever the client
// asks, and the level it gave is recorded here.)
TEST_F(DiskwarnDll, PipeSquatterOnlyIdentifiesAndItsPathIsRefused) {
  Viewer("disk-no-pipe.ini");  // the viewer's pipe service is stopped: the name is free
  HANDLE server = CreateNamedPipeW(DISKWARN_PIPE_NAME, PIPE_ACCESS_DUPLEX,
                                   PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1, 1024, 1024, 0, nullptr);
  ASSERT_NE(server, INVALID_HANDLE_VALUE);
  std::atomic<bool> connected{false};
  int level = -1;
  std::thread squatter([&] {
    if (!ConnectNamedPipe(server, nullptr) && GetLastError() != ERROR_PIPE_CONNECTED) return;
    connected = true;
    uint8_t request = 0xFF;
    DWORD got = 0;
    if (!ReadFile(server, &request, 1, &got, nullptr)) return;
    if (ImpersonateNamedPipeClient(server)) {
      HANDLE token = nullptr;
      if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) {
        SECURITY_IMPERSONATION_LEVEL l = SecurityAnonymous;
        DWORD size = sizeof l;
        if (GetTokenInformation(token, TokenImpersonationLevel, &l, size, &size)) level = l;
        CloseHandle(token);
      }
      RevertToSelf();
    }
    const wchar_t reply[] = L"\\\\server\\share\\disk";
    DWORD written = 0;
    WriteFile(server, reply, sizeof reply, &written, nullptr);
    FlushFileBuffers(server);
  });
  int32_t ok = 0;
  DWORD ms = 0;
  EXPECT_EQ(Path(ok, ms), L"unchanged");
  EXPECT_EQ(ok, 1) << "the request was written";
  if (!connected) CloseHandle(CreateFileW(DISKWARN_PIPE_NAME, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  squatter.join();
  CloseHandle(server);
  EXPECT_TRUE(connected) << "the squatter answered";
  RecordProperty("impersonation_level_on_wine", level);
  int32_t spinning = -1;
  EXPECT_EQ(Get<Diskwarn_CheckHddMotorStopFn>("Diskwarn_CheckHddMotorStop")(L"\\\\server\\share\\disk", &spinning), 0);
  EXPECT_EQ(spinning, -1);
}

// The release variant's power-scheme reader on Wine, to say what Wine answers.
TEST(DiskwarnPowerScheme, RealReaderOnWine) {
  uint32_t ac = 0xDEAD, dc = 0xDEAD;
  const bool acOk = dw::SchemeHibernateSeconds(true, ac), dcOk = dw::SchemeHibernateSeconds(false, dc);
  RecordProperty("mains", acOk ? std::to_string(ac) : "failed");
  RecordProperty("battery", dcOk ? std::to_string(dc) : "failed");
  printf("Wine's power scheme: hibernate after %s s on mains, %s s on battery\n",
         acOk ? std::to_string(ac).c_str() : "(failed)", dcOk ? std::to_string(dc).c_str() : "(failed)");
  if (acOk) {
    EXPECT_NE(ac, 0xDEADu);
  }
}
}  // namespace
