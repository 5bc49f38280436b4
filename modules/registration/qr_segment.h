// Splitting the text of a QR code into mode runs (numeric, alphanumeric, 8-bit byte, Kanji)
// and the bit cost of each run. The encoder segments once per version group, because the
// count-field widths, and with them the best split, change between the groups.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace qr {

enum class Mode : uint8_t { Numeric, Alphanumeric, Byte, Kanji };

// Versions 1-9, 10-26 and 27-40 share their count-field widths.
constexpr int kVersionGroups = 3;
int VersionGroup(int version);  // 0, 1 or 2; version must be 1..40
int GroupFirstVersion(int group);
int GroupLastVersion(int group);

// Width of the character-count field of `mode` in `group`.
int CountBits(Mode mode, int group);
// Largest character count that field can hold (Kanji counts characters, not bytes).
size_t MaxCount(Mode mode, int group);

// A run of `length` input bytes starting at `start`, encoded in `mode`.
// Kanji runs always hold whole byte pairs.
struct Run {
  Mode mode;
  size_t start;
  size_t length;
};

bool IsAlphanumericChar(uint8_t c);
int AlphanumericValue(uint8_t c);  // -1 outside the set
// A Shift_JIS double-byte character that Kanji mode can carry.
bool IsKanjiPair(uint8_t first, uint8_t second);
// The 13-bit Kanji-mode value of a pair accepted by IsKanjiPair.
uint16_t KanjiValue(uint8_t first, uint8_t second);

// Bits of one run with its mode indicator and count field.
size_t RunBits(Mode mode, size_t length, int group);

// Maximal runs of one character class each, classified from the first byte on.
std::vector<Run> ClassifyRuns(const uint8_t* text, size_t length);
// First pass: numeric/alphanumeric neighbours become one alphanumeric run, or one of
// them is folded into a neighbouring 8-bit run, whichever is cheapest.
void MergeAlphanumericPass(std::vector<Run>& runs, int group);
// Second pass: neighbours become one 8-bit run when that is cheaper.
void MergeBytePass(std::vector<Run>& runs, int group);
// Both passes over the classified runs.
std::vector<Run> Segment(const uint8_t* text, size_t length, int group);

// Bits of the whole stream before the terminator; SIZE_MAX when a run's count does not
// fit its count field.
size_t StreamBits(const std::vector<Run>& runs, int group);

}  // namespace qr
