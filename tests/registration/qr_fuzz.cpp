// libFuzzer target for the QR encoder over arbitrary bytes and lengths. The first two bytes
// choose the options; the rest is the text. Besides crashes and overruns (ASan, UBSan) it
// checks that segmentation covers the text with runs each mode can carry, and that the
// bitmap has the size its header promises.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "modules/registration/qr_bmp.h"
#include "modules/registration/qr_encode.h"
#include "modules/registration/qr_segment.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckRuns(const uint8_t* text, size_t length, int group) {
  const std::vector<qr::Run> runs = qr::Segment(text, length, group);
  size_t next = 0;
  for (const qr::Run& r : runs) {
    Check(r.start == next && r.length > 0);
    for (size_t i = r.start; i < r.start + r.length; ++i) {
      const uint8_t c = text[i];
      if (r.mode == qr::Mode::Numeric) Check(c >= '0' && c <= '9');
      if (r.mode == qr::Mode::Alphanumeric) Check(qr::IsAlphanumericChar(c));
    }
    if (r.mode == qr::Mode::Kanji) {
      Check(r.length % 2 == 0);
      for (size_t i = r.start; i < r.start + r.length; i += 2) Check(qr::IsKanjiPair(text[i], text[i + 1]));
    }
    next += r.length;
  }
  Check(next == length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static auto* symbol = new qr::Symbol;
  qr::EncodeOptions options;
  const uint8_t* text = data;
  size_t length = size;
  if (size >= 2) {
    options.ecc = static_cast<qr::Ecc>(data[0] & 3);
    options.mask = (data[0] >> 2) & 7;
    options.allowLarger = (data[0] & 0x20) != 0;
    options.version = data[1] % 42;  // 41 is out of range on purpose
    text += 2;
    length -= 2;
  }
  for (int group = 0; group < qr::kVersionGroups; ++group) CheckRuns(text, length, group);

  const qr::EncodeStatus status = qr::Encode(text, length, options, *symbol);
  if (status != qr::EncodeStatus::Ok) return 0;
  Check(symbol->Version() >= qr::kMinVersion && symbol->Version() <= qr::kMaxVersion);
  if (options.version != 0 && !options.allowLarger) Check(symbol->Version() == options.version);

  const std::vector<uint8_t> bmp = qr::BitmapBytes(*symbol);
  const int side = qr::BitmapSide(symbol->Size());
  Check(bmp.size() == qr::kBitmapHeaderBytes + qr::BitmapStride(side) * static_cast<size_t>(side));
  return 0;
}
