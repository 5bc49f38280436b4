// Helpers shared by the registration module's tests.
#pragma once
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "modules/registration/reg_query.h"

namespace regtest {

inline std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) out.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  return out;
}

// The real primitives, with a chosen salt and switches to make one step fail.
class ScriptedCrypto : public reg::QueryCrypto {
 public:
  std::vector<uint8_t> salt;  // empty: real random bytes
  bool failRandom = false, failSha1 = false, failDes = false;
  int sha1Calls = 0;

  bool Random(uint8_t* out, size_t n) override {
    if (failRandom) return false;
    if (salt.empty()) return QueryCrypto::Random(out, n);
    std::memcpy(out, salt.data(), n);
    return true;
  }
  bool Sha1(const uint8_t* data, size_t n, uint8_t out[crypto::kSha1Size]) override {
    ++sha1Calls;
    return !failSha1 && QueryCrypto::Sha1(data, n, out);
  }
  std::unique_ptr<crypto::Des3Cbc> Des3(const uint8_t key[crypto::kDes3KeySize]) override {
    return failDes ? nullptr : QueryCrypto::Des3(key);
  }
};

// Reverses BuildQuery with the port: the plain text, or "" when the padding is wrong.
inline std::string DecryptQuery(const std::string& hex, const std::string& password) {
  std::vector<uint8_t> record = FromHex(hex);
  if (record.size() < reg::kSaltSize + 8) return "";
  const std::vector<uint8_t> salt(record.begin(), record.begin() + reg::kSaltSize);
  std::vector<uint8_t> text(record.begin() + reg::kSaltSize, record.end());
  std::vector<uint8_t> input(password.begin(), password.end());
  input.insert(input.end(), salt.begin(), salt.end());
  uint8_t h1[crypto::kSha1Size], key[crypto::kDes3KeySize], h2[crypto::kSha1Size];
  reg::QueryCrypto c;
  if (!crypto::Sha1(input.data(), input.size(), h1) || !reg::DeriveDes3Key(c, h1, key)) return "";
  input.assign(h1, h1 + sizeof h1);
  input.insert(input.end(), password.begin(), password.end());
  input.insert(input.end(), salt.begin(), salt.end());
  if (!crypto::Sha1(input.data(), input.size(), h2)) return "";
  auto des = crypto::Des3Cbc::Create(key);
  if (!des || !des->Decrypt(h2 + 12, text.data(), text.size())) return "";
  const uint8_t pad = text.back();
  if (pad < 1 || pad > 8) return "";
  for (size_t i = text.size() - pad; i < text.size(); ++i)
    if (text[i] != pad) return "";
  return std::string(text.begin(), text.end() - pad);
}

}  // namespace regtest
