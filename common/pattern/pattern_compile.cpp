// Pattern text -> syntax tree -> program. The parser follows the grammar in pattern.h; its
// recursion depth is bounded by kMaxNesting, not by the pattern's length.
#include <algorithm>
#include <new>

#include "common/pattern/pattern_program.h"

namespace Pattern {
namespace detail {
namespace {

// The abbreviations, written in the dialect itself. The CR and LF in \n are the characters,
// not escapes: outside brackets "\r" would be a plain 'r'.
struct Abbreviation {
  char name;
  const char* text;
};
constexpr Abbreviation kAbbreviations[] = {
    {'a', "[a-zA-Z0-9]"},
    {'b', "[ \\t]"},
    {'c', "[a-zA-Z]"},
    {'d', "[0-9]"},
    {'h', "[0-9a-fA-F]"},
    {'n', "\r|(\r?\n)"},
    {'q', "(\"[^\"]*\")|('[^']*')"},
    {'w', "[a-zA-Z]+"},
    {'z', "[0-9]+"},
};

const char* FindAbbreviation(std::uint32_t c) {
  for (const Abbreviation& a : kAbbreviations) {
    if (static_cast<unsigned char>(a.name) == c) return a.text;
  }
  return nullptr;
}

enum class Kind : std::uint8_t { Char, Any, Class, End, Concat, Alt, Group, Not, Backref, Repeat };
enum class Quant : std::uint8_t { Star, Plus, Optional };

struct Node {
  Kind kind = Kind::Char;
  bool empty = false;  // can match without consuming
  Quant quant = Quant::Star;
  bool lazy = false;
  std::uint32_t value = 0;  // Char: character; Class: index; Group: group or kNoChar; Backref: group
  std::vector<std::uint32_t> kids;
};

constexpr std::uint32_t kFail = 0xFFFFFFFFu;

class Parser {
 public:
  Parser(const std::uint32_t* p, std::size_t n, Program& prog) : p_(p), n_(n), prog_(prog) {}

  Status Parse(std::uint32_t& root) {
    if (n_ > 0 && p_[0] == '^') {
      prog_.anchored = true;
      i_ = 1;
    }
    root = ParseRE();
    if (root == kFail) return error_;
    if (i_ < n_) return Status::Unexpected;  // a ')' or '}' that closes nothing
    return Status::Ok;
  }

  const std::vector<Node>& nodes() const { return nodes_; }

 private:
  bool AtEnd() const { return i_ >= n_; }
  std::uint32_t Peek() const { return p_[i_]; }
  bool PeekIs(std::uint32_t c) const { return !AtEnd() && p_[i_] == c; }

  std::uint32_t Fail(Status s) {
    if (error_ == Status::Ok) error_ = s;
    return kFail;
  }

  std::uint32_t Add(Kind kind, bool empty, std::uint32_t value = 0) {
    Node n;
    n.kind = kind;
    n.empty = empty;
    n.value = value;
    nodes_.push_back(std::move(n));
    return static_cast<std::uint32_t>(nodes_.size() - 1);
  }

  bool Enter() {
    if (++depth_ > kMaxNesting) {
      Fail(Status::TooDeep);
      return false;
    }
    return true;
  }

  // RE -> AltE RE | AltE: a sequence, ended by the end, ')' or '}'.
  std::uint32_t ParseRE() {
    if (AtEnd() || Peek() == ')' || Peek() == '}') return Fail(Status::Unexpected);
    std::vector<std::uint32_t> kids;
    bool empty = true;
    while (!AtEnd() && Peek() != ')' && Peek() != '}') {
      std::uint32_t k = ParseAltE();
      if (k == kFail) return kFail;
      kids.push_back(k);
      empty = empty && nodes_[k].empty;
    }
    if (kids.size() == 1) return kids[0];
    std::uint32_t n = Add(Kind::Concat, empty);
    nodes_[n].kids = std::move(kids);
    return n;
  }

  // AltE -> E | E '|' AltE: alternatives, tried left first.
  std::uint32_t ParseAltE() {
    std::vector<std::uint32_t> alts;
    bool empty = false;
    for (;;) {
      std::uint32_t e = ParseE();
      if (e == kFail) return kFail;
      alts.push_back(e);
      empty = empty || nodes_[e].empty;
      if (!PeekIs('|')) break;
      ++i_;
    }
    if (alts.size() == 1) return alts[0];
    std::uint32_t n = Add(Kind::Alt, empty);
    nodes_[n].kids = std::move(alts);
    return n;
  }

