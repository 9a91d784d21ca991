#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/exception.h"
#include "platform/open_stream.h"
#include "platform/memory_stream.h"
#include "platform/testing/mem_env.h"
#include "tests/support/temp_dir.h"

namespace tessaly::platform {
namespace {

std::string Pattern(size_t size) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>(i * 7 + i / 251);
  return s;
}

TEST(MemoryStreamTest, GrowsAndFillsGapsWithZeros) {
  MemoryStream stream;
  EXPECT_EQ(stream.Write("ab", 2), 2);
  EXPECT_EQ(stream.Seek(5), 5);
  EXPECT_EQ(stream.Write("z", 1), 1);
  EXPECT_EQ(stream.view(), std::string("ab\0\0\0z", 6));
  EXPECT_EQ(stream.Seek(-1), -1);
  stream.Seek(4);
  char buffer[8];
  EXPECT_EQ(stream.Read(buffer, 8), 2);
  EXPECT_EQ(stream.Read(buffer, 8), 0);
  stream.Seek(100);
  EXPECT_EQ(stream.Read(buffer, 8), 0) << "beyond the end";
  EXPECT_FALSE(stream.IsFile());
  EXPECT_TRUE(stream.Flush());
}

TEST(MemoryStreamTest, SetSizeClampsThePosition) {
  MemoryStream stream("0123456789");
  EXPECT_EQ(stream.Position(), 0);
  stream.Seek(8);
  EXPECT_TRUE(stream.SetSize(3));
  EXPECT_EQ(stream.Position(), 3);
  EXPECT_TRUE(stream.SetSize(5));
  EXPECT_EQ(stream.view(), std::string("012\0\0", 5));
  EXPECT_FALSE(stream.SetSize(-1));
  stream.Clear();
  EXPECT_EQ(stream.Size(), 0);
}

TEST(StreamTest, ReadBufferThrowsOnShortRead) {
  MemoryStream stream("abc");
  char buffer[4];
  stream.ReadBuffer(buffer, 3);
  stream.Seek(1);
  try {
    stream.ReadBuffer(buffer, 3);
    FAIL() << "no exception";
  } catch (const EReadError& e) {
    EXPECT_STREQ(e.what(), "Stream read error");
    EXPECT_STREQ(e.ClassName(), "EReadError");
  }
  stream.ReadBuffer(buffer, 0);  // nothing asked, nothing missing
}

TEST(StreamTest, CopyFromCopiesTheRestInBlocks) {
  const std::string data = Pattern(300'000);  // several blocks
  MemoryStream source(data);
  source.Seek(1000);
  MemoryStream target;
  target.Write("head", 4);
  EXPECT_EQ(target.CopyFrom(source, -1), 299'000);
  EXPECT_EQ(target.view(), "head" + data.substr(1000));
  EXPECT_EQ(target.CopyFrom(source, -1), 0) << "source at its end";
}

TEST(StreamTest, CopyFromACountBeyondTheSourceThrows) {
  MemoryStream source("abc");
  MemoryStream target;
  EXPECT_THROW(target.CopyFrom(source, 4), EReadError);
  source.Seek(0);
  EXPECT_EQ(target.CopyFrom(source, 2), 2);
}

TEST(OpenStreamTest, FailuresRaiseTheFileErrors) {
  MemEnv env;
  try {
    OpenStream(env, "/no/dir/Orvane.zip", kOpenCreate);
    FAIL() << "no exception";
  } catch (const EFCreateError& e) {
    EXPECT_STREQ(e.what(), "Cannot create file \"/no/dir/Orvane.zip\"");
    EXPECT_STREQ(e.ClassName(), "EFCreateError");
  }
  try {
    OpenStream(env, "/missing.zip", kOpenReadWrite | kShareDenyWrite);
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_STREQ(e.what(), "Cannot open file \"/missing.zip\"");
    EXPECT_STREQ(e.ClassName(), "EFOpenError");
  }
}

TEST(OpenStreamTest, WritesReadsAndFlushesARealFile) {
  test::TempDir dir;
  const std::string name = dir.Join("Orvane.zip");
  const std::string data = Pattern(100'000);
  {
    const auto stream = OpenStream(Env::Default(), name, kOpenCreate);
    EXPECT_TRUE(stream->IsFile());
    EXPECT_EQ(stream->Path(), name);
    stream->WriteBuffer(data.data(), static_cast<int64_t>(data.size()));
    EXPECT_TRUE(stream->Flush());
    EXPECT_EQ(stream->Size(), 100'000);
  }
  EXPECT_EQ(dir.ReadFile("Orvane.zip"), data);
  const auto stream = OpenStream(Env::Default(), name, kOpenRead | kShareDenyNone);
  MemoryStream copy;
  EXPECT_EQ(copy.CopyFrom(*stream, -1), 100'000);
  EXPECT_EQ(copy.view(), data);
  EXPECT_EQ(stream->Write("x", 1), 0) << "opened for reading";
  char c;
  EXPECT_EQ(stream->Read(&c, 1), 0);
}

}  // namespace
}  // namespace tessaly::platform
