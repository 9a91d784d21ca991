// Writing one entry and carrying one over.
//
// A new entry is written in three moves: a local header with placeholders
// (CRC-32 and compressed size are not known yet), the data produced block by
// block by the deflate adapter, then the same header again in place with the
// final values. General purpose bit 3 and data descriptors are never used,
// so the header left in the archive is final (APPNOTE 4.3.7, 4.4.4).
//
// In multi-volume output the entry is first assembled in a temporary file
// and then handed to the volume sequence in two pieces: the header with its
// name and Zip64 extra field, which must stay on one volume, and the data,
// which may be cut anywhere. Only then are its disk number and offset known.
//
// Hard cases:
// - Whether the local header needs the 20-byte Zip64 extra field must be
//   decided before any data is written, because the header cannot grow
//   afterwards. The uncompressed size is known; the compressed size is not.
//   With zmAuto the field is therefore also reserved when the compressed
//   data could reach 0xFFFFFFFF bytes although the source is smaller
//   (incompressible data plus deflate's framing and the 12-byte encryption
//   header); otherwise the header would carry 0xFFFFFFFF as compressed size
//   with no extra field to hold the real one.
// - An unchanged entry is carried over with the lengths of its own local
//   header (name and extra field), not of its central header: the two extra
//   fields often differ in foreign archives, and a data descriptor that
//   follows the data (bit 3) is carried along.
#include "engine/entries/entry_writer.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/format/byte_codec.h"
#include "engine/format/entry_name.h"
#include "engine/format/local_header.h"
#include "engine/format/signatures.h"
#include "engine/format/zip64_extra.h"
#include "engine/base/za_exception.h"
#include "engine/io/deflate_adapter.h"
#include "platform/exception.h"
#include "platform/open_stream.h"
#include "platform/path.h"
#include "platform/text.h"

namespace tessaly::engine {

namespace {

using platform::Stream;

constexpr int64_t kMarker32 = kZip64Marker32;
constexpr int64_t kCarryBlock = 1 << 20;

// The window [offset, end) of another stream, seen as a stream that starts
// at 0. An entry whose data begin at SourceOffset of its SourceStream is read
// through it, so that the adapter's "seek to 0" means the data's start.
class OffsetStream final : public Stream {
 public:
  OffsetStream(Stream& base, int64_t offset) : base_(base), offset_(offset) {}

  int64_t Read(void* buffer, int64_t count) override {
    return base_.Read(buffer, count);
  }
  int64_t Write(const void*, int64_t) override { return 0; }
  int64_t Seek(int64_t position) override {
    if (position < 0) return -1;
    const int64_t result = base_.Seek(offset_ + position);
    return result < 0 ? -1 : result - offset_;
  }
  int64_t Position() const override { return base_.Position() - offset_; }
  int64_t Size() const override {
    return std::max<int64_t>(0, base_.Size() - offset_);
  }
  bool SetSize(int64_t) override { return false; }

 private:
  Stream& base_;
  int64_t offset_;
};

// The data source of one entry: a file opened for it, the item's own
// SourceStream, or nothing (a folder). Close releases it as the entry's
// outcome requires (CloseEntrySource); the destructor closes it as failed.
class EntrySource {
 public:
  explicit EntrySource(TDirItem& item) : item_(item) {}
  EntrySource(const EntrySource&) = delete;
  EntrySource& operator=(const EntrySource&) = delete;
  ~EntrySource() { Close(false); }

  void UseItemStream() {
    borrowed_ = item_.SourceStream.get();
    remembered_ = borrowed_->Position();
    view_ = std::make_unique<OffsetStream>(*borrowed_, item_.SourceOffset);
    view_->Seek(0);
  }
  void UseFile(std::unique_ptr<Stream> file) { file_ = std::move(file); }

  // Null for a folder.
  Stream* stream() const { return view_ ? view_.get() : file_.get(); }

  // Frees a file stream. An owned SourceStream is let go of when the entry
  // was written (the item forgets it); otherwise it goes back to the
  // position it had, so that a retry or the caller finds it unchanged.
  void Close(bool written) {
    file_.reset();
    view_.reset();
    if (borrowed_ == nullptr) return;
    if (written && item_.OwnsSource() &&
        item_.SourceStream.get() == borrowed_) {
      item_.SourceStream.Reset();
    } else {
      borrowed_->Seek(remembered_);
    }
    borrowed_ = nullptr;
  }