  // E -> SE ('*' | '+' | '?') '?'?
  std::uint32_t ParseE() {
    std::uint32_t se = ParseSE();
    if (se == kFail || AtEnd()) return se;
    Quant q;
    switch (Peek()) {
      case '*': q = Quant::Star; break;
      case '+': q = Quant::Plus; break;
      case '?': q = Quant::Optional; break;
      default: return se;
    }
    ++i_;
    bool lazy = PeekIs('?');
    if (lazy) ++i_;
    // A loop over something that consumes nothing would never end.
    if (q != Quant::Optional && nodes_[se].empty) return Fail(Status::EmptyRepeat);
    std::uint32_t n = Add(Kind::Repeat, q != Quant::Plus);
    nodes_[n].quant = q;
    nodes_[n].lazy = lazy;
    nodes_[n].kids.push_back(se);
    return n;
  }

  std::uint32_t ParseSE() {
    if (AtEnd()) return Fail(Status::Unexpected);
    std::uint32_t c = Peek();
    switch (c) {
      case '{':
      case '(': return ParseGroup(c == '{');
      case '[': ++i_; return ParseBracket();
      case '\\': ++i_; return ParseEscape();
      case '!': {
        ++i_;
        if (!Enter()) return kFail;
        std::uint32_t body = ParseSE();
        --depth_;
        if (body == kFail) return kFail;
        std::uint32_t n = Add(Kind::Not, true);
        nodes_[n].kids.push_back(body);
        return n;
      }
      case '.': ++i_; return Add(Kind::Any, false);
      case '$':
        ++i_;
        return AtEnd() ? Add(Kind::End, true) : Add(Kind::Char, false, c);
      case '*': case '+': case '?': case '|': case ')': case '}':
        return Fail(Status::Unexpected);
      default: ++i_; return Add(Kind::Char, false, c);
    }
  }

  std::uint32_t ParseGroup(bool numbered) {
    ++i_;
    if (!Enter()) return kFail;
    std::uint32_t group = kNoChar;
    if (numbered) {
      group = prog_.groups++;
      groupEmpty_.push_back(1);  // unknown until closed: treat as possibly empty
    }
    std::uint32_t body = ParseRE();
    --depth_;
    if (body == kFail) return kFail;
    if (!PeekIs(numbered ? '}' : ')')) return Fail(numbered ? Status::BraceExpected : Status::ParenExpected);
    ++i_;
    if (numbered) groupEmpty_[group] = nodes_[body].empty ? 1 : 0;
    std::uint32_t n = Add(Kind::Group, nodes_[body].empty, group);
    nodes_[n].kids.push_back(body);
    return n;
  }

  std::uint32_t ParseEscape() {
    if (AtEnd()) return Fail(Status::Unexpected);
    std::uint32_t c = Peek();
    if (c >= '0' && c <= '9') {
      std::uint32_t g = 0;
      while (!AtEnd() && Peek() >= '0' && Peek() <= '9') {
        g = std::min<std::uint32_t>(g * 10 + (Peek() - '0'), 1000000);
        ++i_;
      }
      if (g >= prog_.groups) return Fail(Status::InvalidGroup);
      return Add(Kind::Backref, groupEmpty_[g] != 0, g);
    }
    ++i_;
    if (const char* text = FindAbbreviation(c)) return ParseAbbreviation(text);
    return Add(Kind::Char, false, c);
  }

  // Parses the abbreviation's text in place of the escape, as one unit.
  std::uint32_t ParseAbbreviation(const char* text) {
    std::vector<std::uint32_t> units;
    for (const char* t = text; *t; ++t) units.push_back(static_cast<unsigned char>(*t));
    const std::uint32_t* savedP = p_;
    std::size_t savedN = n_, savedI = i_;
    p_ = units.data();
    n_ = units.size();
    i_ = 0;
    std::uint32_t body = ParseRE();
    p_ = savedP;
    n_ = savedN;
    i_ = savedI;
    if (body == kFail) return kFail;
    std::uint32_t n = Add(Kind::Group, nodes_[body].empty, kNoChar);
    nodes_[n].kids.push_back(body);
    return n;
  }

  // One character of a bracket expression: "\t" is TAB, any other "\x" is x.
  bool ClassChar(std::uint32_t& c) {
    if (AtEnd()) return false;
    c = Peek();
    ++i_;
    if (c == '\\') {
      if (AtEnd()) return false;
      c = Peek();
      ++i_;
      if (c == 't') c = '\t';
    }
    return true;
  }

