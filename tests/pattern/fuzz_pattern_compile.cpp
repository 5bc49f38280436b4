// Fuzzes pattern text: the input is a pattern, then a NUL, then a subject. Every pattern
// must compile or fail cleanly, and a compiled one must search within its budget with the
// same answer for byte and 16-bit text.
#include <cstddef>
#include <cstdint>

#include "tests/pattern/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view in(reinterpret_cast<const char*>(data), size);
  std::size_t cut = in.find('\0');
  std::string_view pattern = in.substr(0, cut);
  std::string_view subject = cut == std::string_view::npos ? std::string_view("QZ-AB12CD34 V1.23L45A") : in.substr(cut + 1);

  Pattern::Regex8 narrow;
  Pattern::Regex16 wide;
  Pattern::Status s8 = narrow.Compile(pattern);
  Pattern::Status s16 = wide.Compile(PatternFuzz::Widen(pattern));
  PatternFuzz::Require(s8 == s16);
  if (s8 != Pattern::Status::Ok) {
    PatternFuzz::Require(Pattern::IsError(s8) && !narrow.Compiled());
    return 0;
  }
  bool anchored = !pattern.empty() && pattern[0] == '^';
  // A modest budget keeps each input quick; exhausting it is a valid outcome.
  PatternFuzz::CheckBothWidths(narrow, wide, subject, 200000, anchored);
  PatternFuzz::CheckBothWidths(narrow, wide, pattern, 200000, anchored);
  return 0;
}