 private:
  TDirItem& item_;
  std::unique_ptr<Stream> file_;
  Stream* borrowed_ = nullptr;
  std::unique_ptr<OffsetStream> view_;
  int64_t remembered_ = 0;
};

// A temporary file that is deleted however the entry ends.
class TempFile {
 public:
  explicit TempFile(platform::Env& env) : env_(env) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() { Remove(); }

  Stream& Create(const std::string& name) {
    name_ = name;
    stream_ = platform::OpenStream(env_, name,
                                                     platform::kOpenCreate);
    return *stream_;
  }
  void Remove() {
    stream_.reset();
    if (!name_.empty()) env_.RemoveFile(name_);
    name_.clear();
  }

 private:
  platform::Env& env_;
  std::string name_;
  std::unique_ptr<Stream> stream_;
};

// Raises the per-block progress events for the deflate adapter.
class EntryProgress final : public CompressProgress {
 public:
  EntryProgress(EntryEvents& events, ApplyProgress& counters,
                const TDirItem& item)
      : events_(events),
        counters_(counters),
        name_(item.SourceFileName),
        operation_(item.EntryAction) {}

  void Start(int64_t bytes_total) override {
    counters_.FileBytesDone = 0;
    counters_.FileBytesTotal = static_cast<double>(bytes_total);
  }

  // The file event first, then the overall one; a Cancel in the file event
  // stops before the overall event is raised.
  void BeforeBlock(int64_t bytes_done, int64_t bytes_total) override {
    counters_.FileBytesDone = static_cast<double>(bytes_done);
    counters_.FileBytesTotal = static_cast<double>(bytes_total);
    if (!counters_.ProgressEnabled || counters_.CancelRequested) return;
    const double fraction = bytes_total > 0 ? counters_.FileBytesDone /
                                                  counters_.FileBytesTotal
                                            : 0.0;
    bool cancel = false;
    events_.DoFileProgress(name_, fraction * 100.0, operation_, ppProcess,
                           cancel);
    if (cancel) {
      counters_.CancelRequested = true;
      return;
    }
    const double files_total =
        counters_.FilesTotal > 0 ? static_cast<double>(counters_.FilesTotal)
                                 : 1.0;
    events_.DoOverallProgress(
        (fraction + counters_.FilesDone) / files_total * 100.0, operation_,
        ppProcess, cancel);
    if (cancel) counters_.CancelRequested = true;
  }

  bool Cancelled() const override { return counters_.CancelRequested; }

