// MS-DOS date-times: the 32-bit time stamps of ZIP records and of
// Env::FileAge. Date in the high 16 bits (day 1-31 in bits 0-4, month 1-12
// in bits 5-8, year-1980 in bits 9-15), time in the low 16 bits (seconds/2 in
// bits 0-4, minute in bits 5-10, hour in bits 11-15). Pure functions.
#ifndef TESSALY_PLATFORM_DOS_TIME_H_
#define TESSALY_PLATFORM_DOS_TIME_H_

#include <cstdint>

namespace tessaly::platform {

// A calendar date and wall-clock time, without time zone.
struct CivilTime {
  int year = 1980;
  int month = 1;   // 1-12
  int day = 1;     // 1-31
  int hour = 0;    // 0-23
  int minute = 0;  // 0-59
  int second = 0;  // 0-59
};

// Encodes `time`; odd seconds are rounded down. Times before 1980-01-01
// give 1980-01-01 00:00:00, times after 2107 give 2107-12-31 23:59:58.
// REQUIRES: the fields other than year are in range.
uint32_t EncodeDosDateTime(const CivilTime& time);

// Decodes a date-time without checking it.
CivilTime DecodeDosDateTime(uint32_t dos_date_time);

// Whether the fields of `dos_date_time` form a real date and time
// (1 <= month <= 12, day within the month, hour < 24, minute < 60,
// seconds/2 < 30).
bool IsValidDosDateTime(uint32_t dos_date_time);

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_DOS_TIME_H_
