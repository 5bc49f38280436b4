// The viewer's outside input: history samples from the registry, and the pipe's two replies.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "libs/diskwarn/hdd_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(char16_t(data[i] | (data[i + 1] << 8)));
  if (auto s = hdd::ParseSample(text)) {
    if (s->time < hdd::WallSeconds(1601, 1, 1, 0, 0, 0)) __builtin_trap();
  }
  const std::u16string path = hdd::PathFromReply(data, size);
  if (path.size() > hdd::kPathReplyBytes / 2) __builtin_trap();
  if (hdd::IsLocalDiskPath(path) && path.find(u'\\', 4) != std::u16string::npos) __builtin_trap();
  int32_t count = 0;
  if (size >= 4) std::memcpy(&count, data, 4);
  if (hdd::AttributeFlags(count, size >= 4 ? data + 4 : nullptr, size >= 4 ? size - 4 : 0) & ~14u) __builtin_trap();
  return 0;
}
