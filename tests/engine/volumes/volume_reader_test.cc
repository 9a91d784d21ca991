// Reading across volume files: a read runs on from the end of one volume
// into the next, positions are (volume, offset), and a missing volume is
// named in the error.
#include "engine/volumes/volume_reader.h"

#include <string>

#include <gtest/gtest.h>

#include "platform/testing/mem_env.h"

namespace tessaly::engine {
namespace {

class VolumeReaderTest : public ::testing::Test {
 protected:
  VolumeReaderTest() {
    Write("a.z01", "0123");
    Write("a.z02", "");  // an empty volume is passed over
    Write("a.z03", "456");
    Write("a.zip", "789");
  }

  void Write(const std::string& name, const std::string& content) {
    auto file = env_.OpenFile(name, platform::kOpenCreate);
    ASSERT_NE(file, nullptr);
    file->Write(content.data(), static_cast<int64_t>(content.size()));
  }

  static std::string Name(int32_t number) {
    return number == 3 ? "a.zip" : "a.z0" + std::to_string(number + 1);
  }

  std::string ReadAll(VolumeReader& reader, int64_t count) {
    std::string out(static_cast<size_t>(count), '\0');
    out.resize(static_cast<size_t>(reader.Read(out.data(), count)));
    return out;
  }

  platform::MemEnv env_;
};

TEST_F(VolumeReaderTest, ReadsRunAcrossVolumes) {
  VolumeReader reader(env_, 3, Name);
  reader.Seek(0, 2);
  EXPECT_EQ(ReadAll(reader, 6), "234567");
  EXPECT_EQ(reader.volume(), 3);
  EXPECT_EQ(reader.offset(), 1u);
  // The end of the last volume ends the reading.
  EXPECT_EQ(ReadAll(reader, 100), "89");
  EXPECT_EQ(ReadAll(reader, 1), "");
  // A position at the end of a volume is the start of the next one.
  reader.Seek(0, 4);
  EXPECT_EQ(ReadAll(reader, 2), "45");
  reader.Seek(3, 1);
  EXPECT_EQ(ReadAll(reader, 5), "89");
}

TEST_F(VolumeReaderTest, AMissingVolumeIsNamed) {
  env_.RemoveFile("a.z03");
  VolumeReader reader(env_, 3, Name);
  reader.Seek(0, 0);
  std::string buffer(10, '\0');
  try {
    reader.Read(buffer.data(), 10);
    FAIL() << "read past a missing volume";
  } catch (const EVolumeMissing& e) {
    EXPECT_EQ(e.volume(), 2);
    EXPECT_EQ(e.file_name(), "a.z03");
    EXPECT_NE(std::string(e.what()).find("\"a.z03\""), std::string::npos);
  }
  EXPECT_THROW(reader.Seek(2, 0), EVolumeMissing);
  // A volume number beyond the last is missing too.
  EXPECT_THROW(reader.Seek(7, 0), EVolumeMissing);
}

TEST_F(VolumeReaderTest, SpannedVolumesUnderOneNameAreNotTakenForEachOther) {
  // Every spanned volume has the archive's name; only the last is here.
  VolumeReader reader(env_, 2, [](int32_t) { return std::string("a.zip"); });
  EXPECT_THROW(reader.Seek(0, 0), EVolumeMissing);
  reader.Seek(2, 0);
  EXPECT_EQ(ReadAll(reader, 3), "789");
}

}  // namespace
}  // namespace tessaly::engine
