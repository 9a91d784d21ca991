#include "engine/entries/archive_join.h"

#include <algorithm>
#include <vector>

#include "engine/entries/entry_reader.h"
#include "engine/format/byte_codec.h"
#include "engine/format/central_header.h"
#include "engine/format/end_record.h"
#include "engine/format/signatures.h"
#include "engine/format/zip64.h"
#include "engine/format/zip64_end_record.h"
#include "engine/format/zip64_extra.h"
#include "engine/format/zip64_locator.h"

namespace tessaly::engine {

namespace {

constexpr int64_t kCopyBlock = 1 << 20;

// Version 4.5 in the low byte: what a reader needs for Zip64 fields.
constexpr uint16_t kZip64Version = 45;

void CopyBytes(VolumeReader& volumes, uint64_t count, platform::Stream& output,
               std::vector<uint8_t>& buffer, const std::string& name) {
  while (count > 0) {
    const int64_t wanted = static_cast<int64_t>(
        std::min<uint64_t>(count, static_cast<uint64_t>(buffer.size())));
    const int64_t got = volumes.Read(buffer.data(), wanted);
    if (got != wanted) {
      throw EJoinError("The archive ends inside the data of \"" + name + "\"");
    }
    output.WriteBuffer(buffer.data(), got);
    count -= static_cast<uint64_t>(got);
  }
}

// The central header of `item` for its copy at `offset`, with its extra
// field: the kept blocks without any Zip64 block, behind a new Zip64 block
// when a value needs one.
std::vector<uint8_t> CentralRecord(const TDirItem& item, uint64_t offset,
                                   const std::string& raw_name) {
  CentralHeader header = item.header;
  header.disk_number_start = 0;
  header.uncompressed_size = To32OrMarker(item.UncompressedSize());
  header.compressed_size = To32OrMarker(item.CompressedSize());
  header.local_header_offset = To32OrMarker(offset);
  header.name_length = static_cast<uint16_t>(raw_name.size());

  std::vector<uint8_t> extra;
  ByteWriter extra_writer(&extra);
  const Zip64Values values{item.UncompressedSize(), item.CompressedSize(),
                           offset, 0};
  EncodeCentralZip64Extra(header, values, extra_writer);
  if (!extra.empty() && (header.version_needed & 0xFF) < kZip64Version) {
    header.version_needed =
        static_cast<uint16_t>((header.version_needed & 0xFF00) | kZip64Version);
  }
  for (const ExtraBlock& block : item.ExtraBlocks) {
    if (block.id == kZip64ExtraId) continue;
    if (extra.size() + ExtraBlockHeader::kFixedSize + block.data.size() >
        0xFFFF) {
      break;
    }
    extra_writer.PutU16(block.id);
    extra_writer.PutU16(static_cast<uint16_t>(block.data.size()));
    extra_writer.PutBytes(block.data);
  }
  header.extra_length = static_cast<uint16_t>(extra.size());
  header.comment_length = static_cast<uint16_t>(item.Comment.size());

  std::vector<uint8_t> record;
  ByteWriter writer(&record);
  header.Encode(writer);
  writer.PutBytes(std::span(reinterpret_cast<const uint8_t*>(raw_name.data()),
                            raw_name.size()));
  writer.PutBytes(extra);
  writer.PutBytes(std::span(
      reinterpret_cast<const uint8_t*>(item.Comment.data()), item.Comment.size()));
  return record;
}

}  // namespace

void JoinArchive(VolumeReader& volumes, const TZADirArray& dir,
                 const std::string& comment, platform::Stream& output) {
  const int64_t base = output.Position();
  std::vector<uint8_t> buffer(kCopyBlock);
  std::vector<uint8_t> directory;
  bool alternate = false;
  for (int32_t i = 0; i < dir.Count(); ++i) {
    const TDirItem& item = dir.ItemPtr(i);
    alternate = alternate || item.header.signature == kAltCentralHeaderSignature;
    LocalEntryLayout layout;
    if (ReadLocalLayout(volumes, item, layout) != EntryStatus::kOk) {
      throw EJoinError("No local header where the directory places \"" +
                       item.StoredName + "\"");
    }
    const uint64_t offset = static_cast<uint64_t>(output.Position() - base);
    volumes.Seek(layout.volume, layout.offset);
    CopyBytes(volumes, layout.header_size + layout.data_size, output, buffer,
              item.StoredName);
    if ((layout.header.flags & kFlagDataDescriptor) != 0) {
      DescriptorRead descriptor;
      if (!ReadDataDescriptor(volumes, DescriptorIsZip64(layout, item),
                              descriptor)) {
        throw EJoinError("The archive ends inside the data of \"" +
                         item.StoredName + "\"");
      }
      output.WriteBuffer(descriptor.raw,
                         static_cast<int64_t>(descriptor.raw_size));
    }
    const std::vector<uint8_t> record =
        CentralRecord(item, offset, layout.raw_name);
    directory.insert(directory.end(), record.begin(), record.end());
  }

  DirectoryLocation location;
  location.entry_count = static_cast<uint64_t>(dir.Count());
  location.directory_size = directory.size();
  location.directory_offset = static_cast<uint64_t>(output.Position() - base);
  output.WriteBuffer(directory.data(), static_cast<int64_t>(directory.size()));

  std::vector<uint8_t> end;
  ByteWriter writer(&end);
  const uint64_t after_directory =
      location.directory_offset + location.directory_size;
  if (NeedsZip64EndRecords(location.entry_count, after_directory)) {
    MakeZip64EndRecord(location).Encode(writer);
    MakeZip64Locator(0, after_directory).Encode(writer);
  }
  const std::string kept = comment.substr(0, 0xFFFF);
  MakeEndRecord(alternate ? kAltEndRecordSignature : kEndRecordSignature,
                location, static_cast<uint16_t>(kept.size()))
      .Encode(writer);
  writer.PutBytes(std::span(reinterpret_cast<const uint8_t*>(kept.data()),
                            kept.size()));
  output.WriteBuffer(end.data(), static_cast<int64_t>(end.size()));
}

}  // namespace tessaly::engine
