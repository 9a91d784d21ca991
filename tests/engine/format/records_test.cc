// Byte images of the fixed-size records. Each record is checked three ways:
// field by field against the APPNOTE offsets with the test's own reader,
// against a hex image built independently with Python's struct module and
// zipfile's layout strings, and by decoding that image back.
#include <initializer_list>
#include <vector>

#include <gtest/gtest.h>

#include "engine/format/central_header.h"
#include "engine/format/data_descriptor.h"
#include "engine/format/end_record.h"
#include "engine/format/local_header.h"
#include "engine/format/signatures.h"
#include "engine/format/zip64_end_record.h"
#include "engine/format/zip64_locator.h"
#include "tests/engine/format/format_test_util.h"

namespace tessaly::engine {
namespace {

using testing::FieldSpec;
using testing::FromHex;
using testing::LeAt;
using testing::ToHex;

template <typename Record>
std::vector<uint8_t> Encoded(const Record& record) {
  std::vector<uint8_t> bytes;
  ByteWriter writer(&bytes);
  record.Encode(writer);
  return bytes;
}

void ExpectFields(const std::vector<uint8_t>& bytes, const char* record,
                  std::initializer_list<FieldSpec> fields) {
  for (const FieldSpec& f : fields) {
    ASSERT_LE(f.offset + f.size, bytes.size()) << record << ": " << f.name;
    EXPECT_EQ(LeAt(bytes, f.offset, f.size), f.expected)
        << record << ": " << f.name;
  }
}

// Every Decode refuses input one byte short of the record and accepts
// longer input (the bytes that follow a record: name, comment, ...).
template <typename Record>
void ExpectDecodeNeedsWholeRecord(const std::vector<uint8_t>& image) {
  ASSERT_EQ(image.size(), Record::kFixedSize);
  EXPECT_FALSE(Record::Decode(std::span(image).first(image.size() - 1)));
  EXPECT_FALSE(Record::Decode({}));
  std::vector<uint8_t> longer = image;
  longer.push_back(0xEE);
  EXPECT_EQ(Record::Decode(longer), Record::Decode(image));
}

TEST(LocalHeaderTest, EncodesEveryFieldAtItsOffset) {
  LocalHeader h;
  h.signature = kLocalHeaderSignature;
  h.version_needed = kVersionAnsi;
  h.flags = kFlagEncrypted;
  h.method = kMethodDeflated;
  h.mod_time = 0x6E5A;
  h.mod_date = 0x5A2B;
  h.crc32 = 0xCBF43926;
  h.compressed_size = 0x12345678;
  h.uncompressed_size = 0x9ABCDEF0;
  h.name_length = 9;
  h.extra_length = 20;

  const std::vector<uint8_t> bytes = Encoded(h);
  EXPECT_EQ(bytes.size(), 30u);
  ExpectFields(bytes, "local header",
               {{"signature", 0, 4, 0x04034B50},
                {"version needed", 4, 2, 0x0B14},
                {"flags", 6, 2, 1},
                {"method", 8, 2, 8},
                {"mod time", 10, 2, 0x6E5A},
                {"mod date", 12, 2, 0x5A2B},
                {"crc32", 14, 4, 0xCBF43926},
                {"compressed size", 18, 4, 0x12345678},
                {"uncompressed size", 22, 4, 0x9ABCDEF0},
                {"name length", 26, 2, 9},
                {"extra length", 28, 2, 20}});
  const char* kImage =
      "504B0304140B010008005A6E2B5A2639F4CB78563412F0DEBC9A09001400";
  EXPECT_EQ(ToHex(bytes), kImage);
  EXPECT_EQ(LocalHeader::Decode(FromHex(kImage)), h);
  ExpectDecodeNeedsWholeRecord<LocalHeader>(bytes);
}

TEST(LocalHeaderTest, DecodeLeavesSignatureCheckToCaller) {
  LocalHeader h;
  h.signature = kAltLocalHeaderSignature;
  h.version_needed = kAltVersion;
  const auto bytes = Encoded(h);
  EXPECT_EQ(ToHex(std::span(bytes).first(4)), "615C0405");
  auto decoded = LocalHeader::Decode(bytes);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->signature, kAltLocalHeaderSignature);

