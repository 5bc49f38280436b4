// Kept apart from the fetcher: wininet.h and winhttp.h do not mix in one file.
#include <windows.h>
#include <wininet.h>

#include "common/win/http_fetcher.h"
#include "common/win/system_library.h"

namespace http {
bool IsWorkOffline() {
  DWORD state = 0;
  DWORD size = sizeof state;
  return TW_SYSTEM_FUNCTION(L"wininet.dll", InternetQueryOptionW)(nullptr, INTERNET_OPTION_CONNECTED_STATE, &state, &size) &&
         (state & INTERNET_STATE_DISCONNECTED_BY_USER) != 0;
}
}  // namespace http
