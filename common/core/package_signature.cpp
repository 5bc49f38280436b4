#include "common/core/package_signature.h"

#include <cstring>

namespace pkgsig {
namespace {

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
uint16_t Le16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// One DER element at `at`: its tag, where its value starts and its length.
struct Element {
  uint8_t tag;
  size_t value;
  size_t length;
  size_t end() const { return value + length; }
};

std::optional<Element> ReadElement(const uint8_t* der, size_t size, size_t at) {
  if (at + 2 > size) return std::nullopt;
  Element e{der[at], at + 2, der[at + 1]};
  if (e.length & 0x80) {
    const size_t bytes = e.length & 0x7F;
    if (bytes == 0 || bytes > 4 || at + 2 + bytes > size) return std::nullopt;
    e.length = 0;
    for (size_t i = 0; i < bytes; ++i) e.length = e.length << 8 | der[at + 2 + i];
    e.value = at + 2 + bytes;
  }
  if (e.length > size - e.value) return std::nullopt;
  return e;
}

const uint8_t kSha1Oid[] = {0x2B, 0x0E, 0x03, 0x02, 0x1A};
const uint8_t kSha256Oid[] = {0x60, 0x86, 0x48, 0x01, 0x65, 0x03, 0x04, 0x02, 0x01};
}  // namespace

const char* VerdictName(Verdict v) {
  switch (v) {
    case Verdict::Trusted: return "trusted";
    case Verdict::Unreadable: return "unreadable";
    case Verdict::Unsigned: return "unsigned";
    case Verdict::Tampered: return "tampered";
    case Verdict::BadSignature: return "bad signature";
    case Verdict::ForeignSigner: return "foreign signer";
    case Verdict::NotAllowed: return "not allowed";
  }
  return "?";
}

std::optional<PeSignature> ReadPeSignature(const uint8_t* data, size_t size) {
  if (size < 0x40 || data[0] != 'M' || data[1] != 'Z') return std::nullopt;
  const size_t pe = Le32(data + 0x3C);
  if (pe > size || size - pe < 24 || std::memcmp(data + pe, "PE\0\0", 4) != 0) return std::nullopt;
  const size_t optional = pe + 24;
  const size_t optionalSize = Le16(data + pe + 20);
  if (optionalSize > size - optional || optionalSize < 2) return std::nullopt;
  const uint16_t magic = Le16(data + optional);
  size_t countAt, dirs;
  if (magic == 0x10B) {
    countAt = optional + 92, dirs = optional + 96;
  } else if (magic == 0x20B) {
    countAt = optional + 108, dirs = optional + 112;
  } else {
    return std::nullopt;
  }
  const size_t securityAt = dirs + 4 * 8;
  if (securityAt + 8 > optional + optionalSize || Le32(data + countAt) <= 4) return std::nullopt;
  const size_t checksumAt = optional + 64;
  const size_t tableAt = Le32(data + securityAt), tableSize = Le32(data + securityAt + 4);

  PeSignature out;
  size_t imageEnd = size;
  if (tableSize != 0) {
    // The table comes last, after the image and the headers, and fills the file to its end.
    if (tableAt < securityAt + 8 || tableAt > size || tableSize != size - tableAt || tableSize < 8)
      return std::nullopt;
    // One WIN_CERTIFICATE and nothing else: the table is exactly its length rounded up to 8,
    // and after its PKCS #7 element come fewer than 8 zero bytes. The table lies outside
    // every digest, so anything more there would ride along unsigned.
    const size_t length = Le32(data + tableAt);
    if (length < 8 || length > tableSize || ((length + 7) & ~size_t(7)) != tableSize ||
        Le16(data + tableAt + 4) != 0x0200 || Le16(data + tableAt + 6) != 0x0002)
      return std::nullopt;
    const uint8_t* blob = data + tableAt + 8;
    const auto signedData = ReadElement(blob, length - 8, 0);
    if (!signedData || signedData->tag != 0x30) return std::nullopt;
    const size_t padding = tableSize - 8 - signedData->end();
    if (padding >= 8) return std::nullopt;
    for (size_t i = signedData->end(); i < tableSize - 8; ++i)
      if (blob[i] != 0) return std::nullopt;
    out.pkcs7.assign(blob, blob + signedData->end());
    imageEnd = tableAt;
  }
  out.hashed = {{0, checksumAt}, {checksumAt + 4, securityAt}, {securityAt + 8, imageEnd}};
  return out;
}

std::optional<IndirectDigest> ReadIndirectDigest(const uint8_t* der, size_t size) {
  const auto outer = ReadElement(der, size, 0);
  if (!outer || outer->tag != 0x30) return std::nullopt;
  const auto data = ReadElement(der, outer->end(), outer->value);
  if (!data || data->tag != 0x30) return std::nullopt;
  const auto info = ReadElement(der, outer->end(), data->end());
  if (!info || info->tag != 0x30) return std::nullopt;
  const auto algorithm = ReadElement(der, info->end(), info->value);
  if (!algorithm || algorithm->tag != 0x30) return std::nullopt;
  const auto oid = ReadElement(der, algorithm->end(), algorithm->value);
  if (!oid || oid->tag != 0x06) return std::nullopt;
  const auto digest = ReadElement(der, info->end(), algorithm->end());
  if (!digest || digest->tag != 0x04) return std::nullopt;

  IndirectDigest out;
  size_t expected;
  if (oid->length == sizeof kSha1Oid && std::memcmp(der + oid->value, kSha1Oid, sizeof kSha1Oid) == 0) {
    out.kind = DigestKind::Sha1, expected = 20;
  } else if (oid->length == sizeof kSha256Oid && std::memcmp(der + oid->value, kSha256Oid, sizeof kSha256Oid) == 0) {
    out.kind = DigestKind::Sha256, expected = 32;
  } else {
    return std::nullopt;
  }
  if (digest->length != expected) return std::nullopt;
  out.digest.assign(der + digest->value, der + digest->end());
  return out;
}

std::optional<std::pair<size_t, size_t>> DerValue(const uint8_t* der, size_t size) {
  const auto e = ReadElement(der, size, 0);
  if (!e || e->end() != size) return std::nullopt;
  return std::make_pair(e->value, e->end());
}

std::string NormalizeThumbprint(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ' ' || c == ':') continue;
    if (c >= 'a' && c <= 'f') c = char(c - 'a' + 'A');
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return {};
    out += c;
  }
  return out.size() == 40 ? out : std::string();
}

}  // namespace pkgsig
