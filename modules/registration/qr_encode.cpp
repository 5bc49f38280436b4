#include "modules/registration/qr_encode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace qr {
namespace {

// ---- Tables (ISO/IEC 18004), indexed [level L, M, Q, H][version 1..40].

constexpr int8_t kEccPerBlock[4][kMaxVersion] = {
    {7,  10, 15, 20, 26, 18, 20, 24, 30, 18, 20, 24, 26, 30, 22, 24, 28, 30, 28, 28,
     28, 28, 30, 30, 26, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {10, 16, 26, 18, 24, 16, 18, 22, 22, 26, 30, 22, 22, 24, 24, 28, 28, 26, 26, 26,
     26, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28, 28},
    {13, 22, 18, 26, 18, 24, 18, 22, 20, 24, 28, 26, 24, 20, 30, 24, 28, 28, 26, 30,
     28, 30, 30, 30, 30, 28, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
    {17, 28, 22, 16, 22, 28, 26, 26, 24, 28, 24, 28, 22, 24, 24, 30, 28, 28, 26, 28,
     30, 24, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30, 30},
};

constexpr int8_t kBlocks[4][kMaxVersion] = {
    {1,  1,  1,  1,  1,  2,  2,  2,  2,  4,  4,  4,  4,  4,  6,  6,  6,  6,  7,  8,
     8,  9,  9,  10, 12, 12, 12, 13, 14, 15, 16, 17, 18, 19, 19, 20, 21, 22, 24, 25},
    {1,  1,  1,  2,  2,  4,  4,  4,  5,  5,  5,  8,  9,  9,  10, 10, 11, 13, 14, 16,
     17, 17, 18, 20, 21, 23, 25, 26, 28, 29, 31, 33, 35, 37, 38, 40, 43, 45, 47, 49},
    {1,  1,  2,  2,  4,  4,  6,  6,  8,  8,  8,  10, 12, 16, 12, 17, 16, 18, 21, 20,
     23, 23, 25, 27, 29, 34, 34, 35, 38, 40, 43, 45, 48, 51, 53, 56, 59, 62, 65, 68},
    {1,  1,  2,  4,  4,  4,  5,  6,  8,  8,  11, 11, 16, 16, 18, 16, 19, 21, 25, 25,
     25, 34, 30, 32, 35, 37, 40, 42, 45, 48, 51, 54, 57, 60, 63, 66, 70, 74, 77, 81},
};

// Alignment pattern centres per version; a zero ends a row.
constexpr uint8_t kAlignment[kMaxVersion][7] = {
    {0},
    {6, 18},
    {6, 22},
    {6, 26},
    {6, 30},
    {6, 34},
    {6, 22, 38},
    {6, 24, 42},
    {6, 26, 46},
    {6, 28, 50},
    {6, 30, 54},
    {6, 32, 58},
    {6, 34, 62},
    {6, 26, 46, 66},
    {6, 26, 48, 70},
    {6, 26, 50, 74},
    {6, 30, 54, 78},
    {6, 30, 56, 82},
    {6, 30, 58, 86},
    {6, 34, 62, 90},
    {6, 28, 50, 72, 94},
    {6, 26, 50, 74, 98},
    {6, 30, 54, 78, 102},
    {6, 28, 54, 80, 106},
    {6, 32, 58, 84, 110},
    {6, 30, 58, 86, 114},
    {6, 34, 62, 90, 118},
    {6, 26, 50, 74, 98, 122},
    {6, 30, 54, 78, 102, 126},
    {6, 26, 52, 78, 104, 130},
    {6, 30, 56, 82, 108, 134},
    {6, 34, 60, 86, 112, 138},
    {6, 30, 58, 86, 114, 142},
    {6, 34, 62, 90, 118, 146},
    {6, 30, 54, 78, 102, 126, 150},
    {6, 24, 50, 76, 102, 128, 154},
    {6, 28, 54, 80, 106, 132, 158},
    {6, 32, 58, 84, 110, 136, 162},
    {6, 26, 54, 82, 110, 138, 166},
    {6, 30, 58, 86, 114, 142, 170},
};

constexpr uint8_t kModeIndicator[4] = {0x1, 0x2, 0x4, 0x8};  // numeric, alphanumeric, byte, Kanji
constexpr uint8_t kPadCodewords[2] = {0xEC, 0x11};
constexpr uint8_t kFormatLevelBits[4] = {1, 0, 3, 2};  // L, M, Q, H

// ---- GF(256) over x^8 + x^4 + x^3 + x^2 + 1, by exponent and logarithm tables.

struct GaloisTables {
  uint8_t exp[512];
  uint8_t log[256];
};

constexpr GaloisTables MakeGaloisTables() {
  GaloisTables t{};
  unsigned value = 1;
  for (int i = 0; i < 255; ++i) {
    t.exp[i] = static_cast<uint8_t>(value);
    t.log[value] = static_cast<uint8_t>(i);
    value <<= 1;
    if (value & 0x100) value ^= 0x11D;
  }
  for (int i = 255; i < 512; ++i) t.exp[i] = t.exp[i - 255];
  return t;
}

constexpr GaloisTables kGf = MakeGaloisTables();

uint8_t GfMultiply(uint8_t a, uint8_t b) {
  if (a == 0 || b == 0) return 0;
  return kGf.exp[kGf.log[a] + kGf.log[b]];
}

// ---- Bits into a fixed buffer, most significant bit first.

class BitWriter {
 public:
  BitWriter(uint8_t* out, size_t capacityBytes) : out_(out), capacityBits_(capacityBytes * 8) {
    std::memset(out, 0, capacityBytes);
  }
  bool Put(uint32_t value, int bits) {
    if (bits > static_cast<int>(capacityBits_ - used_)) return false;
    for (int i = bits - 1; i >= 0; --i) {
      if ((value >> i) & 1) out_[used_ / 8] |= static_cast<uint8_t>(0x80 >> (used_ % 8));
      ++used_;
    }
    return true;
  }
  size_t Used() const { return used_; }
  size_t Capacity() const { return capacityBits_; }

 private:
  uint8_t* out_;
  size_t capacityBits_;
  size_t used_ = 0;
};

bool PutRunData(BitWriter& w, const uint8_t* p, const Run& run) {
  const size_t n = run.length;
  switch (run.mode) {
    case Mode::Numeric:
      for (size_t i = 0; i < n; i += 3) {
        const size_t digits = std::min<size_t>(3, n - i);
        uint32_t value = 0;
        for (size_t k = 0; k < digits; ++k) {
          if (p[i + k] < '0' || p[i + k] > '9') return false;
          value = value * 10 + (p[i + k] - '0');
        }
        if (!w.Put(value, static_cast<int>(digits * 3 + 1))) return false;  // 10, 7 or 4 bits
      }
      return true;
    case Mode::Alphanumeric:
      for (size_t i = 0; i < n; i += 2) {
        const int first = AlphanumericValue(p[i]);
        if (first < 0) return false;
        if (i + 1 < n) {
          const int second = AlphanumericValue(p[i + 1]);
          if (second < 0 || !w.Put(static_cast<uint32_t>(first * 45 + second), 11)) return false;
        } else if (!w.Put(static_cast<uint32_t>(first), 6)) {
          return false;
        }
      }
      return true;
    case Mode::Byte:
      for (size_t i = 0; i < n; ++i) {
        if (!w.Put(p[i], 8)) return false;
      }
      return true;
    case Mode::Kanji:
      if (n % 2 != 0) return false;
      for (size_t i = 0; i < n; i += 2) {
        if (!IsKanjiPair(p[i], p[i + 1]) || !w.Put(KanjiValue(p[i], p[i + 1]), 13)) return false;
      }
      return true;
  }
  return false;
}

// A Reed-Solomon generator (x - a^0)(x - a^1)...(x - a^(degree-1)), leading coefficient 1
// left implicit; coefficient[0] belongs to x^(degree-1). Kept as logarithms, because every
// use multiplies it by one factor; kZero marks a zero coefficient.
struct RsGenerator {
  static constexpr int kZero = -1;
  int degree = 0;
  int logCoefficient[kMaxEccDegree] = {};
};

RsGenerator Generator(int degree) {
  uint8_t generator[kMaxEccDegree] = {};
  generator[degree - 1] = 1;
  uint8_t root = 1;
  for (int i = 0; i < degree; ++i) {
    for (int j = 0; j < degree; ++j) {
      generator[j] = GfMultiply(generator[j], root);
      if (j + 1 < degree) generator[j] ^= generator[j + 1];
    }
    root = GfMultiply(root, 2);
  }
  RsGenerator g;
  g.degree = degree;
  for (int j = 0; j < degree; ++j) g.logCoefficient[j] = generator[j] == 0 ? RsGenerator::kZero : kGf.log[generator[j]];
  return g;
}

// The remainder of data(x) * x^degree divided by the generator: a shift register that shifts
// and adds in one pass.
void RemainderOf(const RsGenerator& g, const uint8_t* data, size_t length, uint8_t* ecc) {
  const int degree = g.degree;
  std::memset(ecc, 0, static_cast<size_t>(degree));
  for (size_t i = 0; i < length; ++i) {
    const uint8_t factor = data[i] ^ ecc[0];
    if (factor == 0) {
      for (int j = 0; j + 1 < degree; ++j) ecc[j] = ecc[j + 1];
      ecc[degree - 1] = 0;
      continue;
    }
    const int logFactor = kGf.log[factor];
    for (int j = 0; j < degree; ++j) {
      const uint8_t next = j + 1 < degree ? ecc[j + 1] : 0;
      const int logC = g.logCoefficient[j];
      ecc[j] = static_cast<uint8_t>(next ^ (logC == RsGenerator::kZero ? 0 : kGf.exp[logC + logFactor]));
    }
  }
}

size_t RawDataModules(int version) {
  const size_t size = static_cast<size_t>(SymbolSize(version));
  // Finders with separators, both timing lines, both format copies and the dark module.
  size_t modules = size * size - 3 * 64 - 2 * (size - 16) - 31;
  if (version >= 2) {
    const size_t k = static_cast<size_t>(AlignmentPositions(version).count);
    // Patterns on a timing line share 5 modules with it.
    modules -= (k * k - 3) * 25 - 2 * (k - 2) * 5;
  }
  if (version >= 7) modules -= 36;
  return modules;
}

void DrawFinder(Symbol& s, int left, int top) {
  // The 7x7 pattern and its one-module light separator, clipped at the edges.
  for (int dy = -1; dy <= 7; ++dy) {
    for (int dx = -1; dx <= 7; ++dx) {
      const int x = left + dx;
      const int y = top + dy;
      if (x < 0 || y < 0 || x >= s.Size() || y >= s.Size()) continue;
      const int ring = std::max(std::abs(dx - 3), std::abs(dy - 3));
      s.SetFunction(x, y, ring != 2 && ring != 4);
    }
  }
}

void DrawAlignment(Symbol& s, int cx, int cy) {
  for (int dy = -2; dy <= 2; ++dy) {
    for (int dx = -2; dx <= 2; ++dx) s.SetFunction(cx + dx, cy + dy, std::max(std::abs(dx), std::abs(dy)) != 1);
  }
}

void DrawFormat(Symbol& s) {
  const int n = s.Size();
  const uint16_t bits = FormatBits(s.Level(), s.Mask());
  auto bit = [bits](int i) { return ((bits >> i) & 1) != 0; };
  // Copy beside the top-left finder: bits 0-7 down column 8 (skipping the timing row),
  // bits 8-14 leftwards along row 8 (skipping the timing column).
  for (int i = 0; i <= 5; ++i) s.SetFunction(8, i, bit(i));
  s.SetFunction(8, 7, bit(6));
  s.SetFunction(8, 8, bit(7));
  s.SetFunction(7, 8, bit(8));
  for (int i = 9; i <= 14; ++i) s.SetFunction(14 - i, 8, bit(i));
  // Second copy: bits 0-7 along row 8 from the right edge, bits 8-14 up to the bottom edge.
  for (int i = 0; i <= 7; ++i) s.SetFunction(n - 1 - i, 8, bit(i));
  for (int i = 8; i <= 14; ++i) s.SetFunction(8, n - 15 + i, bit(i));
  s.SetFunction(8, n - 8, true);  // the dark module
}

void DrawVersion(Symbol& s) {
  if (s.Version() < 7) return;
  const uint32_t bits = VersionBits(s.Version());
  const int n = s.Size();
  for (int i = 0; i < 18; ++i) {
    const bool dark = ((bits >> i) & 1) != 0;
    const int across = n - 11 + i % 3;
    const int along = i / 3;
    s.SetFunction(across, along, dark);  // above the top-right finder
    s.SetFunction(along, across, dark);  // left of the bottom-left finder
  }
}

}  // namespace

const char* StatusName(EncodeStatus status) {
  switch (status) {
    case EncodeStatus::Ok:
      return "ok";
    case EncodeStatus::EmptyInput:
      return "empty input";
    case EncodeStatus::TooLong:
      return "data does not fit";
    case EncodeStatus::InvalidOptions:
      return "invalid options";
    case EncodeStatus::OutOfMemory:
      return "out of memory";
  }
  return "unknown";
}

void Symbol::Reset(int version, Ecc ecc, int mask) {
  version_ = version;
  size_ = SymbolSize(version);
  ecc_ = ecc;
  mask_ = mask;
  // Only the rows in use: cells beyond the size are never read.
  std::fill_n(cells_.begin(), static_cast<size_t>(size_) * kMaxSize, uint8_t{0});
}

size_t TotalCodewords(int version) { return RawDataModules(version) / 8; }
int RemainderBits(int version) { return static_cast<int>(RawDataModules(version) % 8); }

int EccCodewordsPerBlock(int version, Ecc ecc) { return kEccPerBlock[static_cast<int>(ecc)][version - 1]; }
int BlockCount(int version, Ecc ecc) { return kBlocks[static_cast<int>(ecc)][version - 1]; }

size_t DataCodewords(int version, Ecc ecc) {
  return TotalCodewords(version) -
         static_cast<size_t>(BlockCount(version, ecc)) * static_cast<size_t>(EccCodewordsPerBlock(version, ecc));
}

bool BuildDataCodewords(const uint8_t* text, const std::vector<Run>& runs, int version, Ecc ecc, uint8_t* out) {
  const int group = VersionGroup(version);
  const size_t capacity = DataCodewords(version, ecc);
  BitWriter w(out, capacity);
  for (const Run& run : runs) {
    const size_t count = run.mode == Mode::Kanji ? run.length / 2 : run.length;
    if (count == 0 || count > MaxCount(run.mode, group)) return false;
    if (!w.Put(kModeIndicator[static_cast<int>(run.mode)], 4) ||
        !w.Put(static_cast<uint32_t>(count), CountBits(run.mode, group)) || !PutRunData(w, text + run.start, run)) {
      return false;
    }
  }
  // Terminator as far as room allows, then zeros to the byte boundary (the buffer is zeroed).
  const size_t terminator = std::min<size_t>(4, w.Capacity() - w.Used());
  size_t used = w.Used() + terminator;
  used = (used + 7) / 8;
  for (size_t i = used; i < capacity; ++i) out[i] = kPadCodewords[(i - used) % 2];
  return true;
}

void ReedSolomon(const uint8_t* data, size_t length, int degree, uint8_t* ecc) {
  if (degree < 1 || degree > kMaxEccDegree) return;
  RemainderOf(Generator(degree), data, length, ecc);
}

void InterleaveWithEcc(const uint8_t* data, int version, Ecc ecc, uint8_t* out) {
  const size_t blocks = static_cast<size_t>(BlockCount(version, ecc));
  const size_t eccLength = static_cast<size_t>(EccCodewordsPerBlock(version, ecc));
  const size_t total = TotalCodewords(version);
  // The first blocks are one data codeword shorter than the rest.
  const size_t shortBlocks = blocks - total % blocks;
  const size_t shortData = total / blocks - eccLength;

  std::array<uint8_t, kMaxCodewords> eccAll{};
  const RsGenerator generator = Generator(static_cast<int>(eccLength));
  size_t offset = 0;
  for (size_t b = 0; b < blocks; ++b) {
    const size_t n = shortData + (b < shortBlocks ? 0 : 1);
    RemainderOf(generator, data + offset, n, eccAll.data() + b * eccLength);
    offset += n;
  }

  size_t k = 0;
  for (size_t column = 0; column <= shortData; ++column) {
    size_t start = 0;
    for (size_t b = 0; b < blocks; ++b) {
      const size_t n = shortData + (b < shortBlocks ? 0 : 1);
      if (column < n) out[k++] = data[start + column];
      start += n;
    }
  }
  for (size_t column = 0; column < eccLength; ++column) {
    for (size_t b = 0; b < blocks; ++b) out[k++] = eccAll[b * eccLength + column];
  }
}

uint16_t FormatBits(Ecc ecc, int mask) {
  const uint32_t data = (static_cast<uint32_t>(kFormatLevelBits[static_cast<int>(ecc)]) << 3) | (mask & 7);
  uint32_t remainder = data << 10;
  for (int i = 14; i >= 10; --i) {
    if ((remainder >> i) & 1) remainder ^= 0x537u << (i - 10);
  }
  return static_cast<uint16_t>(((data << 10) | remainder) ^ 0x5412);
}

uint32_t VersionBits(int version) {
  const uint32_t data = static_cast<uint32_t>(version);
  uint32_t remainder = data << 12;
  for (int i = 17; i >= 12; --i) {
    if ((remainder >> i) & 1) remainder ^= 0x1F25u << (i - 12);
  }
  return (data << 12) | remainder;
}

AlignmentCentres AlignmentPositions(int version) {
  AlignmentCentres result;
  for (uint8_t c : kAlignment[version - 1]) {
    if (c == 0) break;
    result.centre[static_cast<size_t>(result.count++)] = c;
  }
  return result;
}

void DrawFunctionPatterns(Symbol& s) {
  const int n = s.Size();
  for (int i = 8; i < n - 8; ++i) {
    s.SetFunction(6, i, i % 2 == 0);
    s.SetFunction(i, 6, i % 2 == 0);
  }
  DrawFinder(s, 0, 0);
  DrawFinder(s, n - 7, 0);
  DrawFinder(s, 0, n - 7);

  const AlignmentCentres a = AlignmentPositions(s.Version());
  for (int i = 0; i < a.count; ++i) {
    for (int j = 0; j < a.count; ++j) {
      const bool first = i == 0;
      const bool lastI = i == a.count - 1;
      const bool lastJ = j == a.count - 1;
      // The three corners taken by finder patterns.
      if ((first && j == 0) || (first && lastJ) || (lastI && j == 0)) continue;
      DrawAlignment(s, a.centre[static_cast<size_t>(i)], a.centre[static_cast<size_t>(j)]);
    }
  }
  DrawFormat(s);
  DrawVersion(s);
}

size_t PlaceCodewords(Symbol& s, const uint8_t* codewords, size_t count) {
  const int n = s.Size();
  const size_t bits = count * 8;
  size_t placed = 0;
  bool upward = true;
  // Two-module columns from the right edge; the vertical timing column is skipped.
  for (int right = n - 1; right > 0; right -= 2) {
    if (right == 6) right = 5;
    for (int step = 0; step < n; ++step) {
      const int y = upward ? n - 1 - step : step;
      for (int x = right; x >= right - 1; --x) {
        if (s.IsFunction(x, y)) continue;
        // Remainder bits after the last codeword stay light.
        const bool dark = placed < bits && ((codewords[placed / 8] >> (7 - placed % 8)) & 1) != 0;
        s.SetData(x, y, dark);
        ++placed;
      }
    }
    upward = !upward;
  }
  return placed;
}

bool MaskInverts(int mask, int x, int y) {
  const int row = y;
  const int column = x;
  switch (mask) {
    case 0:
      return (row + column) % 2 == 0;
    case 1:
      return row % 2 == 0;
    case 2:
      return column % 3 == 0;
    case 3:
      return (row + column) % 3 == 0;
    case 4:
      return (row / 2 + column / 3) % 2 == 0;
    case 5:
      return (row * column) % 2 + (row * column) % 3 == 0;
    case 6:
      return ((row * column) % 2 + (row * column) % 3) % 2 == 0;
    case 7:
      return ((row + column) % 2 + (row * column) % 3) % 2 == 0;
  }
  return false;
}

namespace {

// Flips the data modules where `inverts` holds; one loop per mask, so that the choice of
// formula is made once rather than per module.
template <typename Inverts>
void FlipWhere(Symbol& s, Inverts inverts) {
  const int n = s.Size();
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      if (inverts(x, y) && !s.IsFunction(x, y)) s.Flip(x, y);
    }
  }
}

}  // namespace

