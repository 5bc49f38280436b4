// The authenticated session between the driver client and the platform driver.
//
//   client -> driver  IOCTL_MISC_OPEN_SESSION  "WKS1" | client nonce (16)
//   driver -> client                           "WKS2" | session id (4) | driver nonce (16) | driver proof (20)
//   client -> driver  IOCTL_MISC_AUTH_SESSION  session id (4) | client proof (20)
//
// Proofs are HMAC-SHA1 under the secret both sides carry, over a role label, both nonces and
// the session id, so each side shows it holds the secret without revealing it, and a replayed
// offer fails against a fresh client nonce. The session key (3DES, 24 bytes) is derived from the
// same inputs under other labels. Capsule payloads then travel 3DES-CBC enciphered; the IV binds
// the session id and the direction. A driver that declines sessions fails the first call with
// ERROR_NOT_SUPPORTED.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "common/core/crypto.h"

namespace MiscCommon {

constexpr size_t kNonceSize = 16;
constexpr size_t kProofSize = crypto::kSha1Size;
constexpr uint32_t kMagicOpen = 0x31534B57;   // "WKS1"
constexpr uint32_t kMagicOffer = 0x32534B57;  // "WKS2"
constexpr size_t kOpenSessionSize = 4 + kNonceSize;
constexpr size_t kOfferSize = 4 + 4 + kNonceSize + kProofSize;
constexpr size_t kAuthSize = 4 + kProofSize;

enum class Role { Driver, Client };

struct SessionOffer {
  uint32_t sessionId = 0;
  uint8_t driverNonce[kNonceSize] = {};
  uint8_t driverProof[kProofSize] = {};
};

std::vector<uint8_t> BuildOpenSession(const uint8_t clientNonce[kNonceSize]);
bool ParseOpenSession(const uint8_t* p, size_t n, uint8_t clientNonce[kNonceSize]);
std::vector<uint8_t> BuildOffer(const SessionOffer& offer);
bool ParseOffer(const uint8_t* p, size_t n, SessionOffer& offer);
std::vector<uint8_t> BuildAuth(uint32_t sessionId, const uint8_t proof[kProofSize]);
bool ParseAuth(const uint8_t* p, size_t n, uint32_t& sessionId, uint8_t proof[kProofSize]);

// The proof `role` gives for this handshake.
bool ComputeProof(Role role, const uint8_t clientNonce[kNonceSize], const uint8_t driverNonce[kNonceSize],
                  uint32_t sessionId, uint8_t out[kProofSize]);
bool ProofsEqual(const uint8_t a[kProofSize], const uint8_t b[kProofSize]);

// Cipher state of one session; wipes its key when destroyed.
class SessionCipher {
 public:
  static std::unique_ptr<SessionCipher> Create(const uint8_t clientNonce[kNonceSize],
                                               const uint8_t driverNonce[kNonceSize], uint32_t sessionId);
  ~SessionCipher();
  SessionCipher(const SessionCipher&) = delete;
  SessionCipher& operator=(const SessionCipher&) = delete;

  // `area` is a capsule's payload area: a whole number of 8-byte blocks.
  bool Encipher(Role from, uint8_t* area, size_t n);
  bool Decipher(Role from, uint8_t* area, size_t n);

 private:
  SessionCipher(uint32_t sessionId, std::unique_ptr<crypto::Des3Cbc> des);
  void Iv(Role from, uint8_t iv[crypto::kDes3BlockSize]) const;
  uint32_t sessionId_;
  std::unique_ptr<crypto::Des3Cbc> des_;
};

}  // namespace MiscCommon
