#include "engine/format/dos_time.h"

#include <algorithm>

namespace tessaly::engine {

uint16_t EncodeDosTime(int hour, int minute, int second) {
  hour = std::clamp(hour, 0, 23);
  minute = std::clamp(minute, 0, 59);
  second = std::clamp(second, 0, 59);
  return static_cast<uint16_t>(hour * 2048 + minute * 32 + second / 2);
}

uint16_t EncodeDosDate(int year, int month, int day) {
  if (year < kDosMinYear) return EncodeDosDate(kDosMinYear, 1, 1);
  if (year > kDosMaxYear) return EncodeDosDate(kDosMaxYear, 12, 31);
  month = std::clamp(month, 1, 12);
  day = std::clamp(day, 1, 31);
  return static_cast<uint16_t>((year - kDosMinYear) * 512 + month * 32 + day);
}

uint32_t EncodeDosDateTime(const LocalDateTime& t) {
  if (t.year < kDosMinYear) {
    return PackDosDateTime(EncodeDosDate(kDosMinYear, 1, 1),
                           EncodeDosTime(0, 0, 0));
  }
  if (t.year > kDosMaxYear) {
    return PackDosDateTime(EncodeDosDate(kDosMaxYear, 12, 31),
                           EncodeDosTime(23, 59, 59));
  }
  return PackDosDateTime(EncodeDosDate(t.year, t.month, t.day),
                         EncodeDosTime(t.hour, t.minute, t.second));
}

LocalDateTime DecodeDosDateTime(uint16_t date, uint16_t time) {
  LocalDateTime t;
  t.year = kDosMinYear + (date >> 9);
  t.month = (date >> 5) & 0x0F;
  t.day = date & 0x1F;
  t.hour = time >> 11;
  t.minute = (time >> 5) & 0x3F;
  t.second = (time & 0x1F) * 2;
  return t;
}

LocalDateTime DecodeDosDateTime(uint32_t date_time) {
  return DecodeDosDateTime(DosDatePart(date_time), DosTimePart(date_time));
}

}  // namespace tessaly::engine
