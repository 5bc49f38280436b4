// The symbol as a monochrome BMP: 3 x 3 pixels per module and a 4-module quiet zone.
// Only bytes here; qr_file.h puts them on disk.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "modules/registration/qr_encode.h"

namespace qr {

constexpr int kPixelsPerModule = 3;
constexpr int kQuietZonePixels = 4 * kPixelsPerModule;
constexpr size_t kBitmapHeaderBytes = 62;  // file header, info header, two-colour table

// Image side in pixels for a symbol of `modules` per side.
inline int BitmapSide(int modules) { return kPixelsPerModule * modules + 2 * kQuietZonePixels; }
// Bytes per pixel row, padded to whole 32-bit words.
inline size_t BitmapStride(int side) { return static_cast<size_t>((side + 31) / 32) * 4; }

// The complete file: 1 bit per pixel (1 = white), rows bottom-up. Empty only when memory runs out.
std::vector<uint8_t> BitmapBytes(const Symbol& symbol) noexcept;

}  // namespace qr
