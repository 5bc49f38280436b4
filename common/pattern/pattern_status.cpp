#include "common/pattern/pattern.h"

namespace Pattern {

namespace {
struct Named {
  Status status;
  const char* name;
};
constexpr Named kNames[] = {
    {Status::Ok, "ok"},
    {Status::Match, "match"},
    {Status::NoMatch, "nomatch"},
    {Status::BraceExpected, "brace_expected"},
    {Status::ParenExpected, "paren_expected"},
    {Status::BracketExpected, "bracket_expected"},
    {Status::Unexpected, "unexpected"},
    {Status::EmptyRange, "empty_range"},
    {Status::InvalidGroup, "invalid_group"},
    {Status::InvalidRange, "invalid_range"},
    {Status::EmptyRepeat, "empty_repeat"},
    {Status::TooLong, "too_long"},
    {Status::TooDeep, "too_deep"},
    {Status::BudgetExhausted, "budget_exhausted"},
    {Status::NotCompiled, "not_compiled"},
    {Status::OutOfMemory, "out_of_memory"},
};

void AppendSpan(std::string& out, std::size_t begin, std::size_t end) {
  out += ' ';
  out += std::to_string(begin);
  out += ' ';
  out += std::to_string(end);
}
}  // namespace

const char* StatusName(Status s) noexcept {
  for (const Named& n : kNames) {
    if (n.status == s) return n.name;
  }
  return "unknown";
}

bool IsError(Status s) noexcept { return s != Status::Ok && s != Status::Match && s != Status::NoMatch; }

std::string Describe(Status s, const Match& m) noexcept {
  try {
    std::string out;
    if (s != Status::Match) {
      if (IsError(s)) out = "error ";
      out += StatusName(s);
      out += '\n';
      return out;
    }
    out = "match";
    AppendSpan(out, m.whole.begin, m.whole.end);
    out += '\n';
    for (std::size_t g = 0; g < m.groups.size(); ++g) {
      out += "group " + std::to_string(g);
      if (m.groups[g].Matched()) {
        AppendSpan(out, m.groups[g].begin, m.groups[g].end);
      } else {
        out += " -";
      }
      out += '\n';
    }
    return out;
  } catch (...) {
    return std::string();
  }
}

}  // namespace Pattern
