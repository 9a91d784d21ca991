// MS-DOS date and time stamps (APPNOTE 4.4.6):
//   time = hour * 2048 + minute * 32 + second / 2   (two-second resolution)
//   date = (year - 1980) * 512 + month * 32 + day
// A packed DosDateTime holds the date in its high 16 bits and the time in
// its low 16 bits, the order of the Windows file-time conversion routines.
//
// Representable moments run from 1980-01-01 00:00:00 to 2107-12-31 23:59:58.
// Encoding never lets one field spill into another: a moment before 1980
// becomes 1980-01-01 00:00:00, a moment after 2107 becomes
// 2107-12-31 23:59:58 (the same choice as Info-ZIP and Python's zipfile),
// and a field outside its range (month 13, second 60, ...) is clamped into
// it.
#ifndef TESSALY_ENGINE_FORMAT_DOS_TIME_H_
#define TESSALY_ENGINE_FORMAT_DOS_TIME_H_

#include <cstdint>

namespace tessaly::engine {

// A broken-down local time: year (e.g. 2024), month 1-12, day 1-31,
// hour 0-23, minute 0-59, second 0-59.
struct LocalDateTime {
  int year = 1980;
  int month = 1;
  int day = 1;
  int hour = 0;
  int minute = 0;
  int second = 0;

  friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

inline constexpr int kDosMinYear = 1980;
inline constexpr int kDosMaxYear = 2107;

// The time word; an odd second rounds down. Fields are clamped into range.
uint16_t EncodeDosTime(int hour, int minute, int second);

// The date word. Fields are clamped into range; a year before 1980 gives
// 1980-01-01 and a year after 2107 gives 2107-12-31.
uint16_t EncodeDosDate(int year, int month, int day);

// The packed stamp of `time`, with the whole moment clamped as described
// above (so 1979-06-15 12:00:00 becomes 1980-01-01 00:00:00).
uint32_t EncodeDosDateTime(const LocalDateTime& time);

constexpr uint32_t PackDosDateTime(uint16_t date, uint16_t time) {
  return (static_cast<uint32_t>(date) << 16) | time;
}
constexpr uint16_t DosDatePart(uint32_t date_time) {
  return static_cast<uint16_t>(date_time >> 16);
}
constexpr uint16_t DosTimePart(uint32_t date_time) {
  return static_cast<uint16_t>(date_time & 0xFFFF);
}

// The fields of a stamp as stored, without validation: a damaged stamp may
// decode to month 0 or second 62.
LocalDateTime DecodeDosDateTime(uint16_t date, uint16_t time);
LocalDateTime DecodeDosDateTime(uint32_t date_time);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_FORMAT_DOS_TIME_H_
