#include "common/core/model_identity.h"

#include <cstdio>

#include "common/core/misccommon.h"

namespace MiscCommon {
namespace {
uint32_t Bcd(uint8_t x) { return 10u * (x >> 4) + (x & 15u); }

std::string PrintableAscii(const uint8_t* raw, size_t n) {
  std::string s;
  for (size_t i = 0; i < n && raw[i]; ++i) s.push_back(raw[i] >= 0x20 && raw[i] < 0x7f ? static_cast<char>(raw[i]) : '?');
  return s;
}
}  // namespace

FirmwareVersion FirmwareFromDriverBytes(const uint8_t b[5]) {
  FirmwareVersion v;
  v.major = b[0];
  v.minor = Bcd(b[1]);
  v.level = Bcd(b[2]);
  v.letter = static_cast<char>(b[3]);
  v.mNumber = Bcd(b[4]);
  return v;
}

std::string FirmwareText(const FirmwareVersion& v) {
  char text[64];
  std::snprintf(text, sizeof text, "V%u.%02uL%02u", v.major, v.minor, v.level);
  std::string s = text;
  if (v.letter >= 'A' && v.letter <= 'Z') s.push_back(v.letter);
  std::snprintf(text, sizeof text, " M%02u", v.mNumber);
  s += text;
  if (v.subNumber) {
    std::snprintf(text, sizeof text, ".%02u", v.subNumber);
    s += text;
  }
  return s;
}

std::string FormatModelNumber(const uint8_t* raw, size_t n) {
  std::string s = PrintableAscii(raw, n);
  if (s.size() >= 3 && s[2] != '-') s.insert(2, 1, '-');
  return s;
}

std::string FormatSerialNumber(const uint8_t raw[8]) {
  const unsigned number = raw[5] | (raw[6] << 8) | (raw[7] << 16);
  char digits[16];
  std::snprintf(digits, sizeof digits, "%05u", number);
  std::string prefix;
  for (int i = 0; i < 5; ++i) prefix.push_back(raw[i] >= 0x20 && raw[i] < 0x7f ? static_cast<char>(raw[i]) : '?');
  return prefix + digits;
}

int ReadModelNumber(CMiscCommon& client, std::string& out) {
  uint8_t buffer[kModelBufferSize] = {};
  uint32_t length = sizeof buffer;
  const int rc = client.GetModelNumber(1, buffer, &length);
  if (rc == MC_OK) out = FormatModelNumber(buffer, length);
  return rc;
}

int ReadSerialNumber(CMiscCommon& client, std::string& out) {
  uint8_t buffer[16] = {};
  uint32_t length = sizeof buffer;
  const int rc = client.GetModelNumber(2, buffer, &length);
  if (rc == MC_OK) out = FormatSerialNumber(buffer);
  return rc;
}

int ReadBiosVersion(CMiscCommon& client, FirmwareVersion& out) {
  uint8_t buffer[16] = {};
  uint32_t length = sizeof buffer;
  const int rc = client.GetModelNumber(3, buffer, &length);
  if (rc == MC_OK) out = FirmwareFromDriverBytes(buffer);
  return rc;
}
}  // namespace MiscCommon
