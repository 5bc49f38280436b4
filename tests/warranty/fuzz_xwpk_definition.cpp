// The definition file from the support server: any bytes (read as the code page would
// give them, one character a byte) parse or fail without fault, and what parses keeps its
// promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "modules/warranty/xwpk_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string text(data, data + size);
  const auto d = xwpk::ParseDefinition(text);
  if (d) {
    // The small screen's image line may be blank (a normal screen needs none), the others not.
    if (d->text.empty() || d->normalImage.empty()) abort();
    for (const std::u16string* line : {&d->text, &d->normalImage, &d->smallImage}) {
      if (line->size() > xwpk::kMaxDefinitionLine) abort();
      if (line->empty()) continue;
      const char16_t last = line->back();
      if (last == u' ' || last == u'\t' || last == u'\r' || last == u'\n') abort();
    }
    xwpk::ImageAddressAllowed(d->normalImage);
    xwpk::ImageAddressAllowed(d->smallImage);
  }
  return 0;
}
