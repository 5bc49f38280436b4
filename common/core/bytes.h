// Little-endian field access for the byte formats that cross process and device boundaries.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bytes {
inline void PutU16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutU32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// UTF-16LE bytes of a text including its terminating NUL.
inline std::vector<uint8_t> Utf16WithNul(const char16_t* s) {
  std::vector<uint8_t> out;
  for (; *s; ++s) {
    out.push_back(static_cast<uint8_t>(*s));
    out.push_back(static_cast<uint8_t>(*s >> 8));
  }
  out.push_back(0);
  out.push_back(0);
  return out;
}

inline size_t Utf16Length(const char16_t* s) {
  size_t n = 0;
  while (s[n]) ++n;
  return n;
}
}  // namespace bytes
