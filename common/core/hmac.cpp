#include "common/core/crypto.h"

#include <cstring>
#include <vector>

namespace crypto {
bool HmacSha1(const uint8_t* key, size_t keyLen, const uint8_t* data, size_t n, uint8_t out[kSha1Size]) {
  constexpr size_t kBlock = 64;
  uint8_t k[kBlock] = {};
  if (keyLen > kBlock) {
    if (!Sha1(key, keyLen, k)) return false;
  } else if (keyLen) {
    std::memcpy(k, key, keyLen);
  }
  std::vector<uint8_t> inner(kBlock + n);
  for (size_t i = 0; i < kBlock; ++i) inner[i] = k[i] ^ 0x36;
  if (n) std::memcpy(inner.data() + kBlock, data, n);
  uint8_t innerHash[kSha1Size];
  if (!Sha1(inner.data(), inner.size(), innerHash)) return false;
  uint8_t outer[kBlock + kSha1Size];
  for (size_t i = 0; i < kBlock; ++i) outer[i] = k[i] ^ 0x5c;
  std::memcpy(outer + kBlock, innerHash, kSha1Size);
  return Sha1(outer, sizeof outer, out);
}
}  // namespace crypto
