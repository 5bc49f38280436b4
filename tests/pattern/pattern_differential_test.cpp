// Random patterns from the part of the dialect that means the same in ECMAScript (literals,
// classes, '.', greedy and lazy repetition, groups, alternation kept inside a group) must find
// the same match as std::regex: this pins down the backtracking order.
#include <gtest/gtest.h>

#include <regex>
#include <string>

#include "tests/pattern/pattern_test_util.h"

namespace {

// A fixed generator, so that every platform draws the same cases.
class Draw {
 public:
  int Below(int n) {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return static_cast<int>(state_ % static_cast<std::uint32_t>(n));
  }

 private:
  std::uint32_t state_ = 2463534242u;
};

// The same expression in both notations. `empty`: it can match without consuming.
struct Both {
  std::string dialect, ecma;
  bool empty = false;
};

class Generator {
 public:
  explicit Generator(Draw& d) : d_(d) {}

  Both Sequence(int depth) {
    Both out;
    out.empty = true;
    for (int n = 1 + d_.Below(3); n > 0; --n) {
      Both alt = Repeat(depth);
      if (d_.Below(4) == 0) {
        Both other = Repeat(depth);
        alt.dialect += "|" + other.dialect;
        alt.ecma = "(?:" + alt.ecma + "|" + other.ecma + ")";  // ECMAScript '|' binds loosest
        alt.empty = alt.empty || other.empty;
      }
      out.dialect += alt.dialect;
      out.ecma += alt.ecma;
      out.empty = out.empty && alt.empty;
    }
    return out;
  }

 private:
  Both Atom(int depth) {
    // One level of groups: deeper nesting lets std::regex backtrack for ages.
    switch (d_.Below(depth > 0 ? 4 : 7)) {
      case 0:
      case 1: {
        std::string c(1, "abc"[d_.Below(3)]);
        return {c, c, false};
      }
      case 2: return {"[ab]", "[ab]", false};
      case 3: return {".", "[\\s\\S]", false};
      case 4:
      case 5: {
        Both in = Sequence(depth + 1);
        return {"{" + in.dialect + "}", "(" + in.ecma + ")", in.empty};
      }
      default: {
        Both in = Sequence(depth + 1);
        return {"(" + in.dialect + ")", "(?:" + in.ecma + ")", in.empty};
      }
    }
  }

  Both Repeat(int depth) {
    Both a = Atom(depth);
    static const char* const kQuant[] = {"*", "+", "?", "*?", "+?", "??"};
    int q = d_.Below(9);
    if (q >= 6) return a;
    bool loops = q == 0 || q == 1 || q == 3 || q == 4;
    if (loops && a.empty) return a;  // a compile error in the dialect
    a.dialect += kQuant[q];
    a.ecma += kQuant[q];
    a.empty = a.empty || (q != 1 && q != 4);
    return a;
  }

  Draw& d_;
};

bool GroupInsideRepetition(const std::string& dialect) {
  for (const char* q : {"}*", "}+", "}?", ")*", ")+", ")?"}) {
    if (dialect.find(q) != std::string::npos) return true;
  }
  return false;
}

TEST(Differential, SameMatchAsEcmaScriptOnTheCommonSubset) {
  Draw draw;
  Generator gen(draw);
  int compared = 0;
  for (int i = 0; i < 4000; ++i) {
    Both p = gen.Sequence(0);
    std::string subject;
    for (int n = draw.Below(11); n > 0; --n) subject += "abc"[draw.Below(3)];
    // Empty matches differ by design at the subject's end, which the dialect never tries.
    if (p.empty) continue;
    Pattern::Match ours;
    Pattern::Status s = Pattern::Find(p.dialect, subject, &ours);
    if (s == Pattern::Status::BudgetExhausted) continue;  // rare: stacked loops over a subject with no match
    ASSERT_TRUE(s == Pattern::Status::Match || s == Pattern::Status::NoMatch) << p.dialect << ": " << Pattern::StatusName(s);

    std::smatch theirs;
    bool found = std::regex_search(subject, theirs, std::regex(p.ecma));
    std::string where = "pattern " + p.dialect + " (" + p.ecma + ") subject \"" + subject + '"';
    ASSERT_EQ(s == Pattern::Status::Match, found) << where;
    ++compared;
    if (!found) continue;
    EXPECT_EQ(ours.whole.begin, static_cast<std::size_t>(theirs.position(0))) << where;
    EXPECT_EQ(ours.whole.Length(), static_cast<std::size_t>(theirs.length(0))) << where;
    // ECMAScript clears captures on each pass of a loop; compare groups only outside loops.
    if (GroupInsideRepetition(p.dialect)) continue;
    ASSERT_EQ(ours.groups.size() + 1, theirs.size()) << where;
    for (std::size_t g = 0; g < ours.groups.size(); ++g) {
      EXPECT_EQ(ours.groups[g].Matched(), theirs[g + 1].matched) << where << " group " << g;
      if (!theirs[g + 1].matched) continue;
      EXPECT_EQ(ours.groups[g].begin, static_cast<std::size_t>(theirs.position(g + 1))) << where << " group " << g;
      EXPECT_EQ(ours.groups[g].Length(), static_cast<std::size_t>(theirs.length(g + 1))) << where << " group " << g;
    }
  }
  EXPECT_GT(compared, 1000);
}

}  // namespace
