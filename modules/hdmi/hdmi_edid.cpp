#include "modules/hdmi/hdmi_edid.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace hdmi {
namespace {
int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}
std::u16string Widen(const char* s) { return std::u16string(s, s + std::strlen(s)); }
}  // namespace

std::u16string PnpId(const Edid& e) {
  const char a = static_cast<char>(((e[8] >> 2) & 0x1F) + 0x40);
  const char b = static_cast<char>((((e[8] & 0x03) << 3) | (e[9] >> 5)) + 0x40);
  const char c = static_cast<char>((e[9] & 0x1F) + 0x40);
  char text[16];
  std::snprintf(text, sizeof text, "%c%c%c%04X", a, b, c, static_cast<unsigned>(e[10] | (e[11] << 8)));
  return Widen(text);
}

int Classify(const Edid& e) {
  if (e[126] == 0 || e[128] != 2) return kMonitor;
  if (std::memcmp(&e[95], "VelmorantTV", 11) != 0) return kTv;
  switch (e[106]) {
    case '0': return kMakerFullHd;
    case '1': return kMakerTv;
    case '2': return kMakerTvQuiet;
    default: return kTv;
  }
}

std::u16string MonitorKey(const std::u16string& pnpId, uint32_t mode, int index, int count) {
  char tail[48];
  std::snprintf(tail, sizeof tail, "#%X#%d#%d", mode, index, count);
  return pnpId + Widen(tail);
}

std::optional<int> ValidOverride(std::optional<uint32_t> value) {
  if (!value) return std::nullopt;
  switch (*value) {
    case kNoTv: case kTv: case kMakerTv: case kMakerTvQuiet: case kMakerFullHd: case kMonitor:
      return static_cast<int>(*value);
    default:
      return std::nullopt;
  }
}

bool IsErrorReply(const std::string& reply) { return reply.compare(0, 5, "ERROR") == 0; }

std::optional<uint32_t> ParseHexReply(const std::string& reply) {
  if (IsErrorReply(reply)) return std::nullopt;
  size_t at = 0;
  while (at < reply.size() && std::isspace(static_cast<unsigned char>(reply[at]))) ++at;
  if (reply.compare(at, 2, "0x") == 0 || reply.compare(at, 2, "0X") == 0) at += 2;
  uint32_t value = 0;
  size_t digits = 0;
  for (; at < reply.size() && HexDigit(reply[at]) >= 0; ++at, ++digits) value = value << 4 | uint32_t(HexDigit(reply[at]));
  if (digits == 0) return std::nullopt;
  return value;
}

std::optional<int> ParseDecimalReply(const std::string& reply) {
  if (IsErrorReply(reply)) return std::nullopt;
  const char* begin = reply.c_str();
  char* end = nullptr;
  const long long value = std::strtoll(begin, &end, 10);
  if (end == begin) return std::nullopt;
  return static_cast<int>(static_cast<uint32_t>(value));
}

Edid DecodeEdidReply(const std::string& reply) {
  Edid e{};
  for (size_t i = 0; i < e.size() && 2 * i + 1 < reply.size(); ++i) {
    const int hi = HexDigit(reply[2 * i]), lo = HexDigit(reply[2 * i + 1]);
    if (hi < 0 || lo < 0) break;
    e[i] = static_cast<uint8_t>(hi << 4 | lo);
  }
  return e;
}

}  // namespace hdmi
