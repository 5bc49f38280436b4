// Prints what the environment checks answer in this process, for tests that run it
// under different Windows versions reported by Wine.
#include <cstdio>

#include "common/win/audit.h"
#include "common/win/authority.h"
#include "common/win/winversion.h"

int main() {
  CWinVersion version;
  CAudit audit;
  CAuthority authority;
  const OSVERSIONINFOEXW& v = version.GetVersionInfo();
  std::printf("os=%u arch=%u audit=%d admin=%d guest=%d\n", version.GetOsType(), version.GetArchitecture(),
              audit.IsAuditMode(AUDIT_CHECK_CLONETAG | AUDIT_CHECK_SYSPREP), authority.IsAdministrator(),
              authority.IsMemberOf(AUTHORITY_GUESTS));
  std::printf("reported=%lu.%lu type=%u\n", v.dwMajorVersion, v.dwMinorVersion, v.wProductType);
  std::fflush(stdout);
  const bool go = version.ConfirmUnsupportedOs(nullptr, L"This application does not support current version of Windows.",
                                               L"Tellwick probe");
  std::printf("confirm=%d\n", go);
  return 0;
}
