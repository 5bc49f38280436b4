// Any text as a "wkpt:os" expression, on each release the expression can name.
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/web/web_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // First byte: release and facts; the rest: the expression as UTF-16 code units.
  const uint8_t facts = data[0];
  static const uint16_t kReleases[] = {6, 8, 11, 13, 15, 12, 0xFFFF, 0};
  static const uint32_t kProducts[] = {0, 1, 3, 4, 6, 16, 28, 48};
  const web::WindowsRelease release{kReleases[facts & 7], static_cast<uint16_t>((facts >> 3) & 3),
                                    static_cast<uint16_t>((facts >> 5) & 3), kProducts[(facts >> 5) & 7]};
  std::u16string expression;
  for (size_t i = 1; i + 1 < size; i += 2) expression += static_cast<char16_t>(data[i] | data[i + 1] << 8);
  web::WindowsExpressionTrue(expression, release);
  return 0;
}
