// The backtracking machine. Choice points, capture undo records and '!' barriers live on
// one explicit stack; every instruction, scanned character and undo costs a step, and the
// stack is capped, so a search ends within a budget whatever the pattern and subject.
#include <new>
#include <type_traits>

#include "common/pattern/pattern_program.h"

namespace Pattern {
namespace detail {
namespace {

constexpr std::uint32_t kUnset = 0xFFFFFFFFu;

enum class Tag : std::uint32_t {
  Choice,       // a: pc, b: position
  Barrier,      // a: pc after the '!', b: position
  UndoOpen,     // a: group, b: previous start
  UndoClose,    // a: group, b, c: previous span
  GreedyRun,    // a: pc of the run, b: fewest position, c: current position
  LazyRun,      // a: pc of the run, b: current position
};

struct Entry {
  Tag tag;
  std::uint32_t a, b, c;
};

// Entries the stack may hold: a few per subject character is plenty for real patterns.
std::size_t StackCap(std::size_t programSize, std::size_t n) { return 4096 + 16 * (n + 1) + 4 * programSize; }

template <class Unit>
class Machine {
 public:
  Machine(const Program& prog, const Unit* s, std::uint32_t n, std::uint64_t budget)
      : prog_(prog), s_(s), n_(n), steps_(budget), cap_(StackCap(prog.code.size(), n)) {}

  Status Search(Match* out) {
    pending_.assign(prog_.groups, kUnset);
    begin_.assign(prog_.groups, kUnset);
    end_.assign(prog_.groups, kUnset);
    stack_.reserve(64);
    // The end of a non-empty subject is never a start position.
    std::uint32_t last = prog_.anchored || n_ == 0 ? 0 : n_ - 1;
    for (std::uint32_t start = 0; start <= last; ++start) {
      if (prog_.useFirst && start < n_ && !prog_.CanStartWith(At(start))) continue;
      std::uint32_t end = 0;
      Status s = Attempt(start, end);
      if (s == Status::NoMatch) continue;
      if (s == Status::Match && out) Report(start, end, *out);
      return s;
    }
    return Status::NoMatch;
  }

 private:
  std::uint32_t At(std::uint32_t i) const { return static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(s_[i])); }

  bool Item(const Inst& in, std::uint32_t c) const {
    switch (in.item) {
      case Op::Char: return c == in.x;
      case Op::Class: return prog_.classes[in.x].Contains(c);
      default: return true;
    }
  }

  bool Spend(std::uint64_t k = 1) {
    if (steps_ < k) {
      steps_ = 0;
      return false;
    }
    steps_ -= k;
    return true;
  }

  bool Push(Tag t, std::uint32_t a, std::uint32_t b, std::uint32_t c = 0) {
    if (stack_.size() >= cap_) return false;
    stack_.push_back(Entry{t, a, b, c});
    return true;
  }

  void Undo(const Entry& e) {
    if (e.tag == Tag::UndoOpen) {
      pending_[e.a] = e.b;
    } else if (e.tag == Tag::UndoClose) {
      begin_[e.a] = e.b;
      end_[e.a] = e.c;
    }
  }

