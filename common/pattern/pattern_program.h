// The compiled form of a pattern, shared by the compiler and the matcher. It does not
// depend on the width of the text: characters are stored as 32-bit code values.
#pragma once
#include <cstdint>
#include <utility>
#include <vector>

#include "common/pattern/pattern.h"

namespace Pattern {
namespace detail {

constexpr std::uint32_t kNoChar = 0xFFFFFFFFu;

enum class Op : std::uint8_t {
  Char,       // x: the character
  Any,        // any character
  Class,      // x: index into classes
  End,        // end of subject
  Split,      // try x first, y on backtracking
  Jump,       // x: target
  Open,       // x: group; remember where it starts
  Close,      // x: group; commit its span
  Backref,    // x: group; the text the group captured, again
  NotBegin,   // x: where to go on when the body fails
  NotEnd,     // the body matched, so the '!' fails
  RunGreedy,  // single-character repetition: item in (item, x), at least `min`; y: next literal
  RunLazy,    // the same, shortest first
  Succeed,
};

struct Inst {
  Op op = Op::Succeed;
  Op item = Op::Any;          // Run*: Char, Any or Class
  std::uint8_t min = 0;       // Run*: 0 or 1
  std::uint32_t x = 0;
  std::uint32_t y = kNoChar;
};

// A bracket expression. Characters below 256 are looked up in a bitmap; wider ones in
// sorted, merged ranges.
struct CharClass {
  std::uint64_t low[4] = {0, 0, 0, 0};
  std::vector<std::pair<std::uint32_t, std::uint32_t>> high;
  bool negated = false;

  bool Contains(std::uint32_t c) const noexcept {
    bool in;
    if (c < 256) {
      in = (low[c >> 6] >> (c & 63)) & 1u;
    } else {
      in = false;
      std::size_t lo = 0, hi = high.size();
      while (lo < hi) {
        std::size_t mid = (lo + hi) / 2;
        if (high[mid].second < c) {
          lo = mid + 1;
        } else {
          in = high[mid].first <= c;
          hi = mid;
        }
      }
    }
    return in != negated;
  }
};

struct Program {
  std::vector<Inst> code;
  std::vector<CharClass> classes;
  std::uint32_t groups = 0;
  bool anchored = false;
  // Units that can begin a match. Unused (useFirst false) when a match may be empty.
  bool useFirst = false;
  std::uint64_t firstLow[4] = {0, 0, 0, 0};
  bool firstHigh = false;  // some unit above 255 can begin a match

  bool CanStartWith(std::uint32_t c) const noexcept {
    return c < 256 ? ((firstLow[c >> 6] >> (c & 63)) & 1u) != 0 : firstHigh;
  }
};

}  // namespace detail
}  // namespace Pattern
