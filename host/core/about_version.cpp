#include "host/core/about_version.h"

namespace host {
namespace {
constexpr size_t kShortestShown = 7;

bool IsBlank(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

std::u16string Trimmed(const std::u16string& s) {
  size_t first = 0, last = s.size();
  while (first < last && IsBlank(s[first])) ++first;
  while (last > first && IsBlank(s[last - 1])) --last;
  return s.substr(first, last - first);
}
}  // namespace

std::optional<std::u16string> AboutVersionCut(const std::u16string& version) {
  if (version.size() < kShortestShown) return std::nullopt;
  size_t cut = version.find(u'M');
  if (cut != std::u16string::npos && cut > 0 && version[cut - 1] == u' ') --cut;
  std::u16string shown = Trimmed(version.substr(0, cut));
  if (shown.empty()) return std::nullopt;
  return shown;
}

std::u16string VersionFromValue(const char16_t* units, size_t count) {
  size_t n = 0;
  while (n < count && units[n]) ++n;
  return std::u16string(units, n);
}

}  // namespace host