  // Runs the program from `start`. Match (with `end`), NoMatch or BudgetExhausted.
  Status Attempt(std::uint32_t start, std::uint32_t& end) {
    const std::vector<Inst>& code = prog_.code;
    std::uint32_t pc = 0;
    std::uint32_t pos = start;
    stack_.clear();
    for (;;) {
      if (!Spend()) return Status::BudgetExhausted;
      const Inst& in = code[pc];
      bool ok = true;
      switch (in.op) {
        case Op::Char: ok = pos < n_ && At(pos) == in.x; ++pos; ++pc; break;
        case Op::Any: ok = pos < n_; ++pos; ++pc; break;
        case Op::Class: ok = pos < n_ && prog_.classes[in.x].Contains(At(pos)); ++pos; ++pc; break;
        case Op::End: ok = pos == n_; ++pc; break;
        case Op::Split:
          if (!Push(Tag::Choice, in.y, pos)) return Status::BudgetExhausted;
          pc = in.x;
          break;
        case Op::Jump: pc = in.x; break;
        case Op::Open:
          if (!Push(Tag::UndoOpen, in.x, pending_[in.x])) return Status::BudgetExhausted;
          pending_[in.x] = pos;
          ++pc;
          break;
        case Op::Close:
          if (!Push(Tag::UndoClose, in.x, begin_[in.x], end_[in.x])) return Status::BudgetExhausted;
          begin_[in.x] = pending_[in.x];
          end_[in.x] = pos;
          ++pc;
          break;
        case Op::Backref: ok = Backref(in.x, pos); ++pc; break;
        case Op::NotBegin:
          if (!Push(Tag::Barrier, in.x, pos)) return Status::BudgetExhausted;
          ++pc;
          break;
        case Op::NotEnd:
          // The body matched: drop its choices and undo its captures down to the barrier,
          // then fail the '!'.
          while (!stack_.empty()) {
            Entry e = stack_.back();
            stack_.pop_back();
            if (e.tag == Tag::Barrier) break;
            Undo(e);
          }
          ok = false;
          break;
        case Op::RunGreedy: {
          std::uint32_t k = 0;
          while (pos + k < n_ && Item(in, At(pos + k))) {
            if (!Spend()) return Status::BudgetExhausted;
            ++k;
          }
          if (k < in.min) {
            ok = false;
            break;
          }
          if (k > in.min && !Push(Tag::GreedyRun, pc, pos + in.min, pos + k)) return Status::BudgetExhausted;
          pos += k;
          ++pc;
          break;
        }
        case Op::RunLazy:
          if (in.min) {
            ok = pos < n_ && Item(in, At(pos));
            ++pos;
          }
          if (ok && !Push(Tag::LazyRun, pc, pos)) return Status::BudgetExhausted;
          ++pc;
          break;
        case Op::Succeed: end = pos; return Status::Match;
      }
      if (ok) continue;
      Status s = Backtrack(pc, pos);
      if (s != Status::Ok) return s;
    }
  }

  bool Backref(std::uint32_t g, std::uint32_t& pos) {
    if (begin_[g] == kUnset) return false;
    std::uint32_t len = end_[g] - begin_[g];
    if (n_ - pos < len || !Spend(len)) return false;
    for (std::uint32_t i = 0; i < len; ++i) {
      if (s_[begin_[g] + i] != s_[pos + i]) return false;
    }
    pos += len;
    return true;
  }

  // Resumes at the latest choice: Ok with pc and pos set, NoMatch when none is left.
  Status Backtrack(std::uint32_t& pc, std::uint32_t& pos) {
    for (;;) {
      // The budget first: a step refused inside a back-reference must not pass for a failure.
      if (!Spend()) return Status::BudgetExhausted;
      if (stack_.empty()) return Status::NoMatch;
      Entry& e = stack_.back();
      switch (e.tag) {
        case Tag::Choice:
        case Tag::Barrier:  // the '!' body failed, so the '!' succeeds
          pc = e.a;
          pos = e.b;
          stack_.pop_back();
          return Status::Ok;
        case Tag::UndoOpen:
        case Tag::UndoClose:
          Undo(e);
          stack_.pop_back();
          break;
        case Tag::GreedyRun: {
          const Inst& in = prog_.code[e.a];
          if (e.c <= e.b) {
            stack_.pop_back();
            break;
          }
          std::uint32_t at = e.c - 1;
          if (in.y != kNoChar) {
            // Only a position where the following character stands can succeed.
            while (at > e.b && At(at) != in.y) {
              if (!Spend()) return Status::BudgetExhausted;
              --at;
            }
            if (At(at) != in.y) {
              stack_.pop_back();
              break;
            }
          }
          e.c = at;
          pc = e.a + 1;
          pos = at;
          if (at == e.b) stack_.pop_back();
          return Status::Ok;
        }
        case Tag::LazyRun: {
          const Inst& in = prog_.code[e.a];
          if (e.b >= n_ || !Item(in, At(e.b))) {
            stack_.pop_back();
            break;
          }
          ++e.b;
          pc = e.a + 1;
          pos = e.b;
          return Status::Ok;
        }
      }
    }
  }

