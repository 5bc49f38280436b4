// Kept apart from the fetcher: wininet.h and winhttp.h do not mix in one file.
#include <windows.h>
#include <wininet.h>

#include "common/win/http_fetcher.h"

namespace http {
bool IsWorkOffline() {
  DWORD state = 0;
  DWORD size = sizeof state;
  return InternetQueryOptionW(nullptr, INTERNET_OPTION_CONNECTED_STATE, &state, &size) &&
         (state & INTERNET_STATE_DISCONNECTED_BY_USER) != 0;
}
}  // namespace http