  std::uint32_t ParseBracket() {
    CharClass cls;
    if (PeekIs('^')) {
      cls.negated = true;
      ++i_;
    }
    if (AtEnd()) return Fail(Status::BracketExpected);
    if (Peek() == ']') return Fail(Status::EmptyRange);
    std::vector<std::pair<std::uint32_t, std::uint32_t>> ranges;
    for (;;) {
      if (AtEnd()) return Fail(Status::BracketExpected);
      if (Peek() == ']') {
        ++i_;
        break;
      }
      std::uint32_t lo, hi;
      if (!ClassChar(lo)) return Fail(Status::BracketExpected);
      hi = lo;
      if (PeekIs('-')) {
        ++i_;
        if (AtEnd()) return Fail(Status::BracketExpected);
        if (Peek() == ']') return Fail(Status::InvalidRange);
        if (!ClassChar(hi)) return Fail(Status::BracketExpected);
        if (hi < lo) return Fail(Status::InvalidRange);
      }
      ranges.emplace_back(lo, hi);
    }
    std::sort(ranges.begin(), ranges.end());
    for (const auto& r : ranges) {
      for (std::uint32_t c = r.first; c <= r.second && c < 256; ++c) cls.low[c >> 6] |= std::uint64_t{1} << (c & 63);
      if (r.second < 256) continue;
      std::uint32_t from = std::max<std::uint32_t>(r.first, 256);
      if (!cls.high.empty() && from <= cls.high.back().second + 1) {
        cls.high.back().second = std::max(cls.high.back().second, r.second);
      } else {
        cls.high.emplace_back(from, r.second);
      }
    }
    prog_.classes.push_back(std::move(cls));
    return Add(Kind::Class, false, static_cast<std::uint32_t>(prog_.classes.size() - 1));
  }

  const std::uint32_t* p_;
  std::size_t n_;
  std::size_t i_ = 0;
  Program& prog_;
  std::vector<Node> nodes_;
  std::vector<char> groupEmpty_;
  int depth_ = 0;
  Status error_ = Status::Ok;
};

// ---- Code generation.

class Emitter {
 public:
  Emitter(const std::vector<Node>& nodes, Program& prog) : nodes_(nodes), prog_(prog) {}

  void Emit(std::uint32_t id) {
    const Node& n = nodes_[id];
    switch (n.kind) {
      case Kind::Char: Put(Op::Char, n.value); break;
      case Kind::Any: Put(Op::Any); break;
      case Kind::Class: Put(Op::Class, n.value); break;
      case Kind::End: Put(Op::End); break;
      case Kind::Backref: Put(Op::Backref, n.value); break;
      case Kind::Concat:
        for (std::uint32_t k : n.kids) Emit(k);
        break;
      case Kind::Group:
        if (n.value != kNoChar) Put(Op::Open, n.value);
        Emit(n.kids[0]);
        if (n.value != kNoChar) Put(Op::Close, n.value);
        break;
      case Kind::Alt: EmitAlt(n); break;
      case Kind::Not: {
        std::size_t begin = Put(Op::NotBegin);
        Emit(n.kids[0]);
        Put(Op::NotEnd);
        prog_.code[begin].x = Here();
        break;
      }
      case Kind::Repeat: EmitRepeat(n); break;
    }
  }

 private:
  std::size_t Put(Op op, std::uint32_t x = 0, std::uint32_t y = kNoChar) {
    Inst in;
    in.op = op;
    in.x = x;
    in.y = y;
    prog_.code.push_back(in);
    return prog_.code.size() - 1;
  }
  std::uint32_t Here() const { return static_cast<std::uint32_t>(prog_.code.size()); }

  void EmitAlt(const Node& n) {
    std::vector<std::size_t> jumps;
    for (std::size_t k = 0; k + 1 < n.kids.size(); ++k) {
      std::size_t split = Put(Op::Split);
      prog_.code[split].x = Here();
      Emit(n.kids[k]);
      jumps.push_back(Put(Op::Jump));
      prog_.code[split].y = Here();
    }
    Emit(n.kids.back());
    for (std::size_t j : jumps) prog_.code[j].x = Here();
  }

  // The single-character item a repetition is over, if it is one: plain groups around it
  // do not count.
  const Node* SingleItem(std::uint32_t id) const {
    const Node* n = &nodes_[id];
    while (n->kind == Kind::Group && n->value == kNoChar) n = &nodes_[n->kids[0]];
    if (n->kind == Kind::Char || n->kind == Kind::Any || n->kind == Kind::Class) return n;
    return nullptr;
  }

