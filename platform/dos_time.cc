#include "platform/dos_time.h"

namespace tessaly::platform {

uint32_t EncodeDosDateTime(const CivilTime& time) {
  if (time.year < 1980) return (1u << 5 | 1u) << 16;
  if (time.year > 2107) {
    return ((127u << 9 | 12u << 5 | 31u) << 16) | (23u << 11 | 59u << 5 | 29u);
  }
  const uint32_t date = static_cast<uint32_t>(time.year - 1980) << 9 |
                        static_cast<uint32_t>(time.month) << 5 |
                        static_cast<uint32_t>(time.day);
  const uint32_t clock = static_cast<uint32_t>(time.hour) << 11 |
                         static_cast<uint32_t>(time.minute) << 5 |
                         static_cast<uint32_t>(time.second / 2);
  return date << 16 | clock;
}

CivilTime DecodeDosDateTime(uint32_t dos_date_time) {
  const uint32_t date = dos_date_time >> 16;
  const uint32_t clock = dos_date_time & 0xFFFF;
  CivilTime t;
  t.year = static_cast<int>(date >> 9) + 1980;
  t.month = static_cast<int>((date >> 5) & 0x0F);
  t.day = static_cast<int>(date & 0x1F);
  t.hour = static_cast<int>(clock >> 11);
  t.minute = static_cast<int>((clock >> 5) & 0x3F);
  t.second = static_cast<int>(clock & 0x1F) * 2;
  return t;
}

bool IsValidDosDateTime(uint32_t dos_date_time) {
  const CivilTime t = DecodeDosDateTime(dos_date_time);
  if (t.month < 1 || t.month > 12 || t.day < 1) return false;
  static constexpr int kDays[12] = {31, 29, 31, 30, 31, 30,
                                    31, 31, 30, 31, 30, 31};
  const bool leap = t.year % 4 == 0 && (t.year % 100 != 0 || t.year % 400 == 0);
  const int days = t.month == 2 && !leap ? 28 : kDays[t.month - 1];
  return t.day <= days && t.hour < 24 && t.minute < 60 && t.second < 60;
}

}  // namespace tessaly::platform
