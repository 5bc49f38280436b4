// QR Code (Model 2) encoder: segmentation into modes, the smallest fitting version,
// Reed-Solomon error correction with block interleaving, module placement and a mask chosen by
// the caller (no penalty evaluation). Codewords and the module matrix live in fixed buffers
// sized for version 40; only the list of mode runs is allocated. Nothing here throws.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "modules/registration/qr_segment.h"

namespace qr {

enum class Ecc : uint8_t { L, M, Q, H };

constexpr int kMinVersion = 1;
constexpr int kMaxVersion = 40;
constexpr int kMaxSize = 4 * kMaxVersion + 17;  // 177 modules
// Version 40 at level L: the most data codewords and the longest bit stream any symbol holds.
constexpr size_t kMaxDataCodewords = 2956;
constexpr size_t kMaxStreamBits = kMaxDataCodewords * 8;  // 23 648
constexpr size_t kMaxCodewords = 3706;                    // data plus error correction, version 40
// No input longer than this fits any symbol (7089 digits fill version 40 at level L).
constexpr size_t kMaxInputLength = 7089;

struct EncodeOptions {
  Ecc ecc = Ecc::Q;
  int version = 0;           // 0: the smallest that fits; else this version
  bool allowLarger = false;  // with a set version: a larger one if the data does not fit
  int mask = 0;              // 0..7; applied as given, no penalty evaluation
};

enum class EncodeStatus {
  Ok,
  EmptyInput,
  TooLong,         // no allowed version holds the data
  InvalidOptions,  // version or mask out of range
  OutOfMemory,
};
const char* StatusName(EncodeStatus status);

// A finished symbol. Modules are addressed (x, y): x the column, y the row, from the top left.
class Symbol {
 public:
  int Version() const { return version_; }
  int Size() const { return size_; }
  Ecc Level() const { return ecc_; }
  int Mask() const { return mask_; }
  bool Dark(int x, int y) const { return (cell(x, y) & kDark) != 0; }
  // Finder, separator, timing, alignment, format and version areas and the dark module.
  bool IsFunction(int x, int y) const { return (cell(x, y) & kFunction) != 0; }

  // Used while building.
  void Reset(int version, Ecc ecc, int mask);
  void SetFunction(int x, int y, bool dark) { cell(x, y) = static_cast<uint8_t>(kFunction | (dark ? kDark : 0)); }
  void SetData(int x, int y, bool dark) { cell(x, y) = dark ? kDark : 0; }
  void Flip(int x, int y) { cell(x, y) ^= kDark; }

 private:
  static constexpr uint8_t kDark = 1;
  static constexpr uint8_t kFunction = 2;
  uint8_t& cell(int x, int y) { return cells_[static_cast<size_t>(y) * kMaxSize + static_cast<size_t>(x)]; }
  uint8_t cell(int x, int y) const { return cells_[static_cast<size_t>(y) * kMaxSize + static_cast<size_t>(x)]; }

  int version_ = 0;
  int size_ = 0;
  Ecc ecc_ = Ecc::Q;
  int mask_ = 0;
  std::array<uint8_t, static_cast<size_t>(kMaxSize) * kMaxSize> cells_{};
};

// Encodes `length` bytes of `text` (a single-byte string: ASCII, Shift_JIS for Kanji).
EncodeStatus Encode(const uint8_t* text, size_t length, const EncodeOptions& options, Symbol& out) noexcept;
// The same for a zero-terminated text.
EncodeStatus Encode(const char* text, const EncodeOptions& options, Symbol& out) noexcept;

// ---- The steps, one per stage of the encoding; exposed so that each can be tested alone.
// They take versions 1..40 as given; Encode checks its options before calling them.

// Symbol side in modules.
inline int SymbolSize(int version) { return 4 * version + 17; }
// Codewords of the whole symbol, data and error correction.
size_t TotalCodewords(int version);
// Bits left over after the last codeword (0, 3, 4 or 7).
int RemainderBits(int version);
size_t DataCodewords(int version, Ecc ecc);
int EccCodewordsPerBlock(int version, Ecc ecc);
int BlockCount(int version, Ecc ecc);

// Data codewords for `runs` over `text` in `version`: the runs, a terminator, zero bits to a
// byte boundary and pad codewords 0xEC, 0x11. False when they do not fit. `out` holds at least
// DataCodewords(version, ecc) bytes.
bool BuildDataCodewords(const uint8_t* text, const std::vector<Run>& runs, int version, Ecc ecc, uint8_t* out);

// Reed-Solomon remainder of `data` for a generator of `degree` (error-correction codewords,
// 1..kMaxEccDegree; other degrees write nothing).
constexpr int kMaxEccDegree = 32;
void ReedSolomon(const uint8_t* data, size_t length, int degree, uint8_t* ecc);

// Splits the data codewords into blocks, adds each block's error correction and interleaves
// everything in symbol order. `out` holds TotalCodewords(version) bytes.
void InterleaveWithEcc(const uint8_t* data, int version, Ecc ecc, uint8_t* out);

// 15-bit format information (level and mask, BCH-protected and masked with 0x5412).
uint16_t FormatBits(Ecc ecc, int mask);
// 18-bit version information (versions 7 and above).
uint32_t VersionBits(int version);
// Centres of the alignment patterns along one axis (none for version 1).
struct AlignmentCentres {
  int count = 0;
  std::array<int, 7> centre{};
};
AlignmentCentres AlignmentPositions(int version);

// Draws the function patterns of `symbol`'s version, level and mask.
void DrawFunctionPatterns(Symbol& symbol);
// Places the codewords in the zig-zag order over the non-function modules. Returns the bits placed.
size_t PlaceCodewords(Symbol& symbol, const uint8_t* codewords, size_t count);
// True when mask `mask` inverts the module in column x, row y.
bool MaskInverts(int mask, int x, int y);
void ApplyMask(Symbol& symbol);

}  // namespace qr
