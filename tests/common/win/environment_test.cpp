// CWinVersion, CAudit and CAuthority in a probe process that Wine runs as several Windows releases.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "common/core/winversion_rules.h"
#include "tests/common/win/win_test_support.h"

using wintest::ScopedKey;

namespace {
struct Probe {
  unsigned os = 0, arch = 0;
  int audit = -1, admin = -1, guest = -1, confirm = -1;
};
constexpr int kPressEnter = -1;  // answers with the default button

const wchar_t kBoxCaption[] = L"Tellwick probe";
const wchar_t kPreinstall[] = L"SOFTWARE\\Velmorant\\Preinstall\\Setup";
const wchar_t kState[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Setup\\State";

// Runs the probe as `release`; `answer` (IDYES, IDNO or kPressEnter) answers the future-release
// question if it is asked.
Probe RunProbe(const wchar_t* release, int answer = 0) {
  ScopedKey appDefaults(HKEY_CURRENT_USER, L"Software\\Wine\\AppDefaults\\winver_probe.exe");
  EXPECT_TRUE(appDefaults.SetString(L"Version", release));
  Probe probe;
  std::atomic<bool> done{false};
  std::thread answerer([&] {
    while (!done && answer) {
      if (HWND box = FindWindowW(nullptr, kBoxCaption)) {
        if (answer == kPressEnter) {
          PostMessageW(box, WM_KEYDOWN, VK_RETURN, 0);
          PostMessageW(box, WM_KEYUP, VK_RETURN, 0);
        } else {
          PostMessageW(box, WM_COMMAND, answer, 0);
        }
        return;
      }
      Sleep(50);
    }
  });
  std::string output;
  const int code = wintest::RunProgram(wintest::WinePath(PROBE_EXE), output);
  done = true;
  answerer.join();
  EXPECT_EQ(code, 0) << output;
  std::sscanf(output.c_str(), "os=%u arch=%u audit=%d admin=%d guest=%d\nreported=%*u.%*u type=%*u\nconfirm=%d", &probe.os, &probe.arch,
              &probe.audit, &probe.admin, &probe.guest, &probe.confirm);
  return probe;
}
}  // namespace

TEST(CWinVersion, ClassifiesTheReleaseWineReports) {
  struct Case {
    const wchar_t* release;
    unsigned os;
  };
  // Wine 8 swaps the product types of its "win7" and "win2008r2" entries: its "win2008r2"
  // is the workstation 6.1, its "win7" the server.
  const Case cases[] = {{L"winxp", WINVER_XP},           {L"winxp64", WINVER_XP},      {L"win2003", WINVER_SERVER2003},
                        {L"vista", WINVER_VISTA},        {L"win2008r2", WINVER_7},     {L"win7", WINVER_SERVER2008R2},
                        {L"win8", WINVER_8},             {L"win81", WINVER_81}};
  for (const Case& c : cases) {
    const Probe p = RunProbe(c.release);
    EXPECT_EQ(p.os, c.os) << c.release;
    EXPECT_EQ(p.arch, ARCH_64BIT) << "GetNativeSystemInfo sees the 64-bit machine";
    EXPECT_EQ(p.confirm, 1) << "known releases go on without a question";
  }
}

TEST(CWinVersion, AsksBeforeRunningOnAFutureRelease) {
  const Probe declined = RunProbe(L"win10", IDNO);
  EXPECT_EQ(declined.os, WINVER_FUTURE);
  EXPECT_EQ(declined.confirm, 0);
  EXPECT_EQ(RunProbe(L"win10", kPressEnter).confirm, 0) << "No is the default button";
  EXPECT_EQ(RunProbe(L"win10", IDYES).confirm, 1);

  ScopedKey common(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Velmorant\\Common", KEY_WOW64_64KEY);
  ASSERT_TRUE(common.SetDword(L"DisableFutureOSWarning", 1));
  const Probe disabled = RunProbe(L"win10");  // no answerer: a question would hang until the timeout
  EXPECT_EQ(disabled.confirm, 1);
  ASSERT_TRUE(common.SetString(L"DisableFutureOSWarning", L"1"));
  EXPECT_EQ(RunProbe(L"win10", IDNO).confirm, 0) << "a string \"1\" does not disable the question";
}

TEST(CAudit, FollowsTheReleaseRules) {
  {
    ScopedKey preinstall(HKEY_LOCAL_MACHINE, kPreinstall, KEY_WOW64_64KEY);
    ASSERT_TRUE(preinstall.SetDword(L"Audit", 1));
    EXPECT_EQ(RunProbe(L"win81").audit, 1);
    ASSERT_TRUE(preinstall.SetDword(L"Audit", 0));
    EXPECT_EQ(RunProbe(L"win81").audit, 0);
  }
  ScopedKey state(HKEY_LOCAL_MACHINE, kState);
  ASSERT_TRUE(state.SetString(L"ImageState", L"IMAGE_STATE_UNDEPLOYABLE"));
  EXPECT_EQ(RunProbe(L"win2008r2").audit, 0);
  EXPECT_EQ(RunProbe(L"win8").audit, 1);
  ASSERT_TRUE(state.SetString(L"ImageState", L"IMAGE_STATE_COMPLETE"));
  EXPECT_EQ(RunProbe(L"win8").audit, 0);
}

TEST(CAuthority, AnswersForTheBuiltInGroups) {
  const Probe p = RunProbe(L"win81");
  EXPECT_EQ(p.admin, 1) << "Wine's user is an administrator";
  EXPECT_EQ(p.guest, 0);
}
