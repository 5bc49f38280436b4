// Any bytes as a history file: read, written back, and read again to the same records.
#include <cstddef>
#include <cstdint>
#include <string>

#include "modules/web/web_history.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  const auto records = web::ParseHistory(bytes);
  if (records.size() > web::kHistoryMax) __builtin_trap();
  const std::string once = web::SerializeHistory(records);
  const auto again = web::ParseHistory(once);
  // Whatever was read survives a rewrite record for record, and a second rewrite is identical.
  if (again.size() != records.size()) __builtin_trap();
  if (web::SerializeHistory(again) != once) __builtin_trap();
  return 0;
}
