// Writing the central directory and the end records (APPNOTE 4.3.12 to
// 4.3.16).
//
// Every central header, with its name, extra field and comment, goes through
// the owner's volume writer and one in-memory staging stream: in
// multi-volume output the writer decides where each header lands (a header
// is never divided from its name and extra field) and empties the staging
// stream into a volume when it moves on to the next one. The directory's
// start is therefore only known once its first header has been placed. The
// Zip64 end record, its locator, the end record and the archive comment are
// written straight into the last volume.
//
// Names are converted to the OEM code page when the owner asks for it,
// except names flagged as UTF-8 (general purpose bit 11, APPNOTE 4.4.4),
// which were read that way and stay so. Limits of the 16-bit length fields:
// a name whose bytes as written exceed 65,535 is refused before anything is
// written (error 61); kept extra blocks that would take the extra field past
// 65,535 bytes are left out; entry and archive comments are cut to 65,535
// bytes.

#include <algorithm>
#include <string>
#include <vector>

#include "engine/directory/dir_manager.h"
#include "engine/directory/signature_scanner.h"
#include "engine/format/byte_codec.h"
#include "engine/format/central_header.h"
#include "engine/format/entry_name.h"
#include "engine/format/signatures.h"
#include "engine/format/zip64.h"
#include "engine/format/zip64_extra.h"
#include "engine/base/za_exception.h"
#include "platform/env.h"
#include "platform/file_stream.h"
#include "platform/memory_stream.h"

