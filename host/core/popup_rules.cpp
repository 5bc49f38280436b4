#include "host/core/popup_rules.h"

#include <algorithm>

namespace host {
namespace {
// In 64 bits, so that absurd sizes or offsets cannot wrap around into the screen.
int Edge(int far, int size, int offset) {
  const int64_t edge = static_cast<int64_t>(far) - size - offset;
  return static_cast<int>(std::clamp<int64_t>(edge, 0, INT32_MAX));
}
}  // namespace

PopupPlacement PlacePopup(const WorkArea& work, int width, int height, int offsetX, int offsetY) {
  return {Edge(work.right, width, offsetX), Edge(work.bottom, height, offsetY), width, height};
}

bool HandsOffKey(uint32_t message, uintptr_t key) {
  constexpr uint32_t kFirstKeyMessage = 0x100, kLastKeyMessage = 0x109;
  constexpr uintptr_t kBackspace = 0x08, kPageUp = 0x21, kPageDown = 0x22, kLeft = 0x25, kDown = 0x28;
  if (message < kFirstKeyMessage || message > kLastKeyMessage) return false;
  return key != kBackspace && key != kPageUp && key != kPageDown && (key < kLeft || key > kDown);
}

}  // namespace host