  auto zeros = LocalHeader::Decode(std::vector<uint8_t>(30, 0));
  ASSERT_TRUE(zeros);
  EXPECT_EQ(zeros->signature, 0u);
}

// A Zip64 folder-like entry: every marker set, so that a field written at a
// neighbour's offset would show.
TEST(CentralHeaderTest, EncodesEveryFieldAtItsOffset) {
  CentralHeader h;
  h.signature = kCentralHeaderSignature;
  h.version_made_by = kVersionZip64;
  h.version_needed = kVersionZip64;
  h.flags = kFlagFolder;
  h.method = kMethodStored;
  h.mod_time = 0x6E5A;
  h.mod_date = 0x5A2B;
  h.crc32 = 0;
  h.compressed_size = kZip64Marker32;
  h.uncompressed_size = kZip64Marker32;
  h.name_length = 7;
  h.extra_length = 32;
  h.comment_length = 5;
  h.disk_number_start = kZip64Marker16;
  h.internal_attributes = 1;
  h.external_attributes = 0x10;
  h.local_header_offset = kZip64Marker32;

  const std::vector<uint8_t> bytes = Encoded(h);
  EXPECT_EQ(bytes.size(), 46u);
  ExpectFields(bytes, "central header",
               {{"signature", 0, 4, 0x02014B50},
                {"version made by", 4, 2, 0x002D},
                {"version needed", 6, 2, 0x002D},
                {"flags", 8, 2, 2},
                {"method", 10, 2, 0},
                {"mod time", 12, 2, 0x6E5A},
                {"mod date", 14, 2, 0x5A2B},
                {"crc32", 16, 4, 0},
                {"compressed size", 20, 4, 0xFFFFFFFF},
                {"uncompressed size", 24, 4, 0xFFFFFFFF},
                {"name length", 28, 2, 7},
                {"extra length", 30, 2, 32},
                {"comment length", 32, 2, 5},
                {"disk number start", 34, 2, 0xFFFF},
                {"internal attributes", 36, 2, 1},
                {"external attributes", 38, 4, 0x10},
                {"local header offset", 42, 4, 0xFFFFFFFF}});
  const char* kImage =
      "504B01022D002D00020000005A6E2B5A00000000FFFFFFFFFFFFFFFF0700200005"
      "00FFFF010010000000FFFFFFFF";
  EXPECT_EQ(ToHex(bytes), kImage);
  EXPECT_EQ(CentralHeader::Decode(FromHex(kImage)), h);
  ExpectDecodeNeedsWholeRecord<CentralHeader>(bytes);
}

TEST(EndRecordTest, EncodesEveryFieldAtItsOffset) {
  EndRecord r;
  r.signature = kEndRecordSignature;
  r.this_disk = 3;
  r.directory_disk = 2;
  r.entries_this_disk = 0xFFFF;
  r.total_entries = 0xFFFF;
  r.directory_size = 0x1234;
  r.directory_offset = 0xFFFFFFFF;
  r.comment_length = 10;

  const std::vector<uint8_t> bytes = Encoded(r);
  ExpectFields(bytes, "end record",
               {{"signature", 0, 4, 0x06054B50},
                {"this disk", 4, 2, 3},
                {"directory disk", 6, 2, 2},
                {"entries this disk", 8, 2, 0xFFFF},
                {"total entries", 10, 2, 0xFFFF},
                {"directory size", 12, 4, 0x1234},
                {"directory offset", 16, 4, 0xFFFFFFFF},
                {"comment length", 20, 2, 10}});
  const char* kImage = "504B050603000200FFFFFFFF34120000FFFFFFFF0A00";
  EXPECT_EQ(ToHex(bytes), kImage);
  EXPECT_EQ(EndRecord::Decode(FromHex(kImage)), r);
  ExpectDecodeNeedsWholeRecord<EndRecord>(bytes);
}

TEST(EndRecordTest, AlternateSignatureBytes) {
  EndRecord r;
  r.signature = SignaturesFor(false).end;
  const auto bytes = Encoded(r);
  EXPECT_EQ(ToHex(std::span(bytes).first(4)), "41410506");
}

TEST(Zip64EndRecordTest, EncodesEveryFieldAtItsOffset) {
  DirectoryLocation where;
  where.this_disk = 3;
  where.directory_disk = 2;
  where.entry_count = 65535;
  where.directory_size = 0x100000002;
  where.directory_offset = 0x123456789;
  const Zip64EndRecord r = MakeZip64EndRecord(where);

  const std::vector<uint8_t> bytes = Encoded(r);
  EXPECT_EQ(bytes.size(), 56u);
  ExpectFields(bytes, "zip64 end record",
               {{"signature", 0, 4, 0x06064B50},
                {"record size", 4, 8, 44},
                {"version made by", 12, 2, 45},
                {"version needed", 14, 2, 45},
                {"this disk", 16, 4, 3},
                {"directory disk", 20, 4, 2},
                {"entries this disk", 24, 8, 65535},
                {"total entries", 32, 8, 65535},
                {"directory size", 40, 8, 0x100000002},
                {"directory offset", 48, 8, 0x123456789}});
  const char* kImage =
      "504B06062C000000000000002D002D000300000002000000FFFF000000000000FFFF"
      "00000000000002000000010000008967452301000000";
  EXPECT_EQ(ToHex(bytes), kImage);
  EXPECT_EQ(Zip64EndRecord::Decode(FromHex(kImage)), r);
  ExpectDecodeNeedsWholeRecord<Zip64EndRecord>(bytes);
}

TEST(Zip64LocatorTest, EncodesEveryFieldAtItsOffset) {
  const Zip64Locator r = MakeZip64Locator(3, 0x100000010);
  const std::vector<uint8_t> bytes = Encoded(r);
  ExpectFields(bytes, "zip64 locator",
               {{"signature", 0, 4, 0x07064B50},
                {"zip64 end disk", 4, 4, 3},
                {"zip64 end offset", 8, 8, 0x100000010},
                {"total disks", 16, 4, 4}});
  const char* kImage = "504B060703000000100000000100000004000000";
  EXPECT_EQ(ToHex(bytes), kImage);
  EXPECT_EQ(Zip64Locator::Decode(FromHex(kImage)), r);
  ExpectDecodeNeedsWholeRecord<Zip64Locator>(bytes);
}

TEST(Zip64LocatorTest, NegativeVolumeCountsAsFirst) {
  const Zip64Locator r = MakeZip64Locator(-1, 100);
  EXPECT_EQ(r.zip64_end_disk, 0u);
  EXPECT_EQ(r.total_disks, 1u);
}

TEST(DataDescriptorTest, DecodesKnownImage) {
  const auto image = FromHex("504B0708C24124350500000003000000");
  auto d = DataDescriptor::Decode(image);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->signature, kDataDescriptorSignature) << "descriptor: signature";
  EXPECT_EQ(d->crc32, 0x352441C2u) << "descriptor: crc32";
  EXPECT_EQ(d->compressed_size, 5u) << "descriptor: compressed size";
  EXPECT_EQ(d->uncompressed_size, 3u) << "descriptor: uncompressed size";
  EXPECT_EQ(Encoded(*d), image);
  ExpectDecodeNeedsWholeRecord<DataDescriptor>(image);
}

