// What keeps a hostile pattern or subject from stalling the caller, and the API's edges.
#include <gtest/gtest.h>

#include <string>

#include "tests/pattern/pattern_test_util.h"

namespace {

using Pattern::Status;
using PatternTest::As;
using PatternTest::Run;

template <class CharT>
class Limits : public ::testing::Test {};
using Widths = ::testing::Types<char, char16_t>;
TYPED_TEST_SUITE(Limits, Widths);

TYPED_TEST(Limits, CatastrophicBacktrackingStopsWithItsOwnStatus) {
  Pattern::Regex<TypeParam> re;
  ASSERT_EQ(re.Compile(As<TypeParam>("(a|aa)*b")), Status::Ok);
  std::string subject(5000, 'a');
  EXPECT_EQ(re.Search(As<TypeParam>(subject)), Status::BudgetExhausted);
  EXPECT_TRUE(Pattern::IsError(Status::BudgetExhausted));
  // With the 'b' in place the same pattern matches at once.
  EXPECT_EQ(re.Search(As<TypeParam>(subject + "b")), Status::Match);
}

TYPED_TEST(Limits, BudgetCountsEveryStep) {
  Pattern::Regex<TypeParam> re;
  ASSERT_EQ(re.Compile(As<TypeParam>("a+b")), Status::Ok);
  EXPECT_EQ(re.Search(As<TypeParam>("aaaa"), nullptr, 3), Status::BudgetExhausted);
  EXPECT_EQ(re.Search(As<TypeParam>("aaaa"), nullptr, 1000), Status::NoMatch);
  EXPECT_EQ(re.Search(As<TypeParam>("ab"), nullptr, 0), Status::BudgetExhausted);
  // A catalogue page stays well under a second on the UI thread even when it is hostile.
  EXPECT_LE(Pattern::StepBudget(0, 200 * 1024), 100000000u);
}

TYPED_TEST(Limits, AnExhaustedBudgetNeverPassesForAnAnswer) {
  struct Probe {
    const char* pattern;
    const char* subject;
  };
  const Probe probes[] = {
      {"^{abc}\\0", "abcabc"}, {"{a+}b\\0c", "aabaabaac"}, {"!(ab){.+?}c", "abxabyc"}, {"{x}\\0", "xyxx"}};
  for (const Probe& p : probes) {
    Pattern::Regex<TypeParam> re;
    ASSERT_EQ(re.Compile(As<TypeParam>(p.pattern)), Status::Ok);
    Status truth = re.Search(As<TypeParam>(p.subject));
    for (std::uint64_t budget = 0; budget < 400; ++budget) {
      Status s = re.Search(As<TypeParam>(p.subject), nullptr, budget);
      EXPECT_TRUE(s == truth || s == Status::BudgetExhausted) << p.pattern << " with budget " << budget;
    }
  }
}

TYPED_TEST(Limits, LongSubjectsNeedNoDeepStack) {
  // A megabyte through greedy and lazy runs, alternation loops and back-references.
  std::string big(1 << 20, 'x');
  big += "<!--NO-->";
  EXPECT_EQ(Run<TypeParam>("^{.+}<\\!--{\\w}-->", big), "match 0 1048585 | group 0 0 1048576 | group 1 1048580 1048582");
  std::string ab;
  for (int i = 0; i < 100000; ++i) ab += "ab";
  EXPECT_EQ(Run<TypeParam>("^{(a|b)+}$", ab), "match 0 200000 | group 0 0 200000");
  EXPECT_EQ(Run<TypeParam>("^{.*?}\\!$", ab + "!"), "match 0 200001 | group 0 0 200000");
}

TYPED_TEST(Limits, StackMemoryIsCappedLinearly) {
  // Ten captures per iteration need more undo records per character than the cap allows.
  std::string subject(20000, 'a');
  EXPECT_EQ(Run<TypeParam>("^({{{{{{{{{{a}}}}}}}}}})+", subject), "error budget_exhausted");
  EXPECT_EQ(Run<TypeParam>("^({a})+", subject), "match 0 20000 | group 0 19999 20000");
}

TYPED_TEST(Limits, PatternLengthAndNesting) {
  EXPECT_EQ(Run<TypeParam>(std::string(Pattern::kMaxPatternLength, 'a'), std::string(Pattern::kMaxPatternLength, 'a')),
            "match 0 8192");
  EXPECT_EQ(Run<TypeParam>(std::string(Pattern::kMaxPatternLength + 1, 'a'), "a"), "error too_long");

  auto nested = [](int depth, char open, char close) {
    return std::string(depth, open) + "a" + std::string(depth, close);
  };
  EXPECT_EQ(Run<TypeParam>(nested(Pattern::kMaxNesting, '(', ')'), "a"), "match 0 1");
  EXPECT_EQ(Run<TypeParam>(nested(Pattern::kMaxNesting + 1, '(', ')'), "a"), "error too_deep");
  EXPECT_EQ(Run<TypeParam>(std::string(Pattern::kMaxNesting + 1, '!') + "a", "b"), "error too_deep");
  // Long flat patterns are fine: alternatives and sequences do not nest.
  std::string alts = "^x";
  for (int i = 0; i < 2000; ++i) alts += "|y";
  EXPECT_EQ(Run<TypeParam>(alts, "y"), "match 0 1");
}

TYPED_TEST(Limits, UncompiledPatternsReportIt) {
  Pattern::Regex<TypeParam> re;
  EXPECT_EQ(re.Search(As<TypeParam>("a")), Status::NotCompiled);
  ASSERT_EQ(re.Compile(As<TypeParam>("a")), Status::Ok);
  EXPECT_EQ(re.Compile(As<TypeParam>("(a")), Status::ParenExpected);
  EXPECT_FALSE(re.Compiled());
  EXPECT_EQ(re.Search(As<TypeParam>("a")), Status::NotCompiled);
}

TYPED_TEST(Limits, MatchIsWrittenOnlyOnMatch) {
  Pattern::Regex<TypeParam> re;
  ASSERT_EQ(re.Compile(As<TypeParam>("{b}")), Status::Ok);
  Pattern::Match m;
  ASSERT_EQ(re.Search(As<TypeParam>("ab"), &m), Status::Match);
  EXPECT_EQ(re.Search(As<TypeParam>("aa"), &m), Status::NoMatch);
  EXPECT_EQ(m.whole.begin, 1u);
  ASSERT_EQ(m.groups.size(), 1u);
  EXPECT_EQ(m.groups[0].end, 2u);
}

TYPED_TEST(Limits, NulIsAnOrdinaryCharacter) {
  using namespace std::string_view_literals;
  EXPECT_EQ(Run<TypeParam>("a.b", "xa\0b"sv), "match 1 4");
  EXPECT_EQ(Run<TypeParam>("a[^x]b"sv, "a\0b"sv), "match 0 3");
}

// Text beyond Latin-1, which only 16-bit subjects carry.
TEST(Utf16, WideCharactersInClassesAndLiterals) {
  Pattern::Match m;
  EXPECT_EQ(Pattern::Find(u"[ぁ-ん]+", u"カタカナとひらがな", &m), Status::Match);
  EXPECT_EQ(m.whole.begin, 4u);
  EXPECT_EQ(m.whole.end, 9u);
  EXPECT_EQ(Pattern::Find(u"[^ぁ-んa]", u"aあいX", &m), Status::Match);
  EXPECT_EQ(m.whole.begin, 3u);
  EXPECT_EQ(Pattern::Find(u"[^a]", u"あ", &m), Status::Match);
  EXPECT_EQ(Pattern::Find(u"型番{\\d+}", u"製品の型番123", &m), Status::Match);
  EXPECT_EQ(m.groups[0].begin, 5u);
  EXPECT_EQ(Pattern::Find(u"[Ａ-Ｚ]", u"ＡＢ", &m), Status::Match);
  EXPECT_EQ(Pattern::Find(u"[ぁ-ん]", u"\u3040\u3094", &m), Status::NoMatch);
  // A character outside the basic plane is two units.
  EXPECT_EQ(Pattern::Find(u"{.}x", u"\U0001F600x", &m), Status::Match);
  EXPECT_EQ(m.groups[0].begin, 1u);
  EXPECT_EQ(Pattern::Find(u"{..}x", u"\U0001F600x", &m), Status::Match);
  EXPECT_EQ(m.groups[0].begin, 0u);
}

TEST(Bytes, HighBytesAreUnsigned) {
  Pattern::Match m;
  EXPECT_EQ(Pattern::Find("[\x81-\x9f][\x40-\xfc]", "ab\x83\x5c", &m), Status::Match);
  EXPECT_EQ(m.whole.begin, 2u);
  EXPECT_EQ(Pattern::Find("\xff+", "\x7f\xff\xff", &m), Status::Match);
  EXPECT_EQ(m.whole.begin, 1u);
  EXPECT_EQ(m.whole.end, 3u);
}

TEST(Names, EveryStatusHasOne) {
  EXPECT_STREQ(Pattern::StatusName(Status::NoMatch), "nomatch");
  EXPECT_STREQ(Pattern::StatusName(Status::BudgetExhausted), "budget_exhausted");
  EXPECT_STREQ(Pattern::StatusName(Status::EmptyRepeat), "empty_repeat");
  for (int s = 0; s <= static_cast<int>(Status::OutOfMemory); ++s) {
    EXPECT_STRNE(Pattern::StatusName(static_cast<Status>(s)), "unknown") << s;
  }
}

}  // namespace
