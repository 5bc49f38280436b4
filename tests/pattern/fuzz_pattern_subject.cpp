// Fuzzes subjects against the patterns the system uses: the feed's version and Windows
// patterns and every catalogue document marker, with the default budget.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "tests/pattern/fuzz_check.h"

namespace {

const char* const kPatterns[] = {
    R"P(V{\d?\d}\.{\d\d} ?L{\d\d} ?{[A-LN-Z]}? ?(M{\d\d}(.{\d\d})?)?)P",
    R"P({\d+}\.{\d+}\.{\d+}\.{\d+})P",
    R"P(^{([vVsSeEfF](\.[bBuUeEpP]+)?(\.[0-9]?[0-9])?(\.[iIaA]+)?)|([xX](\.[0-9]?[0-9])?)})P",
    R"P({http:[^\b]+})P",
    R"P(/{faq/docs/[a-z0-9]+})P",
    R"P(Vista{.*?}(XP)|$)P",
    R"P({\d\d\d\d/\d\d/\d\d}</td>[^<>]*<td[^<>]*>.+NO:&nbsp;&nbsp;{\d+}</td>)P",
    R"P(<\!--[ \n\r\t]*PP[ \n\r\t]*=[ \n\r\t]*"{\d+.\d+}"[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*TM[ \n\r\t]*-->{.+}<\!--[ \n\r\t]*/[ \n\r\t]*TM[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*OS[ \n\r\t]*-->[ \n\r\t]*{.+}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*OS[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*OS[ \n\r\t]*=[ \n\r\t]*{\q}[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*PV([ \n\r\t]*=[ \n\r\t]*"[ \n\r\t]*{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*"[ \n\r\t]*-->)|([ \n\r\t]*-->[ \n\r\t]*{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*PV[ \n\r\t]*-->))P",
    R"P(<\!--[ \n\r\t]*BN[ \n\r\t]*=[ \n\r\t]*"[ \n\r\t]*{QZ-[A-Z0-9]+}([ \n\r\t]*;[ \n\r\t]*{\d+}[ \n\r\t]*-[ \n\r\t]*{\d+})?[ \n\r\t]*"[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*FD[ \n\r\t]*=[ \n\r\t]*"[ \n\r\t]*{[^;]+};{\d\d\d\d/\d?\d/\d?\d}(;{E})?[ \n\r\t]*"[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*DV[ \n\r\t]*(=[ \n\r\t]*"[ \n\r\t]*{E}[ \n\r\t]*"[ \n\r\t]*)?-->[ \n\r\t]*{\d+\.\d+\.\d+\.\d+}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*DV[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*BV[ \n\r\t]*((=[ \n\r\t]*"{E}"[ \n\r\t]*)?-->{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*BV[ \n\r\t]*-->)|(=[ \n\r\t]*"[ \n\r\t]*{V\d\d?\.\d\dL\d\d[A-Z]? ?(M\d\d)?}[ \n\r\t]*(;[ \n\r\t]*{E}[ \n\r\t]*)?"[ \n\r\t]*-->))P",
    R"P(<a[ \n\r\t]+href="{[^"<>]+}"[^<>]+id="update"[^<>]*>)P",
    R"P(<\!--[ \n\r\t]*US[ \n\r\t]*-->[ \n\r\t]*{.+}[ \n\r\t]*<\!--[ \n\r\t]*/[ \n\r\t]*US[ \n\r\t]*-->)P",
    R"P(<\!--[ \n\r\t]*IC[ \n\r\t]*=[ \n\r\t]*"{\{(-|[0-9a-fA-F])+\}}"[ \n\r\t]*-->)P",
    R"P(^(QZ-AB12CD34)|(QZ-EF56GH78)$)P",
};

struct Compiled {
  std::vector<Pattern::Regex8> narrow;
  std::vector<Pattern::Regex16> wide;
  Compiled() {
    for (const char* p : kPatterns) {
      narrow.emplace_back();
      wide.emplace_back();
      PatternFuzz::Require(narrow.back().Compile(p) == Pattern::Status::Ok);
      PatternFuzz::Require(wide.back().Compile(PatternFuzz::Widen(p)) == Pattern::Status::Ok);
    }
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Compiled compiled;
  std::string_view subject(reinterpret_cast<const char*>(data), size);
  for (std::size_t i = 0; i < compiled.narrow.size(); ++i) {
    std::uint64_t budget = Pattern::StepBudget(0, subject.size());
    PatternFuzz::CheckBothWidths(compiled.narrow[i], compiled.wide[i], subject, budget, kPatterns[i][0] == '^');
  }
  // The same bytes read as UTF-16 code units reach the wide-only paths.
  std::u16string units;
  for (std::size_t i = 0; i + 1 < size; i += 2) units += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  for (std::size_t i = 0; i < compiled.wide.size(); ++i) {
    Pattern::Match m;
    Pattern::Status s = compiled.wide[i].Search(units, &m);
    PatternFuzz::CheckResult(s, m, compiled.wide[i].GroupCount(), units.size(), kPatterns[i][0] == '^');
  }
  return 0;
}
