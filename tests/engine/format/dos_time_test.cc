#include "engine/format/dos_time.h"

#include <ostream>

#include <gtest/gtest.h>

namespace tessaly::engine {

std::ostream& operator<<(std::ostream& os, const LocalDateTime& t) {
  return os << t.year << '-' << t.month << '-' << t.day << ' ' << t.hour << ':'
            << t.minute << ':' << t.second;
}

namespace {

struct DosCase {
  const char* what;
  LocalDateTime time;
  uint16_t date_word;
  uint16_t time_word;
};

std::ostream& operator<<(std::ostream& os, const DosCase& c) {
  return os << c.what;
}

class DosTimeEncodeTest : public ::testing::TestWithParam<DosCase> {};

TEST_P(DosTimeEncodeTest, PacksDateHighAndTimeLow) {
  const DosCase& c = GetParam();
  const uint32_t packed = EncodeDosDateTime(c.time);
  EXPECT_EQ(DosDatePart(packed), c.date_word) << c.what << ": date";
  EXPECT_EQ(DosTimePart(packed), c.time_word) << c.what << ": time";
  EXPECT_EQ(packed, (uint32_t{c.date_word} << 16) | c.time_word);
}

// Words worked out from date = (year-1980)*512 + month*32 + day and
// time = hour*2048 + minute*32 + second/2.
constexpr DosCase kDosCases[] = {
    {"epoch", {1980, 1, 1, 0, 0, 0}, 0x0021, 0x0000},
    {"odd second rounds down", {2024, 5, 17, 13, 45, 31}, 0x58B1, 0x6DAF},
    {"last moment", {2107, 12, 31, 23, 59, 59}, 0xFF9F, 0xBF7D},
    {"before 1980 clamps to epoch", {1979, 12, 31, 23, 59, 58}, 0x0021, 0},
    {"far past clamps to epoch", {1601, 6, 15, 12, 0, 0}, 0x0021, 0},
    {"after 2107 clamps to last", {2108, 1, 1, 0, 0, 0}, 0xFF9F, 0xBF7D},
    {"leap second stays in minute", {2000, 2, 29, 10, 30, 60}, 0x285D, 0x53DD},
    {"month 13 does not carry into year", {1990, 13, 1, 0, 0, 0}, 0x1581, 0},
};

INSTANTIATE_TEST_SUITE_P(Table, DosTimeEncodeTest,
                         ::testing::ValuesIn(kDosCases));

TEST(DosTimeTest, DecodeGivesFieldsBackAtTwoSecondResolution) {
  const LocalDateTime t{2024, 5, 17, 13, 45, 31};
  EXPECT_EQ(DecodeDosDateTime(EncodeDosDateTime(t)),
            (LocalDateTime{2024, 5, 17, 13, 45, 30}));
  EXPECT_EQ(DecodeDosDateTime(uint16_t{0xFF9F}, uint16_t{0xBF7D}),
            (LocalDateTime{2107, 12, 31, 23, 59, 58}));
  // A damaged stamp decodes as stored, without repair.
  EXPECT_EQ(DecodeDosDateTime(0u), (LocalDateTime{1980, 0, 0, 0, 0, 0}));
}

TEST(DosTimeTest, SeparateWordsMatchPackedForm) {
  EXPECT_EQ(EncodeDosDate(2024, 5, 17), 0x58B1);
  EXPECT_EQ(EncodeDosTime(13, 45, 31), 0x6DAF);
  EXPECT_EQ(EncodeDosDate(1970, 6, 1), 0x0021);
  EXPECT_EQ(EncodeDosDate(2200, 6, 1), 0xFF9F);
  EXPECT_EQ(EncodeDosTime(24, 60, 61), 0xBF7D);
  EXPECT_EQ(PackDosDateTime(0x58B1, 0x6DAF), 0x58B16DAFu);
}

}  // namespace
}  // namespace tessaly::engine
