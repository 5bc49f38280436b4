// OpenSSL behind the crypto port, so native tests run the same protocols as Windows.
#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstring>

#include "common/core/crypto.h"

namespace crypto {
bool RandomBytes(uint8_t* out, size_t n) { return RAND_bytes(out, static_cast<int>(n)) == 1; }

bool Sha1(const uint8_t* data, size_t n, uint8_t out[kSha1Size]) {
  return SHA1(data, n, out) != nullptr;
}

bool Md5(const uint8_t* data, size_t n, uint8_t out[kMd5Size]) {
  unsigned int len = 0;
  return EVP_Digest(data, n, out, &len, EVP_md5(), nullptr) == 1 && len == kMd5Size;
}

namespace {
class OpensslDes3 : public Des3Cbc {
 public:
  explicit OpensslDes3(const uint8_t key[kDes3KeySize]) { std::memcpy(key_, key, sizeof key_); }
  ~OpensslDes3() override { OPENSSL_cleanse(key_, sizeof key_); }
  bool Encrypt(const uint8_t iv[kDes3BlockSize], uint8_t* data, size_t n) override { return Run(iv, data, n, 1); }
  bool Decrypt(const uint8_t iv[kDes3BlockSize], uint8_t* data, size_t n) override { return Run(iv, data, n, 0); }

 private:
  bool Run(const uint8_t iv[kDes3BlockSize], uint8_t* data, size_t n, int encrypt) {
    if (n % kDes3BlockSize) return false;
    EVP_CIPHER_CTX* ctx = EVP_CIPHER_CTX_new();
    if (!ctx) return false;
    int len = 0;
    const bool ok = EVP_CipherInit_ex(ctx, EVP_des_ede3_cbc(), nullptr, key_, iv, encrypt) == 1 &&
                    EVP_CIPHER_CTX_set_padding(ctx, 0) == 1 &&
                    EVP_CipherUpdate(ctx, data, &len, data, static_cast<int>(n)) == 1 && len == static_cast<int>(n);
    EVP_CIPHER_CTX_free(ctx);
    return ok;
  }
  uint8_t key_[kDes3KeySize];
};
}  // namespace

std::unique_ptr<Des3Cbc> Des3Cbc::Create(const uint8_t key[kDes3KeySize]) {
  return std::unique_ptr<Des3Cbc>(new OpensslDes3(key));
}
}  // namespace crypto
