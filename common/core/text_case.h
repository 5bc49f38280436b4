// Case-blind comparison of names (XML tags, registry names, feed fields). Only ASCII letters
// fold: these names are ASCII, and the user's locale must not change how they match.
#pragma once
#include <string_view>

namespace text {

constexpr char16_t AsciiLower(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c + 32) : c; }

constexpr bool EqualsNoCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  return true;
}

// Whether `needle` occurs in `hay`, letters compared as above.
constexpr bool ContainsNoCase(std::u16string_view hay, std::u16string_view needle) {
  if (needle.size() > hay.size()) return false;
  for (std::size_t at = 0; at + needle.size() <= hay.size(); ++at)
    if (EqualsNoCase(hay.substr(at, needle.size()), needle)) return true;
  return false;
}

}  // namespace text
