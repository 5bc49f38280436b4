#include "modules/registration/qr_bmp.h"

#include <new>

#include "common/core/bytes.h"

namespace qr {

std::vector<uint8_t> BitmapBytes(const Symbol& symbol) noexcept {
  const int side = BitmapSide(symbol.Size());
  const size_t stride = BitmapStride(side);
  const size_t imageSize = stride * static_cast<size_t>(side);
  std::vector<uint8_t> out;
  try {
    out.assign(kBitmapHeaderBytes + imageSize, 0);
  } catch (const std::bad_alloc&) {
    return {};
  }
  uint8_t* p = out.data();
  p[0] = 'B';
  p[1] = 'M';
  bytes::PutU32(p + 2, static_cast<uint32_t>(out.size()));
  bytes::PutU32(p + 10, static_cast<uint32_t>(kBitmapHeaderBytes));
  bytes::PutU32(p + 14, 40);  // BITMAPINFOHEADER
  bytes::PutU32(p + 18, static_cast<uint32_t>(side));
  bytes::PutU32(p + 22, static_cast<uint32_t>(side));  // positive: rows stored bottom-up
  bytes::PutU16(p + 26, 1);                            // planes
  bytes::PutU16(p + 28, 1);                            // bits per pixel
  bytes::PutU32(p + 34, static_cast<uint32_t>(imageSize));
  bytes::PutU32(p + 38, 3780);  // 96 dpi in pixels per metre
  bytes::PutU32(p + 42, 3780);
  // Colour 0 black (already zero), colour 1 white.
  p[58] = p[59] = p[60] = 255;

  uint8_t* pixels = p + kBitmapHeaderBytes;
  for (size_t i = 0; i < imageSize; ++i) pixels[i] = 0xFF;
  for (int y = 0; y < symbol.Size(); ++y) {
    for (int x = 0; x < symbol.Size(); ++x) {
      if (!symbol.Dark(x, y)) continue;
      for (int dy = 0; dy < kPixelsPerModule; ++dy) {
        const int top = kQuietZonePixels + kPixelsPerModule * y + dy;
        uint8_t* row = pixels + static_cast<size_t>(side - 1 - top) * stride;
        for (int dx = 0; dx < kPixelsPerModule; ++dx) {
          const int left = kQuietZonePixels + kPixelsPerModule * x + dx;
          row[left / 8] &= static_cast<uint8_t>(~(0x80u >> (left % 8)));
        }
      }
    }
  }
  return out;
}

}  // namespace qr
