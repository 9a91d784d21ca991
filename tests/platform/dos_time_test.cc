#include "platform/dos_time.h"

#include <gtest/gtest.h>

namespace tessaly::platform {
namespace {

TEST(DosTimeTest, EncodesFieldsIntoTheirBits) {
  // 2009-07-14 15:26:52: date (29 << 9 | 7 << 5 | 14) = 0x3AEE,
  // time (15 << 11 | 26 << 5 | 26) = 0x7B5A.
  EXPECT_EQ(EncodeDosDateTime({2009, 7, 14, 15, 26, 52}), 0x3AEE7B5Au);
  EXPECT_EQ(EncodeDosDateTime({2009, 7, 14, 15, 26, 53}), 0x3AEE7B5Au)
      << "odd seconds round down";
  EXPECT_EQ(EncodeDosDateTime({1980, 1, 1, 0, 0, 0}), 0x00210000u);
}

TEST(DosTimeTest, ClampsToTheRepresentableRange) {
  EXPECT_EQ(EncodeDosDateTime({1970, 6, 15, 12, 0, 0}), 0x00210000u);
  EXPECT_EQ(EncodeDosDateTime({2108, 1, 1, 0, 0, 0}),
            EncodeDosDateTime({2107, 12, 31, 23, 59, 58}));
  EXPECT_EQ(EncodeDosDateTime({2107, 12, 31, 23, 59, 58}), 0xFF9FBF7Du);
}

TEST(DosTimeTest, DecodesWhatWasEncoded) {
  const CivilTime t = DecodeDosDateTime(0x3AEE7B5A);
  EXPECT_EQ(t.year, 2009);
  EXPECT_EQ(t.month, 7);
  EXPECT_EQ(t.day, 14);
  EXPECT_EQ(t.hour, 15);
  EXPECT_EQ(t.minute, 26);
  EXPECT_EQ(t.second, 52);
}

TEST(DosTimeTest, Validity) {
  EXPECT_TRUE(IsValidDosDateTime(0x3AEE7B5A));
  EXPECT_FALSE(IsValidDosDateTime(0)) << "month 0, day 0";
  EXPECT_FALSE(IsValidDosDateTime(0xFFFFFFFF));
  EXPECT_TRUE(IsValidDosDateTime(EncodeDosDateTime({2024, 2, 29, 0, 0, 0})));
  EXPECT_FALSE(IsValidDosDateTime(EncodeDosDateTime({2023, 2, 29, 0, 0, 0})));
  EXPECT_FALSE(IsValidDosDateTime(EncodeDosDateTime({2023, 4, 31, 0, 0, 0})));
  EXPECT_FALSE(IsValidDosDateTime(EncodeDosDateTime({2023, 4, 30, 24, 0, 0})));
}

}  // namespace
}  // namespace tessaly::platform
