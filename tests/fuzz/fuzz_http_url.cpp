// Address splitting and "file:" paths over arbitrary UTF-16 text: whatever is accepted must
// hold together (a host, a port, an object starting with "/").
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/core/http_fetch_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string url;
  for (size_t i = 0; i + 1 < size; i += 2) url.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  http::UrlParts parts;
  if (http::SplitHttpUrl(url, parts)) {
    if (parts.host.empty() || parts.port == 0 || parts.object.empty() || parts.object[0] != u'/') std::abort();
    if (parts.object.find(u'#') != std::u16string::npos) std::abort();
  }
  std::u16string path;
  if (http::FileUrlToPath(url, path) && (path.empty() || path.find(u'/') != std::u16string::npos)) std::abort();
  return 0;
}
