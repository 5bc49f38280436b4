#include "modules/registration/qr_segment.h"

#include <cstdint>

namespace qr {
namespace {

constexpr int kModeIndicatorBits = 4;

// Count-field widths by mode (numeric, alphanumeric, byte, Kanji) and version group.
constexpr int kCountBits[4][kVersionGroups] = {
    {10, 12, 14},
    {9, 11, 13},
    {8, 16, 16},
    {8, 10, 12},
};

constexpr int kGroupFirst[kVersionGroups] = {1, 10, 27};
constexpr int kGroupLast[kVersionGroups] = {9, 26, 40};

Mode ClassAt(const uint8_t* text, size_t length, size_t i, size_t& width) {
  if (i + 1 < length && IsKanjiPair(text[i], text[i + 1])) {
    width = 2;
    return Mode::Kanji;
  }
  width = 1;
  const uint8_t c = text[i];
  if (c >= '0' && c <= '9') return Mode::Numeric;
  if (IsAlphanumericChar(c)) return Mode::Alphanumeric;
  return Mode::Byte;
}

size_t Bits(const Run& run, int group) { return RunBits(run.mode, run.length, group); }

// The runs during the merge passes, as a gap buffer: the passes erase next to where they
// are, and vector::erase there would move the whole tail each time (quadratic for the
// alternating digits and letters of a hex query).
class RunBuffer {
 public:
  explicit RunBuffer(std::vector<Run>& runs) : runs_(runs) {}
  ~RunBuffer() {
    MoveGapTo(size());
    runs_.resize(gapBegin_);
  }
  RunBuffer(const RunBuffer&) = delete;
  RunBuffer& operator=(const RunBuffer&) = delete;

  size_t size() const { return runs_.size() - (gapEnd_ - gapBegin_); }
  Run& operator[](size_t i) { return runs_[i < gapBegin_ ? i : i + (gapEnd_ - gapBegin_)]; }
  void erase(size_t i) {
    MoveGapTo(i);
    ++gapEnd_;
  }

 private:
  // Afterwards the runs before `i` precede the gap and run `i` follows it.
  void MoveGapTo(size_t i) {
    while (gapBegin_ > i) runs_[--gapEnd_] = runs_[--gapBegin_];
    while (gapBegin_ < i) runs_[gapBegin_++] = runs_[gapEnd_++];
  }