 private:
  EntryEvents& events_;
  ApplyProgress& counters_;
  std::string name_;
  TZAProcessOperation operation_;
};

std::vector<uint8_t> EncodeLocalHeader(const LocalHeader& header) {
  std::vector<uint8_t> bytes;
  ByteWriter writer(&bytes);
  header.Encode(writer);
  return bytes;
}

}  // namespace

bool NeedsLocalZip64(int64_t source_size, uint16_t method, bool encrypted,
                     TZip64Mode mode) {
  const int64_t marker = kZip64Marker32;
  if (source_size >= marker || mode == zmAlways) return true;
  if (mode != zmAuto) return false;
  // Deflate of incompressible data adds a few bytes per stored block and
  // per sync-flushed block; n/1024 + 4096 is well above both.
  int64_t worst = source_size;
  if (method != kMethodStored) worst += source_size / 1024 + 4096;
  if (encrypted) worst += 12;
  return worst >= marker;
}

int64_t CharacterCount(const std::string& text) {
  int64_t count = 0;
  for (size_t i = 0; i < text.size();
       i += static_cast<size_t>(
           platform::AnsiCharLength(static_cast<unsigned char>(text[i])))) {
    ++count;
  }
  return count;
}

uint16_t ShareModeFlags(TZAFileShareMode mode) {
  switch (mode) {
    case smShareCompat:
      return platform::kShareCompat;
    case smShareExclusive:
      return platform::kShareExclusive;
    case smShareDenyWrite:
      return platform::kShareDenyWrite;
    case smShareDenyRead:
      return platform::kShareDenyRead;
    case smShareDenyNone:
      return platform::kShareDenyNone;
  }
  return platform::kShareCompat;
}

std::string TempFileName(platform::Env& env, const std::string& temp_dir) {
  std::string name = env.TempFileName(temp_dir, "FC");
  if (name.empty()) {
    const std::string where =
        temp_dir.empty()
            ? std::string("FC")
            : platform::IncludeTrailingPathDelimiter(temp_dir) + "FC";
    throw platform::EFCreateError("Cannot create file \"" + where + "\"");
  }
  return name;
}

EntryWriter::EntryWriter(platform::Env& env, const Component* component,
                         VolumeSequence& volumes, EntryWriterSettings settings,
                         EntryEvents& events, ApplyProgress& progress,
                         RewritePlace& place)
    : env_(env),
      component_(component),
      volumes_(volumes),
      settings_(settings),
      events_(events),
      progress_(progress),
      place_(place) {}

int64_t EntryWriter::VolumeOffset() const {
  const platform::MemoryStream* staged = volumes_.staging();
  return staged != nullptr ? staged->Position() : volumes_.stream()->Position();
}

bool EntryWriter::WriteEntry(TZADirArray& dir, int32_t index) {
  settings_.entry_method =
      settings_.compression_mode != 0 ? kMethodDeflated : kMethodStored;
  copy_cancel_ = false;
  TDirItem& item = dir.ItemPtr(index);
  const TZAProcessOperation operation = item.EntryAction;
  const std::string progress_name = (operation == poAdd || operation == poMove)
                                        ? item.SourceFileName
                                        : item.StoredName;

  bool cancel = false;
  events_.DoFileProgress(progress_name, 0.0, operation, ppStart, cancel);
  if (cancel) {
    progress_.CancelRequested = true;
    return false;
  }

  EntrySource source(item);
  TempFile temp(env_);
  try {
    item.HasZip64 = false;
    if (item.SourceStream) {
      source.UseItemStream();
    } else if (!item.IsFolder()) {
      if (CharacterCount(item.SourceFileName) >= kMaxSourcePath) {
        throw EZAException(kCodeNameTooLong, {item.SourceFileName},
                           component_);
      }
      auto file = env_.OpenFile(
          item.SourceFileName,
          platform::kOpenRead | ShareModeFlags(settings_.options.ShareMode));
      if (file == nullptr) {
        throw EZAException(kCodeOpenFile, {item.SourceFileName}, component_);
      }
      source.UseFile(std::move(file));
    }
    Stream* data = source.stream();
    const int64_t source_size = data != nullptr ? data->Size() : 0;
    if (volumes_.stream() == nullptr) {
      throw EZAException(kCodeNoArchiveStream, component_);
    }

    // The local header's place (where it ends up, also while staging) and
    // the Zip64 decisions.
    const TZip64Mode zip64_mode = settings_.zip64_mode;
    const bool oem_names = settings_.options.OEMFileNames;
    SetLocalOffset(item, volumes_.stream()->Position() - place_.write_shift,
                   zip64_mode);
    const bool local_zip64 =
        data != nullptr &&
        NeedsLocalZip64(source_size, item.header.method,
                        !item.EntryPassword.empty(), zip64_mode);
    if (local_zip64) item.HasZip64 = true;
    uint16_t version;
    if (settings_.zip_format) {
      version = item.HasZip64 ? kVersionZip64
                : oem_names   ? kVersionOem
                              : kVersionAnsi;
      version = VersionForName(version, item.header.flags);
    } else {
      version = item.HasZip64 ? kAltVersionZip64 : kAltVersion;
    }
    item.header.version_needed = version;
    item.header.version_made_by = version;

    const std::string name =
        EncodeEntryName(item.StoredName, item.header.flags, oem_names);
    LocalHeader local;
    local.signature = SignaturesFor(settings_.zip_format).local;
    local.version_needed = version;
    local.flags = item.header.flags;
    local.method = item.header.method;
    local.mod_time = item.header.mod_time;
    local.mod_date = item.header.mod_date;
    local.crc32 = item.header.crc32;
    local.compressed_size = 0;
    local.uncompressed_size = data == nullptr ? 0
                              : local_zip64
                                  ? kZip64Marker32
                                  : static_cast<uint32_t>(source_size);
    local.name_length = static_cast<uint16_t>(name.size());
    local.extra_length = local_zip64 ? LocalZip64Extra::kFixedSize : 0;

    if (zip64_mode == zmDisabled && item.HasZip64) {
      source.Close(false);
      throw EZAException(kCodeZip64Header, {item.SourceFileName}, component_);
    }

    const bool multi_volume = settings_.spanning_mode != smNone;
    Stream* output = volumes_.stream();
    if (multi_volume) {
      output = &temp.Create(TempFileName(env_, settings_.temp_dir));
    }

    // In the archive itself the header stays hidden (signature 0) until the
    // entry is complete: while staging until the staged tail is published,
    // otherwise until it is rewritten after the data. A process that dies
    // meanwhile leaves no half-written entry for recovery to take.
    const uint32_t signature = local.signature;
    const bool hidden = !multi_volume && (place_.staging || data != nullptr);
    if (hidden) local.signature = 0;
    output->WriteBuffer(EncodeLocalHeader(local).data(),
                        LocalHeader::kFixedSize);
    output->WriteBuffer(name.data(), static_cast<int64_t>(name.size()));
    int64_t header_length =
        static_cast<int64_t>(LocalHeader::kFixedSize + name.size());
    if (local_zip64) {
      // Room for the extra field; its values are written after the data.
      const std::array<uint8_t, LocalZip64Extra::kFixedSize> gap{};
      output->WriteBuffer(gap.data(), static_cast<int64_t>(gap.size()));
      header_length += static_cast<int64_t>(gap.size());
    }

    if (data != nullptr && PackEntryData(*data, *output, item)) {
      local.crc32 = item.header.crc32;
      local.compressed_size = (item.header.compressed_size == kZip64Marker32 ||
                               zip64_mode == zmAlways)
                                  ? kZip64Marker32
                                  : item.header.compressed_size;
      if (source_size == 0) local.method = kMethodStored;
      if (!place_.staging) local.signature = signature;
      const int64_t header_at = multi_volume ? 0 : place_.PhysicalOffset(item);
      output->Seek(header_at);
      output->WriteBuffer(EncodeLocalHeader(local).data(),
                          LocalHeader::kFixedSize);
      output->Seek(header_at +
                   static_cast<int64_t>(LocalHeader::kFixedSize + name.size()));
      if (local_zip64) {
        LocalZip64Extra extra;
        extra.uncompressed_size = static_cast<uint64_t>(source_size);
        extra.compressed_size = item.CompressedSize();
        std::vector<uint8_t> bytes;
        ByteWriter writer(&bytes);
        extra.Encode(writer);
        output->WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
      }
    }

    if (progress_.CancelRequested) {
      source.Close(false);
      temp.Remove();
      return false;
    }

    output->Seek(output->Size());
    if (multi_volume) {
      // The header piece may not be divided; the data may.
      output->Seek(0);
      std::vector<uint8_t> head(static_cast<size_t>(header_length));
      output->ReadBuffer(head.data(), header_length);
      volumes_.WriteChecked(head.data(), header_length, 0);
      SetDiskStart(item, volumes_.current().Number);
      SetLocalOffset(item, VolumeOffset() - header_length, zip64_mode);
      volumes_.Copy(*output, /*report_progress=*/true, -1, -1, copy_cancel_);
      temp.Remove();
    }
    if (place_.staging) {
      place_.hidden_headers.push_back({place_.PhysicalOffset(item), signature});
    }
    source.Close(true);
  } catch (const EZAException& e) {
    source.Close(false);
    temp.Remove();
    TDirItem& failed = dir.ItemPtr(index);
    const std::string& failure_name = failed.EntryAction == poUpdate
                                          ? failed.StoredName
                                          : failed.SourceFileName;
    failure_.native_error = e.NativeError();
    failure_.message = e.what();
    failure_.name = failure_name;
    if (volumes_.stream() == nullptr) {
      action_ = fxaAbort;
      return false;
    }
    TZAAction action = fxaIgnore;
    events_.DoProcessFileFailure(failure_name, failed.EntryAction,
                                 e.NativeError(), e.ErrorCode(), e.what(),
                                 action);
    action_ = action;
    return false;
  }

  cancel = false;
  events_.DoFileProgress(progress_name, 100.0, operation, ppEnd, cancel);
  if (cancel) progress_.CancelRequested = true;
  // A copy into the volumes that was cancelled left the entry incomplete.
  if (copy_cancel_) {
    action_ = fxaAbort;
    return false;
  }
  return true;
}

bool EntryWriter::PackEntryData(platform::Stream& source,
                                platform::Stream& output, TDirItem& item) {
  CentralHeader header = item.header;
  source.Seek(0);
  const int64_t source_size = source.Size();
  CompressCounters counters;  // 0 bytes, CRC register all ones
  EntryProgress progress(events_, progress_, item);
  const TZip64Mode zip64_mode = settings_.zip64_mode;
  std::optional<ParallelCompression> parallel;
  if (parallel_ != nullptr) {
    parallel.emplace(ParallelCompression{*parallel_, lookahead_});
    if (lookahead_ != nullptr && !item.SourceStream) {
      parallel->first = lookahead_->Claim(item.SourceFileName, item.EntryLevel);
    }
  }
  CompressEntry(source, source_size, output, item.EntryLevel, header.method,
                item.EntryPassword, counters, progress, nullptr,
                parallel ? &*parallel : nullptr);

  if (counters.bytes_processed != source_size) {
    if (progress_.CancelRequested) return false;
    throw EZAException(kCodeCompressedSize,
                       {source_size, counters.bytes_processed}, component_);
  }
  if (counters.compressed_size >= kMarker32 || zip64_mode == zmAlways) {
    header.compressed_size = kZip64Marker32;
    item.HasZip64 = true;
    item.Zip64CompressedSize = static_cast<uint64_t>(counters.compressed_size);
  } else {
    header.compressed_size = static_cast<uint32_t>(counters.compressed_size);
  }
  if (source_size >= kMarker32 || zip64_mode == zmAlways) {
    header.uncompressed_size = kZip64Marker32;
    item.HasZip64 = true;
    item.Zip64UncompressedSize = static_cast<uint64_t>(source_size);
  } else {
    header.uncompressed_size = static_cast<uint32_t>(source_size);
  }
  header.crc32 = ~counters.crc;
  if (item.HasZip64 && zip64_mode == zmDisabled) {
    throw EZAException(kCodeZip64Size, {item.SourceFileName}, component_);
  }
  if (source_size == 0) header.method = kMethodStored;
  item.header = header;
  return true;
}

void EntryWriter::CopyEntry(TZADirArray& dir, TZADirArray& saved,
                            int32_t index) {
  // A replacement that failed and was ignored gets its old entry back.
  const int32_t old_index = dir.ItemPtr(index).EntryAction == poUpdate
                                ? GiveOldEntryBack(dir, saved, index)
                                : FindOldItem(saved, dir.ItemPtr(index));
  if (old_index < 0) throw EZAException(kCodeNoOldEntry, component_);
  TDirItem old;
  saved.GetItem(old_index, old);
  TDirItem& item = dir.ItemPtr(index);
  const bool rename = item.Pending && item.EntryAction == poRename;
  const bool multi_volume = settings_.spanning_mode != smNone;
  const TZip64Mode zip64_mode = settings_.zip64_mode;
  if (volumes_.stream() == nullptr) {
    throw EZAException(kCodeNoArchiveStream, component_);
  }
  // Taken before any read: the old bytes may come from this same stream.
  int64_t write_at = volumes_.stream()->Position();

  // Where the old entry's bytes are now: in the backup when they lay in the
  // part that was cut off, else still in the archive (while staging, all
  // of them are).
  const int64_t old_offset = static_cast<int64_t>(old.LocalHeaderOffset());
  Stream* const backup = place_.backup;
  const int64_t start = place_.start;
  const bool from_archive = backup == nullptr || old_offset < start;
  // After a volume change the archive stream is another file; the old
  // volume's bytes cannot be read from it.
  if (from_archive && multi_volume) {
    throw EZAException(kCodeNoArchiveStream, component_);
  }
  int64_t read_at = from_archive ? old_offset : old_offset - start;
  auto read = [&](void* buffer, int64_t count) {
    Stream& from = from_archive ? *volumes_.stream() : *backup;
    from.Seek(read_at);
    from.ReadBuffer(buffer, count);
    read_at += count;
  };

  std::array<uint8_t, LocalHeader::kFixedSize> head_bytes;
  read(head_bytes.data(), LocalHeader::kFixedSize);
  std::optional<LocalHeader> local = LocalHeader::Decode(head_bytes);
  const bool local_valid =
      local && (local->signature == kLocalHeaderSignature ||
                local->signature == kAltLocalHeaderSignature);
  int64_t name_length;
  int64_t after_name;  // extra field, data and descriptor
  const int64_t compressed = static_cast<int64_t>(old.CompressedSize());
  if (local_valid) {
    name_length = local->name_length;
    after_name = local->extra_length + compressed;
    if ((old.header.flags & kFlagDataDescriptor) != 0) {
      // APPNOTE 4.3.9: CRC-32 and two sizes (8 bytes each in Zip64 form),
      // optionally preceded by the signature.
      const bool zip64 = old.header.compressed_size == kZip64Marker32 ||
                         old.header.uncompressed_size == kZip64Marker32;
      int64_t descriptor = zip64 ? 20 : 12;
      const int64_t saved_at = read_at;
      read_at += name_length + after_name;
      std::array<uint8_t, 4> signature{};
      Stream& from = from_archive ? *volumes_.stream() : *backup;
      from.Seek(read_at);
      if (from.Read(signature.data(), 4) == 4 &&
          DecodeFixed32(signature.data()) == kDataDescriptorSignature) {
        descriptor += 4;
      }
      read_at = saved_at;
      after_name += descriptor;
    }
  } else {
    // Not a readable local header: the directory's lengths are all there is.
    name_length = old.header.name_length;
    after_name =
        old.header.extra_length + old.header.comment_length + compressed;
  }

  // Output: straight into the archive, or through the volume writer.
  auto emit = [&](const void* bytes, int64_t count, int64_t keep_together) {
    if (multi_volume) {
      volumes_.WriteChecked(bytes, count, keep_together);
    } else {
      volumes_.stream()->Seek(write_at);
      volumes_.stream()->WriteBuffer(bytes, count);
      write_at += count;
    }
  };

  std::vector<uint8_t> head(head_bytes.begin(), head_bytes.end());
  if (rename && local_valid) {
    // The local header keeps its flags, so the name is written as they say.
    const std::string name = EncodeEntryName(item.StoredName, local->flags,
                                             settings_.options.OEMFileNames);
    local->name_length = static_cast<uint16_t>(name.size());
    head = EncodeLocalHeader(*local);
    head.insert(head.end(), name.begin(), name.end());
    read_at += name_length;
  } else {
    head.resize(head.size() + static_cast<size_t>(name_length));
    read(head.data() + LocalHeader::kFixedSize, name_length);
  }
  // The local extra field belongs to the piece that stays on one volume.
  const int64_t extra_length = local_valid ? local->extra_length : 0;
  if (extra_length > 0) {
    const size_t at = head.size();
    head.resize(at + static_cast<size_t>(extra_length));
    read(head.data() + at, extra_length);
  }
  const int64_t head_length = static_cast<int64_t>(head.size());
  int64_t remaining = std::max<int64_t>(0, after_name - extra_length);

  if (place_.staging && local_valid) {
    // Hidden until the staged tail is published (see WriteEntry).
    place_.hidden_headers.push_back({write_at, local->signature});
    std::fill(head.begin(), head.begin() + 4, uint8_t{0});
  }
  if (!multi_volume) {
    SetLocalOffset(item, write_at - place_.write_shift, zip64_mode);
  }
  emit(head.data(), head_length, 0);
  if (multi_volume) {
    SetDiskStart(item, volumes_.current().Number);
    SetLocalOffset(item, VolumeOffset() - head_length, zip64_mode);
  }
  std::vector<uint8_t> block(
      static_cast<size_t>(std::min<int64_t>(kCarryBlock, remaining)));
  while (remaining > 0) {
    const int64_t n = std::min<int64_t>(kCarryBlock, remaining);
    read(block.data(), n);
    emit(block.data(), n, -1);
    remaining -= n;
  }
  if (!multi_volume) volumes_.stream()->Seek(write_at);
}

}  // namespace tessaly::engine
