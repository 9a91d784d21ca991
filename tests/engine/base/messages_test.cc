#include "engine/base/messages.h"

#include <cstdint>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace tessaly::engine {
namespace {

struct FormatCase {
  const char* format;
  std::vector<FormatArg> args;
  const char* expected;
};

void PrintTo(const FormatCase& c, std::ostream* os) {
  *os << '"' << c.format << "\" with " << c.args.size() << " argument(s)";
}

class FormatMessageTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatMessageTest, ProducesExpectedText) {
  const FormatCase& c = GetParam();
  EXPECT_EQ(FormatMessage(c.format, c.args), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Directives, FormatMessageTest,
    testing::Values(
        FormatCase{"plain text", {}, "plain text"},
        FormatCase{
            "File \"%s\" not found", {"a.txt"}, "File \"a.txt\" not found"},
        FormatCase{"#%d", {1}, "#1"}, FormatCase{"%d", {-42}, "-42"},
        FormatCase{"%d",
                   {std::numeric_limits<int64_t>::min()},
                   "-9223372036854775808"},
        FormatCase{"%d bytes", {int64_t{5'000'000'000}}, "5000000000 bytes"},
        FormatCase{"%u", {-1}, "18446744073709551615"},
        FormatCase{"%u",
                   {std::numeric_limits<uint64_t>::max()},
                   "18446744073709551615"},
        FormatCase{"%x", {255}, "FF"}, FormatCase{"%.2d", {7}, "07"},
        FormatCase{"%.3d", {7}, "007"}, FormatCase{"%.3d", {-5}, "-005"},
        FormatCase{"%.3d", {1234}, "1234"}, FormatCase{"%.3u", {9}, "009"},
        FormatCase{"%5d", {45}, "   45"}, FormatCase{"%5d", {-1}, "   -1"},
        FormatCase{"%5d", {123456}, "123456"},
        FormatCase{"%-5d|", {45}, "45   |"}, FormatCase{"%.2s", {"abc"}, "ab"},
        FormatCase{"100%%", {}, "100%"}, FormatCase{"%s=%d", {"n", 3}, "n=3"},
        // A number for %s and a text for %d print in their own form.
        FormatCase{"%s", {12}, "12"}, FormatCase{"%d", {"abc"}, "abc"},
        // Surplus arguments are ignored.
        FormatCase{"%s", {"a", "b", 3}, "a"},
        // Missing arguments leave the directive as written.
        FormatCase{"%s and %d", {"x"}, "x and %d"},
        FormatCase{"%.3d:%s", {}, "%.3d:%s"},
        // Unknown conversions and a dangling percent are literal.
        FormatCase{"%q %", {1}, "%q %"}, FormatCase{"50%", {}, "50%"},
        FormatCase{"%5", {}, "%5"}));

TEST(FormatMessageTest, PromptTextsFillAsShownToTheUser) {
  EXPECT_EQ(FormatMessage(kOverwritePrompt, {"C:/dest.txt", "src.txt"}),
            "Overwrite file \"C:/dest.txt\" with \"src.txt\"");
  EXPECT_EQ(FormatMessage(kDiskFull, {int64_t{2097152}, int64_t{1024}}),
            "Disk is full. Required free space: 2097152 bytes, but available "
            "only: 1024 bytes. Clean the disk or find another blank disk");
  EXPECT_EQ(FormatMessage(kLastDiskNotFound, {"a.zip"}),
            "File 'a.zip' not found on inserted disk. Please insert last disk "
            "with required file");
  EXPECT_EQ(FormatMessage(kInvalidMask, {"*a", 3}),
            "'*a' is an invalid mask at (3)");
}

TEST(FormatMessageTest, PercentInArgumentIsNotReinterpreted) {
  EXPECT_EQ(FormatMessage("%s. File processing error, possibly disk is full",
                          {"100%d done"}),
            "100%d done. File processing error, possibly disk is full");
}

}  // namespace
}  // namespace tessaly::engine
