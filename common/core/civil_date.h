// Proleptic Gregorian dates and days since 1970-01-01, without the C library's time zone.
#pragma once
#include <cstdint>

namespace civil {

struct Date {
  int64_t year;
  int month;  // 1..12
  int day;    // 1..31
};

int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day);
Date CivilFromDays(int64_t days);

}  // namespace civil
