// Cryptographic primitives the core needs. The Windows build uses CryptoAPI
// ("Microsoft Enhanced Cryptographic Provider v1.0"); native tests link OpenSSL. Base64 is
// the core's own (base64.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace crypto {
constexpr size_t kSha1Size = 20;
constexpr size_t kMd5Size = 16;
constexpr size_t kDes3KeySize = 24;
constexpr size_t kDes3BlockSize = 8;

bool RandomBytes(uint8_t* out, size_t n);
bool Sha1(const uint8_t* data, size_t n, uint8_t out[kSha1Size]);
bool Md5(const uint8_t* data, size_t n, uint8_t out[kMd5Size]);
// Standard Base64 on one line, padded with "=", no line break at the end.
bool Base64(const uint8_t* data, size_t n, std::string& out);

// Triple-DES in CBC mode without padding: lengths are whole blocks.
class Des3Cbc {
 public:
  static std::unique_ptr<Des3Cbc> Create(const uint8_t key[kDes3KeySize]);
  virtual ~Des3Cbc() = default;
  virtual bool Encrypt(const uint8_t iv[kDes3BlockSize], uint8_t* data, size_t n) = 0;
  virtual bool Decrypt(const uint8_t iv[kDes3BlockSize], uint8_t* data, size_t n) = 0;
};

// HMAC-SHA1 (RFC 2104) on top of Sha1.
bool HmacSha1(const uint8_t* key, size_t keyLen, const uint8_t* data, size_t n, uint8_t out[kSha1Size]);
}  // namespace crypto
