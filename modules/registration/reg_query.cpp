#include "modules/registration/reg_query.h"

#include <cstring>
#include <vector>

namespace reg {
namespace {
std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

void Append(std::vector<uint8_t>& v, const uint8_t* p, size_t n) { v.insert(v.end(), p, p + n); }

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string s;
  for (uint8_t b : bytes) s += {kDigits[b >> 4], kDigits[b & 15]};
  return s;
}
}  // namespace

bool DeriveDes3Key(QueryCrypto& c, const uint8_t hash[crypto::kSha1Size], uint8_t key[crypto::kDes3KeySize]) {
  uint8_t inner[64], outer[64], derived[2 * crypto::kSha1Size];
  std::memset(inner, 0x36, sizeof inner);
  std::memset(outer, 0x5C, sizeof outer);
  for (size_t i = 0; i < crypto::kSha1Size; ++i) {
    inner[i] ^= hash[i];
    outer[i] ^= hash[i];
  }
  if (!c.Sha1(inner, sizeof inner, derived) || !c.Sha1(outer, sizeof outer, derived + crypto::kSha1Size)) return false;
  std::memcpy(key, derived, crypto::kDes3KeySize);
  return true;
}

std::optional<std::string> BuildQuery(const std::string& plain, const std::string& password, QueryCrypto& c) {
  if (plain.empty() || plain.size() > kMaxPlainText) return std::nullopt;
  uint8_t salt[kSaltSize];
  if (!c.Random(salt, sizeof salt)) return std::nullopt;

  std::vector<uint8_t> input = Bytes(password);
  Append(input, salt, sizeof salt);
  uint8_t h1[crypto::kSha1Size], key[crypto::kDes3KeySize];
  if (!c.Sha1(input.data(), input.size(), h1) || !DeriveDes3Key(c, h1, key)) return std::nullopt;

  input.assign(h1, h1 + sizeof h1);
  Append(input, reinterpret_cast<const uint8_t*>(password.data()), password.size());
  Append(input, salt, sizeof salt);
  uint8_t h2[crypto::kSha1Size];
  if (!c.Sha1(input.data(), input.size(), h2)) return std::nullopt;
  const uint8_t* iv = h2 + crypto::kSha1Size - crypto::kDes3BlockSize;

  std::vector<uint8_t> text = Bytes(plain);
  const size_t pad = crypto::kDes3BlockSize - text.size() % crypto::kDes3BlockSize;
  text.insert(text.end(), pad, static_cast<uint8_t>(pad));
  std::unique_ptr<crypto::Des3Cbc> des = c.Des3(key);
  if (!des || !des->Encrypt(iv, text.data(), text.size())) return std::nullopt;

  std::vector<uint8_t> record(salt, salt + sizeof salt);
  Append(record, text.data(), text.size());
  return Hex(record);
}

}  // namespace reg