  std::vector<Run>& runs_;
  size_t gapBegin_ = 0;
  size_t gapEnd_ = 0;
};

// Joins runs[i + 1] into runs[i] under `mode`.
void JoinNext(RunBuffer& runs, size_t i, Mode mode) {
  runs[i].mode = mode;
  runs[i].length += runs[i + 1].length;
  runs.erase(i + 1);
}

bool IsNumericAlphanumericPair(Mode a, Mode b) {
  return (a == Mode::Numeric && b == Mode::Alphanumeric) || (a == Mode::Alphanumeric && b == Mode::Numeric);
}

}  // namespace

int VersionGroup(int version) { return version <= 9 ? 0 : (version <= 26 ? 1 : 2); }
int GroupFirstVersion(int group) { return kGroupFirst[group]; }
int GroupLastVersion(int group) { return kGroupLast[group]; }

int CountBits(Mode mode, int group) { return kCountBits[static_cast<int>(mode)][group]; }

size_t MaxCount(Mode mode, int group) { return (size_t{1} << CountBits(mode, group)) - 1; }

bool IsAlphanumericChar(uint8_t c) { return AlphanumericValue(c) >= 0; }

int AlphanumericValue(uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  static constexpr char kSymbols[] = " $%*+-./:";
  for (int i = 0; kSymbols[i] != '\0'; ++i) {
    if (static_cast<uint8_t>(kSymbols[i]) == c) return 36 + i;
  }
  return -1;
}

bool IsKanjiPair(uint8_t first, uint8_t second) {
  const bool lowBlock = first >= 0x81 && first <= 0x9F;
  const bool highBlock = first >= 0xE0 && first <= 0xEB;
  if (!(lowBlock || highBlock) || second < 0x40) return false;
  // The two Kanji-mode ranges end at 0x9FFC and 0xEBBF.
  if (first == 0x9F && second > 0xFC) return false;
  if (first == 0xEB && second >= 0xC0) return false;
  return true;
}

uint16_t KanjiValue(uint8_t first, uint8_t second) {
  unsigned code = (static_cast<unsigned>(first) << 8) | second;
  code -= (code <= 0x9FFC) ? 0x8140 : 0xC140;
  return static_cast<uint16_t>((code >> 8) * 0xC0 + (code & 0xFF));
}

size_t RunBits(Mode mode, size_t n, int group) {
  const size_t head = kModeIndicatorBits + static_cast<size_t>(CountBits(mode, group));
  switch (mode) {
    case Mode::Numeric: {
      static constexpr size_t kTail[3] = {0, 4, 7};
      return head + 10 * (n / 3) + kTail[n % 3];
    }
    case Mode::Alphanumeric:
      return head + 11 * (n / 2) + 6 * (n % 2);
    case Mode::Byte:
      return head + 8 * n;
    case Mode::Kanji:
      return head + 13 * (n / 2);
  }
  return SIZE_MAX;
}

std::vector<Run> ClassifyRuns(const uint8_t* text, size_t length) {
  std::vector<Run> runs;
  size_t i = 0;
  while (i < length) {
    size_t width = 1;
    const Mode mode = ClassAt(text, length, i, width);
    if (!runs.empty() && runs.back().mode == mode) {
      runs.back().length += width;
    } else {
      runs.push_back(Run{mode, i, width});
    }
    i += width;
  }
  return runs;
}

// A numeric/alphanumeric pair (A, B) is only touched when one alphanumeric run for both is
// cheaper than the two. Even then the numeric one may be better off folded into an 8-bit run
// beside it: A into a byte run P just before, or B into a byte run N just after. A fold
// survives when it costs no more than the alphanumeric merge with the byte run left as it is.
//
// Choices where the rule could be read two ways:
// - Were both folds to survive, they would be compared by their saving over that merge, that
//   is over the same span P, A, B, N, the fold after B winning a tie. It cannot happen: the
//   pair's alphanumeric run costs 8 bits a character as bytes against at most 6 in the merge,
//   so only the fold of the numeric run can survive.
// - "The same position" after a merge is the merged run, which moves one place back when it
//   absorbs an alphanumeric run before it; it is then paired with the run after it.
void MergeAlphanumericPass(std::vector<Run>& all, int group) {
  RunBuffer runs(all);
  size_t i = 0;
  while (i + 1 < runs.size()) {
    const Run a = runs[i];
    const Run b = runs[i + 1];
    if (!IsNumericAlphanumericPair(a.mode, b.mode)) {
      ++i;
      continue;
    }
    const size_t merged = RunBits(Mode::Alphanumeric, a.length + b.length, group);
    if (merged >= Bits(a, group) + Bits(b, group)) {
      ++i;
      continue;
    }

    bool foldBefore = false;
    size_t gainBefore = 0;
    if (i > 0 && runs[i - 1].mode == Mode::Byte) {
      const size_t keep = merged + Bits(runs[i - 1], group);
      const size_t fold = RunBits(Mode::Byte, runs[i - 1].length + a.length, group) + Bits(b, group);
      foldBefore = fold <= keep;
      gainBefore = foldBefore ? keep - fold : 0;
    }
    bool foldAfter = false;
    size_t gainAfter = 0;
    if (i + 2 < runs.size() && runs[i + 2].mode == Mode::Byte) {
      const size_t keep = merged + Bits(runs[i + 2], group);
      const size_t fold = Bits(a, group) + RunBits(Mode::Byte, runs[i + 2].length + b.length, group);
      foldAfter = fold <= keep;
      gainAfter = foldAfter ? keep - fold : 0;
    }

    if (foldAfter && (!foldBefore || gainAfter >= gainBefore)) {
      runs[i + 2].start = b.start;
      runs[i + 2].length += b.length;
      runs.erase(i + 1);
      continue;
    }
    if (foldBefore) {
      runs[i - 1].length += a.length;
      runs.erase(i);
      continue;
    }

    JoinNext(runs, i, Mode::Alphanumeric);
    if (i + 1 < runs.size() && runs[i + 1].mode == Mode::Alphanumeric) JoinNext(runs, i, Mode::Alphanumeric);
    if (i > 0 && runs[i - 1].mode == Mode::Alphanumeric) {
      JoinNext(runs, i - 1, Mode::Alphanumeric);
      --i;
    }
  }
}

// The pair (A, B) becomes one 8-bit run when that costs less than A and B as they are.
// Choice where the rule could be read two ways: an 8-bit run directly before or after is
// absorbed too, and the header it no longer needs (4 + the byte count width of the group,
// whatever the pair's modes) counts as saved, so the comparison covers the whole span. This
// choice changes bit counts: "ab12345cd" becomes one byte run of 84 bits rather than staying
// 28 + 31 + 28 = 87.
//
// "One run back" is taken from the merged run, so the run in front of it is paired with it
// next. (Its verdict cannot change: growing a byte run does not change what joining it costs.)
void MergeBytePass(std::vector<Run>& all, int group) {
  RunBuffer runs(all);
  const size_t byteHead = kModeIndicatorBits + static_cast<size_t>(CountBits(Mode::Byte, group));
  size_t i = 0;
  while (i + 1 < runs.size()) {
    const bool byteBefore = i > 0 && runs[i - 1].mode == Mode::Byte;
    const bool byteAfter = i + 2 < runs.size() && runs[i + 2].mode == Mode::Byte;
    const size_t joined = RunBits(Mode::Byte, runs[i].length + runs[i + 1].length, group);
    const size_t saved = byteHead * ((byteBefore ? 1 : 0) + (byteAfter ? 1 : 0));
    if (joined >= Bits(runs[i], group) + Bits(runs[i + 1], group) + saved) {
      ++i;
      continue;
    }
    JoinNext(runs, i, Mode::Byte);
    if (byteAfter) JoinNext(runs, i, Mode::Byte);
    if (byteBefore) {
      JoinNext(runs, i - 1, Mode::Byte);
      --i;
    }
    if (i > 0) --i;
  }
}

std::vector<Run> Segment(const uint8_t* text, size_t length, int group) {
  std::vector<Run> runs = ClassifyRuns(text, length);
  MergeAlphanumericPass(runs, group);
  MergeBytePass(runs, group);
  return runs;
}

size_t StreamBits(const std::vector<Run>& runs, int group) {
  size_t total = 0;
  for (const Run& run : runs) {
    if (run.mode == Mode::Kanji && run.length % 2 != 0) return SIZE_MAX;
    const size_t count = run.mode == Mode::Kanji ? run.length / 2 : run.length;
    if (count == 0 || count > MaxCount(run.mode, group)) return SIZE_MAX;
    total += Bits(run, group);
  }
  return total;
}

}  // namespace qr
