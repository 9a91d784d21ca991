// Zip64 markers and thresholds: when a field holds its marker, when the
// Zip64 end records are needed, and the two forms of the Zip64 extra field.
#include "engine/format/zip64.h"

#include <vector>

#include <gtest/gtest.h>

#include "engine/format/end_record.h"
#include "engine/format/signatures.h"
#include "engine/format/zip64_end_record.h"
#include "engine/format/zip64_extra.h"
#include "tests/engine/format/format_test_util.h"

namespace tessaly::engine {
namespace {

using testing::FromHex;
using testing::LeAt;
using testing::ToHex;

TEST(Zip64RulesTest, MarkerThresholds) {
  EXPECT_EQ(To16OrMarker(0), 0);
  EXPECT_EQ(To16OrMarker(65534), 65534);
  EXPECT_EQ(To16OrMarker(65535), 0xFFFF);
  EXPECT_EQ(To16OrMarker(0x10000), 0xFFFF);
  EXPECT_EQ(To32OrMarker(0xFFFFFFFE), 0xFFFFFFFEu);
  EXPECT_EQ(To32OrMarker(0xFFFFFFFF), 0xFFFFFFFFu);
  EXPECT_EQ(To32OrMarker(0x100000000), 0xFFFFFFFFu);  // not truncated to 0

  EXPECT_EQ(ValueOrZip64(uint32_t{7}, 99), 7u);
  EXPECT_EQ(ValueOrZip64(kZip64Marker32, 0x100000000), 0x100000000u);
  EXPECT_EQ(ValueOrZip64(uint16_t{7}, 99u), 7u);
  EXPECT_EQ(ValueOrZip64(kZip64Marker16, 70000u), 70000u);
}

TEST(Zip64RulesTest, EndRecordsNeededFrom65535EntriesOrPosition4G) {
  EXPECT_FALSE(NeedsZip64EndRecords(65534, 0xFFFFFFFE));
  EXPECT_TRUE(NeedsZip64EndRecords(65535, 0));
  EXPECT_TRUE(NeedsZip64EndRecords(0, 0xFFFFFFFF));
  EXPECT_FALSE(NeedsZip64EndRecords(0, 22));
}

TEST(EndRecordMakeTest, EmptyArchive) {
  DirectoryLocation where;
  where.directory_offset = 1234;  // the end record's own position
  const EndRecord r = MakeEndRecord(kEndRecordSignature, where, 0);
  EXPECT_EQ(r.total_entries, 0);
  EXPECT_EQ(r.entries_this_disk, 0);
  EXPECT_EQ(r.directory_size, 0u);
  EXPECT_EQ(r.directory_offset, 1234u);
  EXPECT_FALSE(NeedsZip64EndRecords(0, 1234));
}

TEST(EndRecordMakeTest, EntryCountsAtTheZip64Threshold) {
  DirectoryLocation where;
  where.this_disk = 4;
  where.directory_disk = 3;
  where.entry_count = 65534;
  where.directory_size = 100;
  where.directory_offset = 200;
  EndRecord r = MakeEndRecord(kEndRecordSignature, where, 7);
  EXPECT_EQ(r.entries_this_disk, 65534) << "entries this disk is the total";
  EXPECT_EQ(r.total_entries, 65534);
  EXPECT_EQ(r.this_disk, 4);
  EXPECT_EQ(r.directory_disk, 3);
  EXPECT_EQ(r.comment_length, 7);

  where.entry_count = 65535;
  r = MakeEndRecord(kEndRecordSignature, where, 7);
  EXPECT_EQ(r.entries_this_disk, 0xFFFF);
  EXPECT_EQ(r.total_entries, 0xFFFF);
  const Zip64EndRecord z = MakeZip64EndRecord(where);
  EXPECT_EQ(z.entries_this_disk, 65535u);
  EXPECT_EQ(z.total_entries, 65535u);
}

TEST(EndRecordMakeTest, LargeValuesBecomeMarkersAndNegativeVolumeIsFirst) {
  DirectoryLocation where;
  where.this_disk = -1;
  where.directory_disk = 70000;
  where.directory_size = 0xFFFFFFFE;
  where.directory_offset = 0xFFFFFFFF;
  const EndRecord r = MakeEndRecord(kAltEndRecordSignature, where, 0);
  EXPECT_EQ(r.signature, kAltEndRecordSignature);
  EXPECT_EQ(r.this_disk, 0);
  EXPECT_EQ(r.directory_disk, 0xFFFF);
  EXPECT_EQ(r.directory_size, 0xFFFFFFFEu);
  EXPECT_EQ(r.directory_offset, 0xFFFFFFFFu);
  const Zip64EndRecord z = MakeZip64EndRecord(where);
  EXPECT_EQ(z.this_disk, 0u);
  EXPECT_EQ(z.directory_disk, 70000u);
  EXPECT_EQ(z.directory_offset, 0xFFFFFFFFu);
}

TEST(LocalZip64ExtraTest, KnownImageAndDecode) {
  const LocalZip64Extra e{0xFFFFFFFF, 0x100000000};
  std::vector<uint8_t> bytes;
  ByteWriter writer(&bytes);
  e.Encode(writer);
  EXPECT_EQ(ToHex(bytes), "01001000FFFFFFFF000000000000000001000000");
  EXPECT_EQ(LocalZip64Extra::Decode(bytes), e);

  EXPECT_FALSE(LocalZip64Extra::Decode(std::span(bytes).first(19)));
  bytes[0] = 0x0A;  // another block's ID
  EXPECT_FALSE(LocalZip64Extra::Decode(bytes));
  bytes[0] = 0x01;
  bytes[2] = 8;  // declares less data than two sizes
  EXPECT_FALSE(LocalZip64Extra::Decode(bytes));
}

CentralHeader HeaderWithMarkers(bool uncompressed, bool compressed, bool offset,
                                bool disk) {
  CentralHeader h;
  h.uncompressed_size = uncompressed ? kZip64Marker32 : 10;
  h.compressed_size = compressed ? kZip64Marker32 : 20;
  h.local_header_offset = offset ? kZip64Marker32 : 30;
  h.disk_number_start = disk ? kZip64Marker16 : 1;
  return h;
}

TEST(CentralZip64ExtraTest, SizeCountsFlaggedFields) {
  EXPECT_EQ(CentralZip64ExtraSize(HeaderWithMarkers(0, 0, 0, 0)), 0u);
  EXPECT_EQ(CentralZip64ExtraSize(HeaderWithMarkers(1, 0, 0, 0)), 12u);
  EXPECT_EQ(CentralZip64ExtraSize(HeaderWithMarkers(0, 1, 1, 0)), 20u);
  EXPECT_EQ(CentralZip64ExtraSize(HeaderWithMarkers(0, 0, 0, 1)), 8u);
  EXPECT_EQ(CentralZip64ExtraSize(HeaderWithMarkers(1, 1, 1, 1)), 32u);
  // 0xFFFFFFFE is a real value, not a marker.
  CentralHeader h;
  h.uncompressed_size = 0xFFFFFFFE;
  h.disk_number_start = 0xFFFE;
  EXPECT_EQ(CentralZip64ExtraSize(h), 0u);
}

TEST(CentralZip64ExtraTest, EncodesAllValuesInOrder) {
  const CentralHeader h = HeaderWithMarkers(1, 1, 1, 1);
  const Zip64Values v{0x100000001, 0x100000002, 0x100000003, 0x10000};
  std::vector<uint8_t> bytes;
  ByteWriter writer(&bytes);
  EncodeCentralZip64Extra(h, v, writer);
  EXPECT_EQ(ToHex(bytes),
            "01001C00010000000100000002000000010000000300000001000000000001"
            "00");
  Zip64Values parsed;
  EXPECT_TRUE(ParseCentralZip64Extra(std::span(bytes).subspan(4), h, &parsed));
  EXPECT_EQ(parsed, v);
}

TEST(CentralZip64ExtraTest, EncodesOnlyFlaggedValues) {
  const CentralHeader h = HeaderWithMarkers(0, 1, 0, 1);
  const Zip64Values v{0x111, 0x100000002, 0x333, 0x10000};
  std::vector<uint8_t> bytes;
  ByteWriter writer(&bytes);
  EncodeCentralZip64Extra(h, v, writer);
  ASSERT_EQ(bytes.size(), CentralZip64ExtraSize(h));
  EXPECT_EQ(LeAt(bytes, 0, 2), 1u) << "zip64 extra: header id";
  EXPECT_EQ(LeAt(bytes, 2, 2), 12u) << "zip64 extra: data size";
  EXPECT_EQ(LeAt(bytes, 4, 8), 0x100000002u) << "zip64 extra: compressed";
  EXPECT_EQ(LeAt(bytes, 12, 4), 0x10000u) << "zip64 extra: disk start";

  std::vector<uint8_t> none;
  ByteWriter none_writer(&none);
  EncodeCentralZip64Extra(HeaderWithMarkers(0, 0, 0, 0), v, none_writer);
  EXPECT_TRUE(none.empty());
}

TEST(CentralZip64ExtraTest, OnlyCompressedFlaggedTakesFirstEightBytes) {
  const auto data = FromHex("0807060504030201 AAAAAAAAAAAAAAAA");
  Zip64Values v{1, 2, 3, 4};
  EXPECT_TRUE(ParseCentralZip64Extra(data, HeaderWithMarkers(0, 1, 0, 0), &v));
  EXPECT_EQ(v.compressed_size, 0x0102030405060708u);
  EXPECT_EQ(v.uncompressed_size, 1u) << "unflagged values are not touched";
  EXPECT_EQ(v.local_header_offset, 3u);
  EXPECT_EQ(v.disk_number_start, 4u);
}

TEST(CentralZip64ExtraTest, ShortBlockStopsAtFirstMissingValue) {
  // Uncompressed present; compressed cut to 4 bytes; the disk start must not
  // be taken from those 4 bytes.
  const auto data = FromHex("1100000001000000 22000000");
  Zip64Values v{0, 0, 0, 7};
  EXPECT_FALSE(ParseCentralZip64Extra(data, HeaderWithMarkers(1, 1, 0, 1), &v));
  EXPECT_EQ(v.uncompressed_size, 0x100000011u);
  EXPECT_EQ(v.compressed_size, 0u);
  EXPECT_EQ(v.disk_number_start, 7u);

  Zip64Values empty{5, 6, 7, 8};
  EXPECT_FALSE(
      ParseCentralZip64Extra({}, HeaderWithMarkers(1, 1, 1, 1), &empty));
  EXPECT_EQ(empty, (Zip64Values{5, 6, 7, 8}));

  const auto disk_only = FromHex("0100 0200");
  Zip64Values d;
  EXPECT_TRUE(
      ParseCentralZip64Extra(disk_only, HeaderWithMarkers(0, 0, 0, 1), &d));
  EXPECT_EQ(d.disk_number_start, 0x00020001u);
}

TEST(CentralZip64ExtraTest, ParseNeverReadsPastTheBlock) {
  // The block is a prefix of a larger buffer whose tail would be a valid
  // value; a parser that read past the span would pick it up.
  const auto buffer = FromHex("0100000000000000 0200000000000000");
  Zip64Values v;
  EXPECT_FALSE(ParseCentralZip64Extra(std::span(buffer).first(12),
                                      HeaderWithMarkers(1, 1, 0, 0), &v));
  EXPECT_EQ(v.uncompressed_size, 1u);
  EXPECT_EQ(v.compressed_size, 0u);
}

}  // namespace
}  // namespace tessaly::engine
