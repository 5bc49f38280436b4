// Prints the Windows release as the web module's filter sees it, and the truth of each
// expression given on the command line, for a test that runs it under several Wine versions.
#include <windows.h>

#include <cstdio>
#include <string>

#include "modules/web/module/web_platform.h"

int wmain(int argc, wchar_t** argv) {
  web::WinWindows windows;
  const web::WindowsRelease r = windows.Release();
  std::printf("os=%u arch=%u sp=%u product=%lu\n", r.osType, r.architecture, r.servicePack,
              static_cast<unsigned long>(r.productType));
  for (int i = 1; i < argc; ++i) {
    const std::u16string e = web::U16(argv[i]);
    std::printf("%ls=%d\n", argv[i], web::WindowsExpressionTrue(e, r) ? 1 : 0);
  }
  return 0;
}
