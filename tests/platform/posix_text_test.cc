// The system's ANSI text on POSIX is UTF-8, its OEM code page CP437.

#include <gtest/gtest.h>

#include "platform/find_match.h"
#include "platform/text.h"

namespace tessaly::platform {
namespace {

TEST(PosixTextTest, AnsiIsUtf8AndOemIsCp437) {
  EXPECT_EQ(AnsiToOem("caf\xC3\xA9 \xE2\x82\xAC"), "caf\x82 _");
  EXPECT_EQ(OemToAnsi("caf\x82"), "caf\xC3\xA9");
  EXPECT_EQ(AnsiUpperCase("caf\xC3\xA9"), "CAF\xC3\x89");
  EXPECT_EQ(AnsiLowerCase("\xCE\xA3"), "\xCF\x83");
}

TEST(PosixTextTest, AnAnsiCharacterIsOneUtf8Sequence) {
  EXPECT_EQ(AnsiCharLength('a'), 1);
  EXPECT_EQ(AnsiCharLength(0xC3), 2);
  EXPECT_EQ(AnsiCharLength(0xF0), 4);
  EXPECT_EQ(AnsiCharLength(std::string_view("\xC3\xA9"), 0), 2u);
  EXPECT_EQ(AnsiCharLength(std::string_view("\xC3z"), 0), 1u);
}

TEST(PosixTextTest, FindPatternsTakeUtf8Characters) {
  EXPECT_TRUE(FindPatternMatches("a?c",
                                 "a\xC3\xA9"
                                 "c"));
  EXPECT_FALSE(FindPatternMatches("a??c",
                                  "a\xC3\xA9"
                                  "c"));
  EXPECT_TRUE(FindPatternMatches("a??c",
                                 "a\xC3z"
                                 "c"))
      << "an invalid byte is a character of its own";
  EXPECT_TRUE(FindPatternMatches("\xC3\xA9*", "\xC3\x89t\xC3\xA9.txt"))
      << "é matches É";
}

}  // namespace
}  // namespace tessaly::platform
