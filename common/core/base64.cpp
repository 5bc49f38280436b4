// Base64 (RFC 4648) in the core: the crypto library would be loaded into the host for this alone.
#include "common/core/crypto.h"

namespace crypto {

bool Base64(const uint8_t* data, size_t n, std::string& out) {
  static const char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string text;
  text.reserve(4 * ((n + 2) / 3));
  for (size_t i = 0; i < n; i += 3) {
    const size_t left = n - i;
    const uint32_t group = uint32_t(data[i]) << 16 | (left > 1 ? uint32_t(data[i + 1]) << 8 : 0) |
                           (left > 2 ? uint32_t(data[i + 2]) : 0);
    text += kAlphabet[group >> 18 & 63];
    text += kAlphabet[group >> 12 & 63];
    text += left > 1 ? kAlphabet[group >> 6 & 63] : '=';
    text += left > 2 ? kAlphabet[group & 63] : '=';
  }
  out.swap(text);
  return true;
}

}  // namespace crypto
