// The command lines of -t, -x and --join, and where an extracted entry may
// land.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "app/tzip/extract_path.h"
#include "app/tzip/tzip_options.h"

namespace tessaly::app {
namespace {

std::optional<TzipOptions> Parse(const std::vector<std::string>& args,
                                 std::string* error = nullptr) {
  std::string text;
  auto options = ParseTzipArguments(args, text);
  if (error != nullptr) *error = text;
  return options;
}

TEST(TzipReadingOptionsTest, ModesAndTheirOptions) {
  auto t = Parse({"-t", "Orvane.zip", "-P", "pw"});
  ASSERT_TRUE(t);
  EXPECT_EQ(t->command, TzipCommand::kTest);
  EXPECT_EQ(t->archive, "Orvane.zip");
  EXPECT_EQ(t->password, "pw");

  auto x = Parse({"-x", "Orvane.zip", "-d", "out", "-o", "*.rpt", "a b.dat"});
  ASSERT_TRUE(x);
  EXPECT_EQ(x->command, TzipCommand::kExtract);
  EXPECT_EQ(x->extract_dir, "out");
  EXPECT_TRUE(x->overwrite);
  EXPECT_EQ(x->masks, (std::vector<std::string>{"*.rpt", "a b.dat"}));

  auto j = Parse({"--join", "Orvane.zip", "whole.zip"});
  ASSERT_TRUE(j);
  EXPECT_EQ(j->command, TzipCommand::kJoin);
  EXPECT_EQ(j->join_output, "whole.zip");

  // After another option -x still leaves files out of a new archive.
  auto create = Parse({"-9", "-x", "*.tmp", "new.zip", "data"});
  ASSERT_TRUE(create);
  EXPECT_EQ(create->command, TzipCommand::kCreate);
  EXPECT_EQ(create->exclusions, (std::vector<std::string>{"*.tmp"}));
}

TEST(TzipReadingOptionsTest, UsageErrors) {
  std::string error;
  EXPECT_FALSE(Parse({"-t"}, &error));
  EXPECT_EQ(error, "no archive given");
  EXPECT_FALSE(Parse({"-t", "a.zip", "mask"}, &error));
  EXPECT_FALSE(Parse({"-t", "a.zip", "-o"}, &error));
  EXPECT_EQ(error, "option -o does not go with -t");
  EXPECT_FALSE(Parse({"--join", "a.zip"}, &error));
  EXPECT_FALSE(Parse({"--join", "a.zip", "b.zip", "-P", "x"}, &error));
  EXPECT_FALSE(Parse({"-x", "a.zip", "-d"}, &error));
  EXPECT_EQ(error, "option -d needs a value");
  EXPECT_FALSE(Parse({"-x", "a.zip", "-9"}, &error));
}

TEST(ExtractPathTest, NamesStayInsideTheTargetFolder) {
  using Parts = std::vector<std::string>;
  EXPECT_EQ(SafeExtractParts("dir/sub/file.txt"), (Parts{"dir", "sub", "file.txt"}));
  EXPECT_EQ(SafeExtractParts("dir\\sub\\file.txt"), (Parts{"dir", "sub", "file.txt"}));
  EXPECT_EQ(SafeExtractParts("/etc/passwd"), (Parts{"etc", "passwd"}));
  EXPECT_EQ(SafeExtractParts("\\\\server\\share\\x"), (Parts{"server", "share", "x"}));
  EXPECT_EQ(SafeExtractParts("C:\\Windows\\x.dll"), (Parts{"Windows", "x.dll"}));
  EXPECT_EQ(SafeExtractParts("c:x.txt"), (Parts{"x.txt"}));
  EXPECT_EQ(SafeExtractParts("./a//b/./c"), (Parts{"a", "b", "c"}));
  EXPECT_EQ(SafeExtractParts("folder/"), (Parts{"folder"}));
  // Dots inside a name are no climb.
  EXPECT_EQ(SafeExtractParts("a/..b/c.."), (Parts{"a", "..b", "c.."}));
  for (const char* refused :
       {"../x", "a/../../x", "a/..", "..\\x", "a\\..\\..\\x", "C:..\\x", "",
        "/", "C:", "./"}) {
    EXPECT_FALSE(SafeExtractParts(refused)) << refused;
  }
  EXPECT_FALSE(SafeExtractParts(std::string("a\0b", 3)));
}

}  // namespace
}  // namespace tessaly::app
