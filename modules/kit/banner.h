// The settings page's banner rule: one of three bitmaps by the screen's horizontal density.
#pragma once

namespace kit {
constexpr unsigned BannerFor(int dpi, unsigned below120, unsigned from120, unsigned from144) {
  return dpi >= 144 ? from144 : dpi >= 120 ? from120 : below120;
}
}  // namespace kit