  void EmitRepeat(const Node& n) {
    if (n.quant != Quant::Optional) {
      if (const Node* item = SingleItem(n.kids[0])) {
        std::size_t at = Put(n.lazy ? Op::RunLazy : Op::RunGreedy, item->value);
        Inst& in = prog_.code[at];
        in.item = item->kind == Kind::Char ? Op::Char : item->kind == Kind::Any ? Op::Any : Op::Class;
        in.min = n.quant == Quant::Plus ? 1 : 0;
        return;
      }
    }
    // Split prefers x; a lazy repetition prefers leaving.
    auto split = [&](std::uint32_t stay, std::uint32_t leave) {
      return n.lazy ? Put(Op::Split, leave, stay) : Put(Op::Split, stay, leave);
    };
    switch (n.quant) {
      case Quant::Star: {
        std::uint32_t top = Here();
        std::size_t s = split(top + 1, 0);
        Emit(n.kids[0]);
        Put(Op::Jump, top);
        (n.lazy ? prog_.code[s].x : prog_.code[s].y) = Here();
        break;
      }
      case Quant::Plus: {
        std::uint32_t top = Here();
        Emit(n.kids[0]);
        split(top, Here() + 1);
        break;
      }
      case Quant::Optional: {
        std::size_t s = split(Here() + 1, 0);
        Emit(n.kids[0]);
        (n.lazy ? prog_.code[s].x : prog_.code[s].y) = Here();
        break;
      }
    }
  }

  const std::vector<Node>& nodes_;
  Program& prog_;
};

// The units a match of node `id` can begin with. Returns false when the node can match
// without consuming, in which case what follows it may begin the match too.
class FirstSet {
 public:
  FirstSet(const std::vector<Node>& nodes, const Program& prog, Program& out) : nodes_(nodes), prog_(prog), out_(out) {}

  bool Add(std::uint32_t id) {
    const Node& n = nodes_[id];
    switch (n.kind) {
      case Kind::Char: Set(n.value); return true;
      case Kind::Class: {
        const CharClass& c = prog_.classes[n.value];
        for (int w = 0; w < 4; ++w) out_.firstLow[w] |= c.negated ? ~c.low[w] : c.low[w];
        if (c.negated || !c.high.empty()) out_.firstHigh = true;
        return true;
      }
      case Kind::Any:
      case Kind::Backref: All(); return true;
      case Kind::End: return false;
      case Kind::Not: return false;  // consumes nothing; what follows decides
      case Kind::Group: return Add(n.kids[0]) && !n.empty;
      case Kind::Repeat: return Add(n.kids[0]) && !n.empty;
      case Kind::Alt: {
        bool all = true;
        for (std::uint32_t k : n.kids) all = Add(k) && all;
        return all && !n.empty;
      }
      case Kind::Concat:
        for (std::uint32_t k : n.kids) {
          if (Add(k)) return true;
        }
        return false;
    }
    return false;
  }

 private:
  void Set(std::uint32_t c) {
    if (c < 256) {
      out_.firstLow[c >> 6] |= std::uint64_t{1} << (c & 63);
    } else {
      out_.firstHigh = true;
    }
  }
  void All() {
    for (auto& w : out_.firstLow) w = ~std::uint64_t{0};
    out_.firstHigh = true;
  }

  const std::vector<Node>& nodes_;
  const Program& prog_;
  Program& out_;
};

// The next consuming instruction after a run, when it is a plain character: a greedy run
// gives back characters only where that character follows.
void LinkRuns(Program& prog) {
  for (std::size_t i = 0; i < prog.code.size(); ++i) {
    Inst& in = prog.code[i];
    if (in.op != Op::RunGreedy) continue;
    std::size_t j = i + 1;
    while (j < prog.code.size() && (prog.code[j].op == Op::Open || prog.code[j].op == Op::Close)) ++j;
    if (j < prog.code.size() && prog.code[j].op == Op::Char) in.y = prog.code[j].x;
  }
}

}  // namespace

Status CompileUnits(const std::uint32_t* units, std::size_t n, ProgramPtr& out) noexcept {
  out.reset();
  if (n > kMaxPatternLength) return Status::TooLong;
  try {
    ProgramPtr prog(new Program);
    Parser parser(units, n, *prog);
    std::uint32_t root = 0;
    Status s = parser.Parse(root);
    if (s != Status::Ok) return s;
    Emitter(parser.nodes(), *prog).Emit(root);
    Inst done;
    done.op = Op::Succeed;
    prog->code.push_back(done);
    LinkRuns(*prog);
    prog->useFirst = FirstSet(parser.nodes(), *prog, *prog).Add(root);
    out = std::move(prog);
    return Status::Ok;
  } catch (const std::bad_alloc&) {
    return Status::OutOfMemory;
  } catch (...) {
    return Status::OutOfMemory;
  }
}

void ProgramDeleter::operator()(Program* p) const noexcept { delete p; }

std::size_t GroupCount(const Program* p) noexcept { return p ? p->groups : 0; }
std::size_t ProgramSize(const Program* p) noexcept { return p ? p->code.size() : 0; }

}  // namespace detail
}  // namespace Pattern
