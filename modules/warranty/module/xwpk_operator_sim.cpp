// The sim variant reads its offer from the local support-server stand-in when
// TELLWICK_SUPPORT_HOST names it ("127.0.0.1:PORT/default": address and scenario folder, over
// HTTP unless a scheme is written).
#include "modules/warranty/module/xwpk_shell.h"

namespace xwpk {
const Settings& ShellSettings() {
  static const Settings settings = [] {
    Settings s = DefaultSettings();
    wchar_t host[256] = {};
    const DWORD n = GetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", host, 256);
    if (n > 0 && n < 256) {
      const std::u16string named = kit::U16(host);
      s.supportBase = named.find(u"://") == std::u16string::npos ? u"http://" + named : named;
    }
    return s;
  }();
  return settings;
}
}  // namespace xwpk
