#include "common/core/misc_session.h"

#include <cstring>

#include "common/core/bytes.h"

namespace MiscCommon {
namespace {
// Shared by the client and the platform driver.
const uint8_t kSecret[24] = {0x5a, 0x13, 0xc7, 0x92, 0x4e, 0x0b, 0xf1, 0x68, 0x3d, 0xa4, 0x7e, 0x29,
                             0xd0, 0x86, 0x1f, 0xbb, 0x62, 0x35, 0xe9, 0x0c, 0x97, 0x4a, 0xde, 0x71};

bool Mac(const char* label, const uint8_t a[kNonceSize], const uint8_t b[kNonceSize], uint32_t sessionId,
         uint8_t out[kProofSize]) {
  std::vector<uint8_t> m(label, label + std::strlen(label));
  m.insert(m.end(), a, a + kNonceSize);
  m.insert(m.end(), b, b + kNonceSize);
  uint8_t sid[4];
  bytes::PutU32(sid, sessionId);
  m.insert(m.end(), sid, sid + 4);
  return crypto::HmacSha1(kSecret, sizeof kSecret, m.data(), m.size(), out);
}
}  // namespace

std::vector<uint8_t> BuildOpenSession(const uint8_t clientNonce[kNonceSize]) {
  std::vector<uint8_t> m(kOpenSessionSize);
  bytes::PutU32(&m[0], kMagicOpen);
  std::memcpy(&m[4], clientNonce, kNonceSize);
  return m;
}

bool ParseOpenSession(const uint8_t* p, size_t n, uint8_t clientNonce[kNonceSize]) {
  if (n != kOpenSessionSize || bytes::GetU32(p) != kMagicOpen) return false;
  std::memcpy(clientNonce, p + 4, kNonceSize);
  return true;
}

std::vector<uint8_t> BuildOffer(const SessionOffer& offer) {
  std::vector<uint8_t> m(kOfferSize);
  bytes::PutU32(&m[0], kMagicOffer);
  bytes::PutU32(&m[4], offer.sessionId);
  std::memcpy(&m[8], offer.driverNonce, kNonceSize);
  std::memcpy(&m[8 + kNonceSize], offer.driverProof, kProofSize);
  return m;
}

bool ParseOffer(const uint8_t* p, size_t n, SessionOffer& offer) {
  if (n != kOfferSize || bytes::GetU32(p) != kMagicOffer) return false;
  offer.sessionId = bytes::GetU32(p + 4);
  std::memcpy(offer.driverNonce, p + 8, kNonceSize);
  std::memcpy(offer.driverProof, p + 8 + kNonceSize, kProofSize);
  return true;
}

std::vector<uint8_t> BuildAuth(uint32_t sessionId, const uint8_t proof[kProofSize]) {
  std::vector<uint8_t> m(kAuthSize);
  bytes::PutU32(&m[0], sessionId);
  std::memcpy(&m[4], proof, kProofSize);
  return m;
}

bool ParseAuth(const uint8_t* p, size_t n, uint32_t& sessionId, uint8_t proof[kProofSize]) {
  if (n != kAuthSize) return false;
  sessionId = bytes::GetU32(p);
  std::memcpy(proof, p + 4, kProofSize);
  return true;
}

bool ComputeProof(Role role, const uint8_t clientNonce[kNonceSize], const uint8_t driverNonce[kNonceSize],
                  uint32_t sessionId, uint8_t out[kProofSize]) {
  return role == Role::Driver ? Mac("driver", clientNonce, driverNonce, sessionId, out)
                              : Mac("client", driverNonce, clientNonce, sessionId, out);
}

bool ProofsEqual(const uint8_t a[kProofSize], const uint8_t b[kProofSize]) {
  uint8_t diff = 0;  // no early exit: timing says nothing about where they differ
  for (size_t i = 0; i < kProofSize; ++i) diff |= a[i] ^ b[i];
  return diff == 0;
}

std::unique_ptr<SessionCipher> SessionCipher::Create(const uint8_t clientNonce[kNonceSize],
                                                     const uint8_t driverNonce[kNonceSize], uint32_t sessionId) {
  uint8_t k1[kProofSize], k2[kProofSize];
  if (!Mac("key-1", clientNonce, driverNonce, sessionId, k1) || !Mac("key-2", clientNonce, driverNonce, sessionId, k2))
    return nullptr;
  uint8_t key[crypto::kDes3KeySize];
  std::memcpy(key, k1, kProofSize);
  std::memcpy(key + kProofSize, k2, crypto::kDes3KeySize - kProofSize);
  std::unique_ptr<crypto::Des3Cbc> des = crypto::Des3Cbc::Create(key);
  std::memset(key, 0, sizeof key);
  std::memset(k1, 0, sizeof k1);
  std::memset(k2, 0, sizeof k2);
  if (!des) return nullptr;
  return std::unique_ptr<SessionCipher>(new SessionCipher(sessionId, std::move(des)));
}

SessionCipher::SessionCipher(uint32_t sessionId, std::unique_ptr<crypto::Des3Cbc> des)
    : sessionId_(sessionId), des_(std::move(des)) {}

SessionCipher::~SessionCipher() { sessionId_ = 0; }

void SessionCipher::Iv(Role from, uint8_t iv[crypto::kDes3BlockSize]) const {
  bytes::PutU32(iv, sessionId_);
  bytes::PutU32(iv + 4, from == Role::Client ? 0x21514552u /* "REQ!" */ : 0x21504552u /* "REP!" */);
}

bool SessionCipher::Encipher(Role from, uint8_t* area, size_t n) {
  if (n % crypto::kDes3BlockSize) return false;
  uint8_t iv[crypto::kDes3BlockSize];
  Iv(from, iv);
  return n == 0 || des_->Encrypt(iv, area, n);
}

bool SessionCipher::Decipher(Role from, uint8_t* area, size_t n) {
  if (n % crypto::kDes3BlockSize) return false;
  uint8_t iv[crypto::kDes3BlockSize];
  Iv(from, iv);
  return n == 0 || des_->Decrypt(iv, area, n);
}

}  // namespace MiscCommon
