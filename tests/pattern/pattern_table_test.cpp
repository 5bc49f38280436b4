// The dialect's behaviour as a table, run once for 8-bit and once for 16-bit text.
// Expected results are in the checker tool's form, lines joined by " | ".
#include <gtest/gtest.h>

#include "tests/pattern/pattern_test_util.h"

namespace {

using PatternTest::Run;

struct Case {
  const char* pattern;
  const char* subject;
  const char* expect;
};

template <class CharT>
void RunTable(const Case* begin, const Case* end) {
  for (const Case* c = begin; c != end; ++c) {
    EXPECT_EQ(Run<CharT>(c->pattern, c->subject), c->expect) << "pattern \"" << c->pattern << "\" subject \"" << c->subject << '"';
  }
}

template <class CharT>
class PatternTable : public ::testing::Test {};
using Widths = ::testing::Types<char, char16_t>;
class WidthName {
 public:
  template <class T>
  static std::string GetName(int) {
    return sizeof(T) == 1 ? "Bytes" : "Utf16";
  }
};
TYPED_TEST_SUITE(PatternTable, Widths, WidthName);

#define RUN_TABLE(table) RunTable<TypeParam>(std::begin(table), std::end(table))

// '|' binds tighter than concatenation: "ab|cd" is a(b|c)d.
const Case kPrecedence[] = {
    {"ab|cd", "abd", "match 0 3"},
    {"ab|cd", "acd", "match 0 3"},
    {"ab|cd", "abcd", "nomatch"},
    {"ab|cd", "xxcd", "nomatch"},
    {"a|b|c", "xc", "match 1 2"},
    {"(ab)|(cd)", "xcd", "match 1 3"},
    {"^(QZ-1)|(QZ-2)$", "QZ-2", "match 0 4"},
    {"^(QZ-1)|(QZ-2)$", "QZ-1x", "nomatch"},
    {"x(a|b)*y", "xabbay", "match 0 6"},
};
TYPED_TEST(PatternTable, AlternationBindsTighterThanSequence) { RUN_TABLE(kPrecedence); }

const Case kAnchors[] = {
    {"^b", "ab", "nomatch"},
    {"^a", "ab", "match 0 1"},
    {"a^b", "a^b", "match 0 3"},  // '^' anchors only as the first character
    {"b$", "ab", "match 1 2"},
    {"b$", "abc", "nomatch"},
    {"a$b", "xa$b", "match 1 4"},  // '$' is the end only as the last character
    {"($)", "x$", "match 1 2"},
    {"\\$", "a$", "match 1 2"},
    {"^$", "", "match 0 0"},
    {"^$", "a", "nomatch"},
    {"^a*$", "aaa", "match 0 3"},
    {"^a*$", "aab", "nomatch"},
};
TYPED_TEST(PatternTable, Anchors) { RUN_TABLE(kAnchors); }

const Case kSearchOrder[] = {
    // The end of a non-empty subject is not a start position; an empty subject is tried once.
    {"$", "abc", "nomatch"},
    {"$", "", "match 0 0"},
    {"x*$", "ab", "nomatch"},
    {"x?", "", "match 0 0"},
    {"a*", "baa", "match 0 0"},
    // Greedy first, lazy last, the left alternative first.
    {"{a+}", "baaa", "match 1 4 | group 0 1 4"},
    {"{a+?}", "baaa", "match 1 2 | group 0 1 2"},
    {"{a*?}b", "aab", "match 0 3 | group 0 0 2"},
    {"{a?}a", "a", "match 0 1 | group 0 0 0"},
    {"{a??}a", "aa", "match 0 1 | group 0 0 0"},
    {"{(a)|(ab)}", "ab", "match 0 1 | group 0 0 1"},
    {"{.*}{.*}", "ab", "match 0 2 | group 0 0 2 | group 1 2 2"},
    {"{.*?}{.*}", "ab", "match 0 2 | group 0 0 0 | group 1 0 2"},
    {"{(ab)*}", "ababa", "match 0 4 | group 0 0 4"},
    {"{(ab)*?}a", "ababa", "match 0 1 | group 0 0 0"},
    {"{(ab)+?}", "abab", "match 0 2 | group 0 0 2"},
    {"{[ab]*}b", "aabab", "match 0 5 | group 0 0 4"},  // a greedy run gives back to the last 'b'
    {"{.+}NO", "xNOyNOz", "match 0 6 | group 0 0 4"},
    {"{.+?}NO", "xNOyNOz", "match 0 3 | group 0 0 1"},
};
TYPED_TEST(PatternTable, SearchOrder) { RUN_TABLE(kSearchOrder); }

const Case kBrackets[] = {
    // Inside brackets \t is TAB and other escapes are the plain letter.
    {"[ \\n\\r\\t]", "x\ty", "match 1 2"},
    {"[ \\n\\r\\t]", "xny", "match 1 2"},
    {"[ \\n\\r\\t]", "x\r\ny", "nomatch"},
    {"[^\\b]+", "bb c", "match 2 4"},
    {"[a\\]]", "x]", "match 1 2"},
    {"[\\^a]", "x^", "match 1 2"},
    {"[-a]", "x-", "match 1 2"},
    {"[a\\-c]", "b-", "match 1 2"},
    {"[a-c]", "d b", "match 2 3"},
    {"[^a-c]", "abcd", "match 3 4"},
    {"[a-cx-z]+", "wyzabw", "match 1 5"},
    {"[[]", "a[", "match 1 2"},
    {"[\x80-\xff]", "a\x9f", "match 1 2"},
    {"[^\x80-\xff]", "\x80\xff!", "match 2 3"},
    // Outside brackets an escape that is no abbreviation is the character itself.
    {"\\t", "a\tt", "match 2 3"},
    {"\\r\\!", "\rr!", "match 1 3"},
};
TYPED_TEST(PatternTable, BracketExpressions) { RUN_TABLE(kBrackets); }

const Case kAbbreviations[] = {
    {"\\a+", "-ab9-", "match 1 4"},
    {"\\b+", "x \t y", "match 1 4"},
    {"\\c+", "1aZ2", "match 1 3"},
    {"\\d+", "ab12c", "match 2 4"},
    {"\\h+", "xyzFf0g", "match 3 6"},
    {"a\\nb", "a\r\nb", "match 0 4"},
    {"a\\nb", "a\nb", "match 0 3"},
    {"a\\nb", "a\rb", "match 0 3"},
    {"a\\nb", "a\n\rb", "nomatch"},
    {"{\\n}", "x\r\n", "match 1 2 | group 0 1 2"},  // CR alone is the first choice
    {"{\\q}", "say \"hi\" now", "match 4 8 | group 0 4 8"},
    {"{\\q}", "say 'hi' now", "match 4 8 | group 0 4 8"},
    {"{\\q}", "a \"\" b", "match 2 4 | group 0 2 4"},
    {"\\q", "\"open'", "nomatch"},
    {"{\\w}", "12ab3", "match 2 4 | group 0 2 4"},
    {"{\\w}b", "aab", "match 0 3 | group 0 0 2"},
    {"{\\z}", "ab123c", "match 2 5 | group 0 2 5"},
    {"\\D", "1D", "match 1 2"},  // abbreviations are lower case only
};
TYPED_TEST(PatternTable, Abbreviations) { RUN_TABLE(kAbbreviations); }

const Case kErrors[] = {
    {"", "a", "error unexpected"},
    {"^", "a", "error unexpected"},
    {"*a", "a", "error unexpected"},
    {"a**", "a", "error unexpected"},
    {"a|", "a", "error unexpected"},
    {"|a", "a", "error unexpected"},
    {"a||b", "a", "error unexpected"},
    {"()", "a", "error unexpected"},
    {"{}", "a", "error unexpected"},
    {"a)", "a", "error unexpected"},
    {"a}", "a", "error unexpected"},
    {"a\\", "a", "error unexpected"},
    {"(a", "a", "error paren_expected"},
    {"{a", "a", "error brace_expected"},
    {"{a)", "a", "error brace_expected"},
    {"(a}", "a", "error paren_expected"},
    {"[]", "a", "error empty_range"},
    {"[^]", "a", "error empty_range"},
    {"[]a]", "a", "error empty_range"},
    {"[a-]", "a", "error invalid_range"},
    {"[z-a]", "a", "error invalid_range"},
    {"[abc", "a", "error bracket_expected"},
    {"[a-", "a", "error bracket_expected"},
    {"[a\\", "a", "error bracket_expected"},
    {"(a*)*", "a", "error empty_repeat"},
    {"(a?)+", "a", "error empty_repeat"},
    {"(a|b?)*", "a", "error empty_repeat"},
    {"!a*", "a", "error empty_repeat"},
    {"{a?}\\0+", "a", "error empty_repeat"},
    {"\\0", "a", "error invalid_group"},
    {"{a}\\1", "a", "error invalid_group"},
    {"\\1{a}{b}", "a", "error invalid_group"},
    // Not errors.
    {"(a*)?", "b", "match 0 0"},
    {"{a}\\0+", "aaa", "match 0 3 | group 0 0 1"},
    {"$*", "$$", "match 0 2"},
};
TYPED_TEST(PatternTable, CompileErrors) { RUN_TABLE(kErrors); }

const Case kGroups[] = {
    {"{a{b}}{c}", "abc", "match 0 3 | group 0 0 2 | group 1 1 2 | group 2 2 3"},
    {"(a){b}", "ab", "match 0 2 | group 0 1 2"},
    {"{\\d}+", "123", "match 0 3 | group 0 2 3"},
    {"({a}|b)+", "ab", "match 0 2 | group 0 0 1"},  // keeps the last iteration it took part in
    {"(x{a})|b", "b", "match 0 1 | group 0 -"},
    {"({a}b)|(ac)", "ac", "match 0 2 | group 0 -"},  // undone with the branch that failed
    {"{a}?b", "b", "match 0 1 | group 0 -"},
    {"({a+}b)*", "aaba", "match 0 3 | group 0 0 2"},  // a later pass that failed leaves no trace
    {"{\\d}x\\0", "1x2 3x3", "match 4 7 | group 0 4 5"},
    {"{ab|c}\\0", "acacx", "match 0 4 | group 0 0 2"},
    {"(x{a})|(b)\\0", "b", "nomatch"},  // a back-reference to a group that took no part fails
    {"{a\\0}", "aa", "nomatch"},
};
TYPED_TEST(PatternTable, Groups) { RUN_TABLE(kGroups); }

const Case kNot[] = {
    {"!ab", "ab", "match 1 2"},
    {"a!b", "ab ac", "match 3 4"},
    {"!(ab).", "abac", "match 1 2"},
    {"!!a.", "ba", "match 1 2"},
    {"!{a}b", "b", "match 0 1 | group 0 -"},
    {"!{a}.", "ab", "match 1 2 | group 0 -"},  // what the body captured before '!' failed is undone
    {"{!x}y", "y", "match 0 1 | group 0 0 0"},
    {"<!/{\\w}", "</p><b>", "match 4 6 | group 0 5 6"},
};
TYPED_TEST(PatternTable, NotOperator) { RUN_TABLE(kNot); }

const Case kMisc[] = {
    {"abc", "ABC", "nomatch"},  // case-sensitive
    {"[a-z]", "Q", "nomatch"},
    {"a.c", "a\nc", "match 0 3"},  // '.' takes line breaks too
    {"\\.", "a.", "match 1 2"},
    {"]", "a]", "match 1 2"},
    {"-", "a-", "match 1 2"},
    {"\xe9{.}", "a\xe9z", "match 1 3 | group 0 2 3"},
    {"\\\xe9", "\xe9", "match 0 1"},
};
TYPED_TEST(PatternTable, Literals) { RUN_TABLE(kMisc); }

// The patterns the system itself uses, on the text they meet.
const Case kSystemPatterns[] = {
    // Firmware and image versions.
    {"V{\\d?\\d}\\.{\\d\\d} ?L{\\d\\d} ?{[A-LN-Z]}? ?(M{\\d\\d}(.{\\d\\d})?)?", "BIOS V1.23L45A M67.89\n",
     "match 5 21 | group 0 6 7 | group 1 8 10 | group 2 11 13 | group 3 13 14 | group 4 16 18 | group 5 19 21"},
    {"V{\\d?\\d}\\.{\\d\\d} ?L{\\d\\d} ?{[A-LN-Z]}? ?(M{\\d\\d}(.{\\d\\d})?)?", "V12.34L56",
     "match 0 9 | group 0 1 3 | group 1 4 6 | group 2 7 9 | group 3 - | group 4 - | group 5 -"},
    {"V{\\d?\\d}\\.{\\d\\d} ?L{\\d\\d} ?{[A-LN-Z]}? ?(M{\\d\\d}(.{\\d\\d})?)?", "V2.01L10M03",
     "match 0 11 | group 0 1 2 | group 1 3 5 | group 2 6 8 | group 3 - | group 4 9 11 | group 5 -"},
    {"V{\\d?\\d}\\.{\\d\\d} ?L{\\d\\d} ?{[A-LN-Z]}? ?(M{\\d\\d}(.{\\d\\d})?)?", "v1.23L45", "nomatch"},
    // Installed driver version.
    {"{\\d+}\\.{\\d+}\\.{\\d+}\\.{\\d+}", "6.1.7601.17514",
     "match 0 14 | group 0 0 1 | group 1 2 3 | group 2 4 8 | group 3 9 14"},
    // Windows-expression tokens.
    {"^{([vVsSeEfF](\\.[bBuUeEpP]+)?(\\.[0-9]?[0-9])?(\\.[iIaA]+)?)|([xX](\\.[0-9]?[0-9])?)}", "S.1.AX.3",
     "match 0 5 | group 0 0 5"},
    {"^{([vVsSeEfF](\\.[bBuUeEpP]+)?(\\.[0-9]?[0-9])?(\\.[iIaA]+)?)|([xX](\\.[0-9]?[0-9])?)}", "X.3",
     "match 0 3 | group 0 0 3"},
    {"^{([vVsSeEfF](\\.[bBuUeEpP]+)?(\\.[0-9]?[0-9])?(\\.[iIaA]+)?)|([xX](\\.[0-9]?[0-9])?)}", "V.BU.1",
     "match 0 6 | group 0 0 6"},
    {"^{([vVsSeEfF](\\.[bBuUeEpP]+)?(\\.[0-9]?[0-9])?(\\.[iIaA]+)?)|([xX](\\.[0-9]?[0-9])?)}", "V,S",
     "match 0 1 | group 0 0 1"},
    {"^{([vVsSeEfF](\\.[bBuUeEpP]+)?(\\.[0-9]?[0-9])?(\\.[iIaA]+)?)|([xX](\\.[0-9]?[0-9])?)}", ",S", "nomatch"},
    // Model and serial patterns as the filter anchors them.
    {"^QZ-[A-Z0-9]+$", "QZ-AB12CD34", "match 0 11"},
    {"^QZ-[A-Z0-9]+$", "QZ-ab12cd34", "nomatch"},
    {"^(QZ-AB12CD34)|(QZ-EF56GH78)$", "QZ-EF56GH78", "match 0 11"},
    {"^(QZ-AB12CD34)|(QZ-EF56GH78)$", "QZ-EF56GH789", "nomatch"},
    {"^SELF##", "SELF##run.exe", "match 0 6"},
    // A link in a notice: [^\b] stops at the letter b, not at blanks.
    {"{http:[^\\b]+}", "See http://x.example/a.htm\r\nbye", "match 4 28 | group 0 4 28"},
    // Catalogue search results and the OS block.
    {"/{faq/docs/[a-z0-9]+}", "https://faq.example/faq/docs/ab12x?s=1", "match 19 34 | group 0 20 34"},
    {"Vista{.*?}(XP)|$", "Windows Vista Business SP1 SP2 / Windows XP",
     "match 8 43 | group 0 13 41"},
    {"Vista{.*?}(XP)|$", "Windows Vista Ultimate SP2", "match 8 26 | group 0 13 26"},
    {"XP{.*?}(Vista)|$", "Windows XP SP2 SP3", "match 8 18 | group 0 10 18"},
    {"XP{.*?}(Vista)|$", "Windows 7", "nomatch"},
    {"\\d?\\d", " SP12", "match 3 5"},
};
TYPED_TEST(PatternTable, SystemPatterns) { RUN_TABLE(kSystemPatterns); }

}  // namespace
