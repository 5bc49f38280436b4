// Inputs shared by the QR encoder tests.
#pragma once
#include <cstdint>
#include <string>

namespace qr_test {

// `n` copies of `pattern`.
inline std::string Repeat(const std::string& pattern, size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s += pattern;
  return s;
}

// Deterministic text of one class: digits, upper-case (alphanumeric set), lower-case
// (8-bit bytes) or Shift_JIS Kanji pairs (`n` counts characters, so 2n bytes).
inline std::string Filler(char kind, size_t n) {
  static const char kUpper[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ $%*+-./:";
  static const char kLower[] = "abcdefghijklmnopqrstuvwxyz";
  // 日本語登録 in Shift_JIS.
  static const uint8_t kKanji[][2] = {{0x93, 0xFA}, {0x96, 0x7B}, {0x8C, 0xEA}, {0x93, 0x6F}, {0x98, 0x5E}};
  std::string s;
  uint32_t state = 12345;
  for (size_t i = 0; i < n; ++i) {
    state = state * 1103515245u + 12345u;
    const uint32_t r = state >> 16;
    switch (kind) {
      case 'N':
        s += static_cast<char>('0' + r % 10);
        break;
      case 'A':
        s += kUpper[r % (sizeof(kUpper) - 1)];
        break;
      case 'B':
        s += kLower[r % (sizeof(kLower) - 1)];
        break;
      default:
        s += static_cast<char>(kKanji[r % 5][0]);
        s += static_cast<char>(kKanji[r % 5][1]);
        break;
    }
  }
  return s;
}

inline const uint8_t* Bytes(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

}  // namespace qr_test