namespace tessaly::engine {

namespace {

constexpr size_t kMaxField16 = 0xFFFF;

// The central extra field written for `item`: its Zip64 block, regenerated
// from the item's values, then every kept block except old Zip64 ones, as
// long as the field stays within its 16-bit length.
std::vector<uint8_t> CentralExtraField(const TDirItem& item) {
  std::vector<uint8_t> extra;
  ByteWriter writer(&extra);
  const Zip64Values values{item.Zip64UncompressedSize, item.Zip64CompressedSize,
                           item.Zip64LocalOffset, item.Zip64DiskStart};
  EncodeCentralZip64Extra(item.header, values, writer);
  for (const ExtraBlock& block : item.ExtraBlocks) {
    if (block.id == kZip64ExtraId) continue;
    const size_t size = block.data.size();
    if (extra.size() + ExtraBlockHeader::kFixedSize + size > kMaxField16) {
      break;
    }
    ExtraBlockHeader{block.id, static_cast<uint16_t>(size)}.Encode(writer);
    writer.PutBytes(block.data);
  }
  return extra;
}

// Where the directory described by the end records at the stream's end
// starts, for rewriting it in place; -1 when there are none.
int64_t ExistingDirectoryStart(TZADirManager& manager, bool zip_format) {
  const uint32_t order[2] = {
      zip_format ? kEndRecordSignature : kAltEndRecordSignature,
      zip_format ? kAltEndRecordSignature : kEndRecordSignature};
  for (uint32_t signature : order) {
    engine::EndRecord record;
    int64_t position = -1;
    if (!manager.FindEndRecord(signature, record, position)) continue;
    platform::Stream& stream = *manager.Stream;
    int64_t end_records = position;
    uint64_t size = record.directory_size;
    uint8_t bytes[Zip64EndRecord::kFixedSize];
    const int64_t zip64_records = position - int64_t{Zip64Locator::kFixedSize} -
                                  int64_t{Zip64EndRecord::kFixedSize};
    if (zip64_records >= 0 &&
        ReadAt(stream, position - int64_t{Zip64Locator::kFixedSize}, bytes,
               Zip64Locator::kFixedSize) &&
        DecodeFixed32(bytes) == kZip64LocatorSignature &&
        ReadAt(stream, zip64_records, bytes, Zip64EndRecord::kFixedSize)) {
      auto zip64 = Zip64EndRecord::Decode(bytes);
      if (zip64 && zip64->signature == kZip64EndRecordSignature) {
        end_records = zip64_records;
        size = zip64->directory_size;
      }
    }
    if (size > static_cast<uint64_t>(end_records)) return -1;
    return end_records - static_cast<int64_t>(size);
  }
  return -1;
}

}  // namespace

void TZADirManager::SaveDir(bool append_at_end, platform::Stream* stream) {
  if (stream != nullptr) Stream = stream;
  const Component* component = Owner.OwnerComponent();
  if (Stream == nullptr) throw EZAException(kCodeWriteError, component);

  // Names as they will be written; refused before the archive is touched.
  // A name flagged as UTF-8 (read from an archive) is written as UTF-8.
  const bool oem = Owner.UsesOemFileNames();
  std::vector<std::string> names(static_cast<size_t>(Dir.Count()));
  for (int32_t i = 0; i < Dir.Count(); ++i) {
    const TDirItem& item = Dir.ItemPtr(i);
    const std::string& name = item.StoredName;
    std::string& written = names[static_cast<size_t>(i)];
    written = EncodeEntryName(name, item.header.flags, oem);
    if (written.size() > kMaxField16) {
      throw EZAException(kCodeNameTooLong, {name}, component);
    }
  }

  // Looking for the old directory replaces Comment; ours is kept.
  int64_t start = StreamSize(*Stream);
  if (!append_at_end) {
    const std::string comment = Comment;
    const int64_t old_start =
        ExistingDirectoryStart(*this, Owner.IsZipFormat());
    Comment = comment;
    if (old_start >= 0) start = old_start;
  }
  if (Stream->Seek(start) != start || !Stream->SetSize(start)) {
    throw EZAException(kCodeWriteError, component);
  }

  platform::MemoryStream staging;
  TZAVolumeNumberInfo info = Owner.CurrentVolumeInfo();
  platform::Stream* out = Stream;
  uint64_t directory_size = 0;
  auto put = [&](const void* data, size_t count, int64_t keep_together) {
    if (count == 0) return;
    Owner.WriteToVolumesChecked(data, static_cast<int64_t>(count),
                                keep_together, info, out, &staging);
    Stream = out;
    directory_size += count;
  };

  int64_t directory_disk = info.Number;
  uint64_t directory_offset =
      static_cast<uint64_t>(out->Position() + staging.Size());
  for (int32_t i = 0; i < Dir.Count(); ++i) {
    TDirItem& item = Dir.ItemPtr(i);
    const std::string& name = names[static_cast<size_t>(i)];
    const std::vector<uint8_t> extra = CentralExtraField(item);
    const size_t comment_length = std::min(item.Comment.size(), kMaxField16);
    item.header.name_length = static_cast<uint16_t>(name.size());
    item.header.extra_length = static_cast<uint16_t>(extra.size());
    item.header.comment_length = static_cast<uint16_t>(comment_length);

    const auto header = EncodeToArray(item.header);
    put(header.data(), header.size(),
        static_cast<int64_t>(name.size() + extra.size()));
    if (i == 0) {
      // The writer may have moved on to a new volume to keep the header
      // whole: the directory starts wherever it actually landed.
      directory_disk = info.Number;
      directory_offset =
          static_cast<uint64_t>(out->Position() + staging.Size()) -
          header.size();
    }
    put(name.data(), name.size(), -1);
    put(extra.data(), extra.size(), -1);
    put(item.Comment.data(), comment_length, -1);
  }

  auto write_direct = [&](const void* data, size_t count) {
    if (count == 0) return;
    if (out->Write(data, static_cast<int64_t>(count)) !=
        static_cast<int64_t>(count)) {
      throw EZAException(kCodeWriteError, component);
    }
  };
  write_direct(staging.data(), static_cast<size_t>(staging.Size()));
  staging.Clear();

  const uint64_t position = static_cast<uint64_t>(out->Position());
  DirectoryLocation location;
  location.this_disk = info.Number;
  location.directory_disk = directory_disk;
  location.entry_count = static_cast<uint64_t>(Dir.Count());
  location.directory_size = directory_size;
  location.directory_offset = directory_offset;
  if (NeedsZip64EndRecords(location.entry_count, position)) {
    Zip64End = MakeZip64EndRecord(location);
    Zip64Locator = MakeZip64Locator(info.Number, position);
    const auto end64 = EncodeToArray(Zip64End);
    const auto locator = EncodeToArray(Zip64Locator);
    write_direct(end64.data(), end64.size());
    write_direct(locator.data(), locator.size());
  }

  // A record loaded from the archive keeps its flavour; a zero-filled one
  // (no end record was found) takes the selected one.
  uint32_t signature = EndRecord.signature;
  if (signature != kEndRecordSignature && signature != kAltEndRecordSignature) {
    signature = SignaturesFor(Owner.IsZipFormat()).end;
  }
  const size_t comment_length = std::min(Comment.size(), kMaxField16);
  EndRecord =
      MakeEndRecord(signature, location, static_cast<uint16_t>(comment_length));
  const auto end = EncodeToArray(EndRecord);
  write_direct(end.data(), end.size());
  write_direct(Comment.data(), comment_length);
  Stream = out;

  // The last volume of a multi-volume archive takes the final name.
  if (Owner.CurrentSpanningMode() == smNone || ForeignStream) return;
  const std::string current = Owner.CurrentVolumeFileName();
  const std::string final_name =
      Owner.VolumeName(Owner.ArchiveFileName(), -1, false);
  if (current.empty() || current == Owner.ArchiveFileName() ||
      current == final_name) {
    return;
  }
  platform::Env& env = Owner.OwnerEnv();
  Owner.ReleaseArchiveStream();
  Stream = nullptr;
  if (env.FileExists(final_name)) env.RemoveFile(final_name);
  const bool renamed = Owner.RenameVolume(current, final_name);
  const std::string& open_name = renamed ? final_name : current;
  auto reopened = std::make_unique<platform::FileStream>(
      env, open_name, kOpenReadWriteDenyNone);
  reopened->Seek(reopened->Size());
  Owner.ReplaceArchiveStream(std::move(reopened), open_name);
  Stream = Owner.ArchiveStream();
  if (!renamed) throw EZAException(kCodeRenameVolume, {final_name}, component);
}

}  // namespace tessaly::engine