  void Report(std::uint32_t start, std::uint32_t end, Match& out) const {
    out.whole.begin = start;
    out.whole.end = end;
    out.groups.assign(prog_.groups, Span{});
    for (std::uint32_t g = 0; g < prog_.groups; ++g) {
      if (begin_[g] == kUnset) continue;
      out.groups[g].begin = begin_[g];
      out.groups[g].end = end_[g];
    }
  }

  const Program& prog_;
  const Unit* s_;
  std::uint32_t n_;
  std::uint64_t steps_;
  std::size_t cap_;
  std::vector<Entry> stack_;
  std::vector<std::uint32_t> pending_, begin_, end_;
};

template <class Unit>
Status RunAny(const Program* p, const Unit* s, std::size_t n, Match* out, std::uint64_t budget) noexcept {
  if (!p) return Status::NotCompiled;
  if (n > kMaxSubjectLength) return Status::TooLong;
  try {
    Match m;
    Status st = Machine<Unit>(*p, s, static_cast<std::uint32_t>(n), budget).Search(out ? &m : nullptr);
    if (st == Status::Match && out) *out = std::move(m);
    return st;
  } catch (...) {
    return Status::OutOfMemory;
  }
}

}  // namespace

Status Run(const Program* p, const unsigned char* s, std::size_t n, Match* out, std::uint64_t budget) noexcept {
  return RunAny(p, s, n, out, budget);
}
Status Run(const Program* p, const char16_t* s, std::size_t n, Match* out, std::uint64_t budget) noexcept {
  return RunAny(p, s, n, out, budget);
}

}  // namespace detail

std::uint64_t StepBudget(std::size_t programSize, std::size_t subjectLength) noexcept {
  return 1000000 + 256 * (static_cast<std::uint64_t>(subjectLength) + programSize);
}

namespace {

const unsigned char* Units(const char* s) { return reinterpret_cast<const unsigned char*>(s); }
const char16_t* Units(const char16_t* s) { return s; }

template <class CharT>
Status CompileView(std::basic_string_view<CharT> pattern, detail::ProgramPtr& out) noexcept {
  out.reset();
  if (pattern.size() > kMaxPatternLength) return Status::TooLong;
  try {
    std::vector<std::uint32_t> units(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      units[i] = static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<CharT>>(pattern[i]));
    }
    return detail::CompileUnits(units.data(), units.size(), out);
  } catch (...) {
    return Status::OutOfMemory;
  }
}

}  // namespace

template <class CharT>
Status Regex<CharT>::Compile(View pattern) noexcept {
  return CompileView(pattern, program_);
}

template <class CharT>
Status Regex<CharT>::Search(View subject, Match* out) const noexcept {
  return Search(subject, out, StepBudget(detail::ProgramSize(program_.get()), subject.size()));
}

template <class CharT>
Status Regex<CharT>::Search(View subject, Match* out, std::uint64_t budget) const noexcept {
  return detail::Run(program_.get(), Units(subject.data()), subject.size(), out, budget);
}

template class Regex<char>;
template class Regex<char16_t>;

Status Find(std::string_view pattern, std::string_view subject, Match* out) noexcept {
  Regex8 re;
  Status s = re.Compile(pattern);
  return s == Status::Ok ? re.Search(subject, out) : s;
}

Status Find(std::u16string_view pattern, std::u16string_view subject, Match* out) noexcept {
  Regex16 re;
  Status s = re.Compile(pattern);
  return s == Status::Ok ? re.Search(subject, out) : s;
}

}  // namespace Pattern
