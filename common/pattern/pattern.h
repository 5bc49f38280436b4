// The pattern dialect used for model, serial, version and Windows-expression patterns and
// for the catalogue document markers: the ATL regular-expression grammar, matched with a
// bounded backtracking machine so that a hostile pattern or subject cannot stall the caller.
//
//   R    -> '^'? RE                      '^' anchors only as the first character
//   RE   -> AltE RE | AltE               concatenation binds looser than '|'
//   AltE -> E | E '|' AltE               so "ab|cd" is a(b|c)d
//   E    -> SE ('*' | '+' | '?') '?'?     a trailing '?' makes the repetition lazy
//   SE   -> '{' RE '}'                    numbered group, 0-based, by opening brace
//         | '(' RE ')'                    plain group
//         | '[' '^'? items ']'            inside: \t is TAB, any other \x is x
//         | '\' abbreviation              a b c d h n q w z
//         | '\' digits                    back-reference to an earlier group
//         | '\' char                      that char
//         | '!' SE                        succeeds where SE does not match, consumes nothing
//         | '.'                           any character
//         | '$'                           end of subject, only as the last character
//         | symbol
//
// Matching is case-sensitive. One engine serves 8-bit text (bytes, for documents read in
// the ANSI code page) and 16-bit text (UTF-16 code units). Offsets count code units.
// No function here throws.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace Pattern {

enum class Status : std::uint8_t {
  Ok,       // Compile succeeded
  Match,    // Search found a match
  NoMatch,  // Search tried every start position
  // Compile errors.
  BraceExpected,    // '{' without '}'
  ParenExpected,    // '(' without ')'
  BracketExpected,  // '[' without ']'
  Unexpected,       // an operator or the end where an expression must stand, a stray ')' or '}'
  EmptyRange,       // "[]" or "[^]"
  InvalidGroup,     // back-reference to a group not opened before it
  InvalidRange,     // "[z-a]", or a range without its end as in "[a-]"
  EmptyRepeat,      // '*' or '+' over something that can match empty
  TooLong,          // pattern over kMaxPatternLength units, or subject over kMaxSubjectLength
  TooDeep,          // groups and '!' nested deeper than kMaxNesting
  // Search failures: callers treat these like a pattern that does not compile.
  BudgetExhausted,  // the step or memory budget ran out before the search was decided
  NotCompiled,      // Search on a pattern without a successful Compile
  OutOfMemory,
};

// Lower-case name such as "budget_exhausted"; "nomatch" for NoMatch.
const char* StatusName(Status s) noexcept;
// True for everything but Ok, Match and NoMatch.
bool IsError(Status s) noexcept;

constexpr std::size_t kMaxPatternLength = 8192;
constexpr std::size_t kMaxSubjectLength = 0x7FFFFFF0;
constexpr int kMaxNesting = 64;
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

// Steps a search may take: grows with pattern and subject, so legitimate patterns over a
// few hundred kilobytes finish while catastrophic backtracking stops in well under a second.
std::uint64_t StepBudget(std::size_t programSize, std::size_t subjectLength) noexcept;

struct Span {
  std::size_t begin = kNone;
  std::size_t end = kNone;
  bool Matched() const noexcept { return begin != kNone; }
  std::size_t Length() const noexcept { return Matched() ? end - begin : 0; }
};

struct Match {
  Span whole;
  std::vector<Span> groups;  // one per '{', unmatched Span for a group that took no part
};

namespace detail {
struct Program;
struct ProgramDeleter {
  void operator()(Program* p) const noexcept;
};
using ProgramPtr = std::unique_ptr<Program, ProgramDeleter>;
Status CompileUnits(const std::uint32_t* units, std::size_t n, ProgramPtr& out) noexcept;
std::size_t GroupCount(const Program* p) noexcept;
std::size_t ProgramSize(const Program* p) noexcept;
Status Run(const Program* p, const unsigned char* s, std::size_t n, Match* out, std::uint64_t budget) noexcept;
Status Run(const Program* p, const char16_t* s, std::size_t n, Match* out, std::uint64_t budget) noexcept;
}  // namespace detail

// A compiled pattern over text of CharT: char (bytes) or char16_t (UTF-16).
// Move-only; a pattern is owned by one holder.
template <class CharT>
class Regex {
 public:
  using View = std::basic_string_view<CharT>;

  Regex() noexcept = default;
  Regex(Regex&&) noexcept = default;
  Regex& operator=(Regex&&) noexcept = default;
  Regex(const Regex&) = delete;
  Regex& operator=(const Regex&) = delete;

  // Ok or a compile error. A failed compile leaves the pattern uncompiled.
  Status Compile(View pattern) noexcept;
  bool Compiled() const noexcept { return program_ != nullptr; }
  std::size_t GroupCount() const noexcept { return detail::GroupCount(program_.get()); }

  // Match, NoMatch or an error. Start positions are tried from the left; the position at the
  // very end of a non-empty subject is not tried. To search on after a match, pass the tail
  // (subject.substr(k)): '^' then anchors at k and offsets are relative to it.
  // `out` may be null; it is written only on Match. BudgetExhausted also when backtracking
  // would need more memory than a fixed multiple of the subject's length.
  Status Search(View subject, Match* out = nullptr) const noexcept;
  // The same with an explicit step budget (tests and tools).
  Status Search(View subject, Match* out, std::uint64_t budget) const noexcept;

 private:
  detail::ProgramPtr program_;
};

using Regex8 = Regex<char>;
using Regex16 = Regex<char16_t>;

// Compile and search in one go: Match, NoMatch, a compile error or a search failure.
Status Find(std::string_view pattern, std::string_view subject, Match* out = nullptr) noexcept;
Status Find(std::u16string_view pattern, std::u16string_view subject, Match* out = nullptr) noexcept;

// The result in the checker tool's line format: "nomatch", "error NAME", or
// "match S E" followed by one "group N S E" (or "group N -") line per group, each line
// ending in '\n'. Empty if the string cannot be built.
std::string Describe(Status s, const Match& m) noexcept;

extern template class Regex<char>;
extern template class Regex<char16_t>;

}  // namespace Pattern
