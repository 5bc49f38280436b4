// The sim variant reads its feeds from the local support-server stand-in when
// TELLWICK_SUPPORT_HOST names it ("127.0.0.1:PORT/default": address and scenario folder).
#include <cstdlib>

#include "modules/web/module/web_shell.h"
#include "sim/updates/sim_record.h"

namespace web {
const OperatorSettings& ShellOperatorSettings() {
  static const OperatorSettings settings = [] {
    OperatorSettings s = DefaultOperatorSettings();
    wchar_t host[256] = {};
    const DWORD n = GetEnvironmentVariableW(L"TELLWICK_SUPPORT_HOST", host, 256);
    if (n > 0 && n < 256) {
      s.supportHost = U16(host);
      s.faqBase = u"http://" + s.supportHost + u"/";
    }
    return s;
  }();
  return settings;
}
ServerAccess ShellServerAccess() { return ServerAccess::Direct; }
RestartPort ShellRestart() {
  return [] {
    SimRecord(L"restart requested");
    return true;
  };
}
}  // namespace web
