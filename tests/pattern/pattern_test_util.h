// Helpers shared by the pattern tests: one table of byte strings runs against both widths.
#pragma once
#include <string>
#include <string_view>

#include "common/pattern/pattern.h"

namespace PatternTest {

// Each byte becomes one 16-bit unit of the same value, so offsets agree between widths.
inline std::u16string Widen(std::string_view bytes) {
  std::u16string out;
  for (char c : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

template <class CharT>
std::basic_string<CharT> As(std::string_view bytes);
template <>
inline std::string As<char>(std::string_view bytes) {
  return std::string(bytes);
}
template <>
inline std::u16string As<char16_t>(std::string_view bytes) {
  return Widen(bytes);
}

// The checker tool's output with its lines joined by " | ".
inline std::string Render(Pattern::Status s, const Pattern::Match& m) {
  std::string text = Pattern::Describe(s, m);
  while (!text.empty() && text.back() == '\n') text.pop_back();
  std::string out;
  for (char c : text) out += c == '\n' ? std::string(" | ") : std::string(1, c);
  return out;
}

template <class CharT>
std::string Run(std::string_view pattern, std::string_view subject) {
  Pattern::Match m;
  Pattern::Regex<CharT> re;
  Pattern::Status s = re.Compile(As<CharT>(pattern));
  if (s == Pattern::Status::Ok) s = re.Search(As<CharT>(subject), &m);
  return Render(s, m);
}

}  // namespace PatternTest
