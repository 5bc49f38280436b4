// Checks shared by the two fuzz targets. A broken invariant aborts, which libFuzzer reports.
#pragma once
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/pattern/pattern.h"

namespace PatternFuzz {

inline void Require(bool ok) {
  if (!ok) std::abort();
}

// Offsets lie inside the subject and groups agree with the pattern.
inline void CheckResult(Pattern::Status s, const Pattern::Match& m, std::size_t groups, std::size_t n, bool anchored) {
  if (s != Pattern::Status::Match) return;
  Require(m.whole.begin <= m.whole.end && m.whole.end <= n);
  Require(!anchored || m.whole.begin == 0);
  Require(m.groups.size() == groups);
  for (const Pattern::Span& g : m.groups) {
    Require(!g.Matched() || (m.whole.begin <= g.begin && g.begin <= g.end && g.end <= m.whole.end));
  }
}

inline std::u16string Widen(std::string_view bytes) {
  std::u16string out;
  for (char c : bytes) out += static_cast<char16_t>(static_cast<unsigned char>(c));
  return out;
}

// Byte text and the same text widened unit for unit must give the same answer.
inline void CheckBothWidths(const Pattern::Regex8& narrow, const Pattern::Regex16& wide, std::string_view subject,
                            std::uint64_t budget, bool anchored) {
  Pattern::Match m8, m16;
  Pattern::Status s8 = narrow.Search(subject, &m8, budget);
  Pattern::Status s16 = wide.Search(Widen(subject), &m16, budget);
  CheckResult(s8, m8, narrow.GroupCount(), subject.size(), anchored);
  CheckResult(s16, m16, wide.GroupCount(), subject.size(), anchored);
  Require(s8 == s16);
  if (s8 == Pattern::Status::Match) {
    Require(m8.whole.begin == m16.whole.begin && m8.whole.end == m16.whole.end);
    for (std::size_t g = 0; g < m8.groups.size(); ++g) {
      Require(m8.groups[g].begin == m16.groups[g].begin && m8.groups[g].end == m16.groups[g].end);
    }
  }
}

}  // namespace PatternFuzz
