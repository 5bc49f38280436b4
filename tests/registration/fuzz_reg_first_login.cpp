// The "FirstLogin" registry text is outside input: any UTF-16 text parses to a valid date or none.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "modules/registration/reg_rules.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<char16_t>(data[i] | (data[i + 1] << 8)));
  const auto t = reg::ParseFirstLogin(text);
  if (t && !reg::IsValidDate(t->year, t->month, t->day)) std::abort();
  if (t) (void)reg::DaysBetween(*t, reg::LocalTime{2026, 12, 10, 12, 0, 0});
  return 0;
}