TEST(DataDescriptorTest, DecodesKnownZip64Image) {
  // Sizes of 8 bytes each: 0x100000005 compressed, 3 uncompressed.
  const auto image =
      FromHex("504B0708C2412435050000000100000003000000" "00000000");
  auto d = Zip64DataDescriptor::Decode(image);
  ASSERT_TRUE(d);
  EXPECT_EQ(d->signature, kDataDescriptorSignature) << "descriptor: signature";
  EXPECT_EQ(d->crc32, 0x352441C2u) << "descriptor: crc32";
  EXPECT_EQ(d->compressed_size, 0x100000005u) << "descriptor: compressed size";
  EXPECT_EQ(d->uncompressed_size, 3u) << "descriptor: uncompressed size";
  EXPECT_EQ(Encoded(*d), image);
  ExpectDecodeNeedsWholeRecord<Zip64DataDescriptor>(image);
}

TEST(RecordEncodeTest, FixedBufferTooSmallFailsWithoutOverrun) {
  std::array<uint8_t, 32> buffer;
  buffer.fill(0xAA);
  ByteWriter writer{std::span(buffer).first(29)};
  LocalHeader h;
  h.signature = kLocalHeaderSignature;
  h.extra_length = 0x1234;
  h.Encode(writer);
  EXPECT_FALSE(writer.ok());
  EXPECT_EQ(buffer[29], 0xAA);  // the last field was refused whole

  const auto exact = EncodeToArray(h);
  EXPECT_EQ(LocalHeader::Decode(exact), h);
}

TEST(SignaturesTest, SetsAndFlavours) {
  EXPECT_EQ(SignaturesFor(true).local, 0x04034B50u);
  EXPECT_EQ(SignaturesFor(true).central, 0x02014B50u);
  EXPECT_EQ(SignaturesFor(true).end, 0x06054B50u);
  EXPECT_EQ(SignaturesFor(false).local, 0x05045C61u);
  EXPECT_EQ(SignaturesFor(false).central, 0x03025C61u);
  EXPECT_EQ(SignaturesFor(false).end, 0x06054141u);
}

}  // namespace
}  // namespace tessaly::engine