void ApplyMask(Symbol& s) {
  // The same formulas as MaskInverts (row y, column x).
  switch (s.Mask()) {
    case 0:
      return FlipWhere(s, [](int x, int y) { return (y + x) % 2 == 0; });
    case 1:
      return FlipWhere(s, [](int, int y) { return y % 2 == 0; });
    case 2:
      return FlipWhere(s, [](int x, int) { return x % 3 == 0; });
    case 3:
      return FlipWhere(s, [](int x, int y) { return (y + x) % 3 == 0; });
    case 4:
      return FlipWhere(s, [](int x, int y) { return (y / 2 + x / 3) % 2 == 0; });
    case 5:
      return FlipWhere(s, [](int x, int y) { return (y * x) % 2 + (y * x) % 3 == 0; });
    case 6:
      return FlipWhere(s, [](int x, int y) { return ((y * x) % 2 + (y * x) % 3) % 2 == 0; });
    case 7:
      return FlipWhere(s, [](int x, int y) { return ((y + x) % 2 + (y * x) % 3) % 2 == 0; });
  }
}

EncodeStatus Encode(const uint8_t* text, size_t length, const EncodeOptions& options, Symbol& out) noexcept {
  out.Reset(kMinVersion, options.ecc, 0);
  if (options.version < 0 || options.version > kMaxVersion || options.mask < 0 || options.mask > 7 ||
      static_cast<int>(options.ecc) > 3) {
    return EncodeStatus::InvalidOptions;
  }
  if (length == 0 || text == nullptr) return EncodeStatus::EmptyInput;
  if (length > kMaxInputLength) return EncodeStatus::TooLong;
  // No mode takes fewer than 10 bits per 3 bytes: a longer text cannot fit even version 40.
  if (length * 10 > DataCodewords(kMaxVersion, options.ecc) * 8 * 3) return EncodeStatus::TooLong;

  const int lowest = options.version == 0 ? kMinVersion : options.version;
  const int highest = (options.version != 0 && !options.allowLarger) ? options.version : kMaxVersion;

  try {
    // Each version group has its own count widths, so each gets its own segmentation.
    int version = 0;
    std::vector<Run> runs;
    for (int group = VersionGroup(lowest); group <= VersionGroup(highest) && version == 0; ++group) {
      runs = Segment(text, length, group);
      const size_t bits = StreamBits(runs, group);
      if (bits > kMaxStreamBits) continue;
      const size_t needed = (bits + 7) / 8;
      const int last = std::min(highest, GroupLastVersion(group));
      for (int v = std::max(lowest, GroupFirstVersion(group)); v <= last; ++v) {
        if (DataCodewords(v, options.ecc) >= needed) {
          version = v;
          break;
        }
      }
    }
    if (version == 0) return EncodeStatus::TooLong;

    std::array<uint8_t, kMaxDataCodewords> data{};
    if (!BuildDataCodewords(text, runs, version, options.ecc, data.data())) return EncodeStatus::TooLong;
    std::array<uint8_t, kMaxCodewords> codewords{};
    InterleaveWithEcc(data.data(), version, options.ecc, codewords.data());

    out.Reset(version, options.ecc, options.mask);
    DrawFunctionPatterns(out);
    PlaceCodewords(out, codewords.data(), TotalCodewords(version));
    ApplyMask(out);
    return EncodeStatus::Ok;
  } catch (const std::bad_alloc&) {
    out.Reset(kMinVersion, options.ecc, 0);
    return EncodeStatus::OutOfMemory;
  }
}

EncodeStatus Encode(const char* text, const EncodeOptions& options, Symbol& out) noexcept {
  const size_t length = text == nullptr ? 0 : std::strlen(text);
  return Encode(reinterpret_cast<const uint8_t*>(text), length, options, out);
}

}  // namespace qr
