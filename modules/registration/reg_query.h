// The protected query of the warranty QR codes: the model and serial number enciphered
// with a key derived from the shared password and a random salt, as upper-case hex.
//
// Steps (the server and `openssl` follow the same ones):
//   M   = model "&" serial (ASCII, at most kMaxPlainText bytes)
//   S   = 8 random bytes
//   H1  = SHA-1(password || S)
//   K   = CryptDeriveKey(CALG_3DES, H1): the first 24 bytes of
//         SHA-1((0x36 x 64) ^ H1) || SHA-1((0x5C x 64) ^ H1)   (H1 XORed into the first 20 bytes)
//   IV  = the last 8 bytes of SHA-1(H1 || password || S)
//   C   = 3DES-CBC(K, IV, M padded with n bytes of value n, n = 8 - len % 8)
//   q   = hex(S || C), upper case
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/core/crypto.h"

namespace reg {

constexpr size_t kSaltSize = 8;
// Salt and ciphertext share a 128-byte record on the server side.
constexpr size_t kMaxPlainText = 128 - kSaltSize - 9;

// The primitives the query uses; the default forwards to common/core/crypto.h.
class QueryCrypto {
 public:
  virtual ~QueryCrypto() = default;
  virtual bool Random(uint8_t* out, size_t n) { return crypto::RandomBytes(out, n); }
  virtual bool Sha1(const uint8_t* data, size_t n, uint8_t out[crypto::kSha1Size]) { return crypto::Sha1(data, n, out); }
  virtual std::unique_ptr<crypto::Des3Cbc> Des3(const uint8_t key[crypto::kDes3KeySize]) {
    return crypto::Des3Cbc::Create(key);
  }
};

// CryptoAPI's documented CryptDeriveKey for a 3DES key from a SHA-1 hash value.
bool DeriveDes3Key(QueryCrypto& c, const uint8_t hash[crypto::kSha1Size], uint8_t key[crypto::kDes3KeySize]);

// The hex query for `plain` ("model&serial"); nothing when any step fails or the text is too long.
std::optional<std::string> BuildQuery(const std::string& plain, const std::string& password, QueryCrypto& c);

}  // namespace reg
