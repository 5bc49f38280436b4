// CryptoAPI behind the crypto port.
#include <windows.h>
#include <wincrypt.h>

#include <cstring>

#include "common/core/crypto.h"

namespace crypto {
namespace {
class Provider {
 public:
  Provider() {
    if (!CryptAcquireContextW(&handle_, nullptr, MS_ENHANCED_PROV_W, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) handle_ = 0;
  }
  ~Provider() {
    if (handle_) CryptReleaseContext(handle_, 0);
  }
  Provider(const Provider&) = delete;
  Provider& operator=(const Provider&) = delete;
  HCRYPTPROV get() const { return handle_; }

 private:
  HCRYPTPROV handle_ = 0;
};

class Hash {
 public:
  Hash(HCRYPTPROV prov, ALG_ID alg) {
    if (!prov || !CryptCreateHash(prov, alg, 0, 0, &handle_)) handle_ = 0;
  }
  ~Hash() {
    if (handle_) CryptDestroyHash(handle_);
  }
  Hash(const Hash&) = delete;
  Hash& operator=(const Hash&) = delete;
  HCRYPTHASH get() const { return handle_; }

 private:
  HCRYPTHASH handle_ = 0;
};

class CapiDes3 : public Des3Cbc {
 public:
  explicit CapiDes3(const uint8_t key[kDes3KeySize]) {
    struct {
      BLOBHEADER header;
      DWORD size;
      BYTE key[kDes3KeySize];
    } blob = {{PLAINTEXTKEYBLOB, CUR_BLOB_VERSION, 0, CALG_3DES}, kDes3KeySize, {}};
    std::memcpy(blob.key, key, kDes3KeySize);
    if (!provider_.get() ||
        !CryptImportKey(provider_.get(), reinterpret_cast<BYTE*>(&blob), sizeof blob, 0, 0, &key_))
      key_ = 0;
    SecureZeroMemory(&blob, sizeof blob);
    DWORD mode = CRYPT_MODE_CBC;
    if (key_ && !CryptSetKeyParam(key_, KP_MODE, reinterpret_cast<BYTE*>(&mode), 0)) {
      CryptDestroyKey(key_);
      key_ = 0;
    }
  }
  ~CapiDes3() override {
    if (key_) CryptDestroyKey(key_);
  }
  bool ok() const { return key_ != 0; }

  bool Encrypt(const uint8_t iv[kDes3BlockSize], uint8_t* data, size_t n) override {
    if (n % kDes3BlockSize || !SetIv(iv)) return false;
    DWORD len = static_cast<DWORD>(n);
    // Final = FALSE: whole blocks, no padding block added.
    return CryptEncrypt(key_, 0, FALSE, 0, data, &len, static_cast<DWORD>(n)) && len == n;
  }
  bool Decrypt(const uint8_t iv[kDes3BlockSize], uint8_t* data, size_t n) override {
    if (n % kDes3BlockSize || !SetIv(iv)) return false;
    DWORD len = static_cast<DWORD>(n);
    return CryptDecrypt(key_, 0, FALSE, 0, data, &len) && len == n;
  }

 private:
  bool SetIv(const uint8_t iv[kDes3BlockSize]) {
    BYTE copy[kDes3BlockSize];
    std::memcpy(copy, iv, kDes3BlockSize);
    return CryptSetKeyParam(key_, KP_IV, copy, 0) != FALSE;
  }
  Provider provider_;
  HCRYPTKEY key_ = 0;
};
}  // namespace

// One verify-only context for the process: acquiring one loads and initialises the provider,
// and a session handshake alone hashes a dozen times.
static HCRYPTPROV SharedProvider() {
  static const Provider provider;
  return provider.get();
}

bool RandomBytes(uint8_t* out, size_t n) {
  const HCRYPTPROV provider = SharedProvider();
  return provider && CryptGenRandom(provider, static_cast<DWORD>(n), out);
}

bool Sha1(const uint8_t* data, size_t n, uint8_t out[kSha1Size]) {
  Hash hash(SharedProvider(), CALG_SHA1);
  DWORD size = kSha1Size;
  return hash.get() && CryptHashData(hash.get(), data, static_cast<DWORD>(n), 0) &&
         CryptGetHashParam(hash.get(), HP_HASHVAL, out, &size, 0) && size == kSha1Size;
}

bool Md5(const uint8_t* data, size_t n, uint8_t out[kMd5Size]) {
  Hash hash(SharedProvider(), CALG_MD5);
  DWORD size = kMd5Size;
  return hash.get() && CryptHashData(hash.get(), data, static_cast<DWORD>(n), 0) &&
         CryptGetHashParam(hash.get(), HP_HASHVAL, out, &size, 0) && size == kMd5Size;
}

std::unique_ptr<Des3Cbc> Des3Cbc::Create(const uint8_t key[kDes3KeySize]) {
  std::unique_ptr<CapiDes3> des(new CapiDes3(key));
  if (!des->ok()) return nullptr;
  return des;
}
}  // namespace crypto
