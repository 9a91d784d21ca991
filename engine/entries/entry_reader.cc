#include "engine/entries/entry_reader.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cinttypes>
#include <cstdio>
#include <optional>
#include <vector>

#include "engine/directory/entry_extent.h"
#include "engine/format/byte_codec.h"
#include "engine/format/crc32.h"
#include "engine/format/signatures.h"
#include "engine/format/zip_crypto.h"

namespace tessaly::engine {

namespace {

// Bytes read from the archive, and inflated, per step.
constexpr size_t kBlockSize = 64 * 1024;

std::string Hex32(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%08X", value);
  return text;
}

EntryReadResult Fail(EntryStatus status, std::string message,
                     uint64_t written = 0) {
  return EntryReadResult{status, std::move(message), written};
}

// The 64-bit sizes of a local header: from its Zip64 extra block where the
// 32-bit field holds the marker (uncompressed size first, as in the
// directory's block).
void ReadLocalZip64(const std::vector<uint8_t>& extra, LocalEntryLayout& layout) {
  layout.compressed_size = layout.header.compressed_size;
  layout.uncompressed_size = layout.header.uncompressed_size;
  ByteReader reader(extra);
  while (reader.remaining() >= 4) {
    uint16_t id = 0;
    uint16_t size = 0;
    reader.GetU16(&id);
    reader.GetU16(&size);
    const size_t length = std::min<size_t>(size, reader.remaining());
    std::vector<uint8_t> data(length);
    reader.GetBytes(data);
    if (id != kZip64ExtraId) continue;
    layout.local_zip64 = true;
    ByteReader values(data);
    if (layout.header.uncompressed_size == kZip64Marker32) {
      values.GetU64(&layout.uncompressed_size);
    }
    if (layout.header.compressed_size == kZip64Marker32) {
      values.GetU64(&layout.compressed_size);
    }
  }
}

// Feeds the entry's bytes to the sink, never beyond the declared size, and
// keeps their CRC-32.
class Output {
 public:
  Output(const EntrySink& sink, uint64_t declared)
      : sink_(sink), declared_(declared) {}

  // False when the bytes go beyond the declared size (status kTooLong) or
  // the sink refused them (kOutputFailed).
  bool Put(const uint8_t* data, size_t size) {
    const uint64_t room = declared_ - produced_;
    const size_t taken = static_cast<size_t>(std::min<uint64_t>(size, room));
    crc_ = UpdateCrc(crc_, data, static_cast<int64_t>(taken));
    if (taken > 0 && sink_ && !sink_(data, taken)) {
      status_ = EntryStatus::kOutputFailed;
      return false;
    }
    produced_ += taken;
    if (taken < size) {
      status_ = EntryStatus::kTooLong;
      return false;
    }
    return true;
  }

  EntryStatus status() const { return status_; }
  uint64_t produced() const { return produced_; }
  uint32_t crc() const { return ~crc_; }

 private:
  const EntrySink& sink_;
  uint64_t declared_;
  uint64_t produced_ = 0;
  uint32_t crc_ = 0xFFFFFFFF;
  EntryStatus status_ = EntryStatus::kOk;
};

// Reads the entry's data from the archive, block by block, decrypting it.
class DataSource {
 public:
  DataSource(VolumeReader& volumes, uint64_t size) : volumes_(volumes), left_(size) {}

  void Decrypt(const ZipKeys& keys) {
    keys_ = keys;
    encrypted_ = true;
  }
  // Reads up to `count` bytes; fewer only when the data ends or the
  // archive does (truncated() then tells).
  size_t Read(uint8_t* buffer, size_t count) {
    const size_t wanted =
        static_cast<size_t>(std::min<uint64_t>(count, left_));
    const int64_t got = volumes_.Read(buffer, static_cast<int64_t>(wanted));
    const size_t n = static_cast<size_t>(std::max<int64_t>(got, 0));
    if (n < wanted) truncated_ = true;
    left_ -= n;
    if (encrypted_) {
      for (size_t i = 0; i < n; ++i) buffer[i] = DecryptByte(keys_, buffer[i]);
    }
    return n;
  }
  uint64_t left() const { return left_; }
  bool truncated() const { return truncated_; }

 private:
  VolumeReader& volumes_;
  uint64_t left_;
  ZipKeys keys_;
  bool encrypted_ = false;
  bool truncated_ = false;
};

EntryReadResult Truncated(uint64_t written) {
  return Fail(EntryStatus::kTruncated,
              "the archive ends inside this entry's data", written);
}

EntryReadResult OutputFault(const Output& output, uint64_t declared) {
  if (output.status() == EntryStatus::kTooLong) {
    return Fail(EntryStatus::kTooLong,
                "the data goes on beyond its declared size of " +
                    std::to_string(declared) + " bytes; stopped there",
                output.produced());
  }
  return Fail(EntryStatus::kOutputFailed, "the data could not be written",
              output.produced());
}

// Copies stored data. Returns a result only on failure.
std::optional<EntryReadResult> CopyStored(DataSource& source, Output& output,
                                          uint64_t declared) {
  std::vector<uint8_t> buffer(kBlockSize);
  while (source.left() > 0) {
    const size_t n = source.Read(buffer.data(), buffer.size());
    if (!output.Put(buffer.data(), n)) return OutputFault(output, declared);
    if (source.truncated()) return Truncated(output.produced());
  }
  return std::nullopt;
}

// Inflates raw deflate data. Returns a result only on failure.
std::optional<EntryReadResult> Inflate(DataSource& source, Output& output,
                                       uint64_t declared) {
  std::vector<uint8_t> in(kBlockSize);
  std::vector<uint8_t> out(kBlockSize);
  z_stream zs{};
  if (inflateInit2(&zs, -MAX_WBITS) != Z_OK) {
    return Fail(EntryStatus::kOutputFailed, "the inflater could not start");
  }
  // Ends the inflater however this returns: a missing volume throws out of
  // the source's Read.
  struct InflaterEnd {
    z_stream& zs;
    ~InflaterEnd() { inflateEnd(&zs); }
  } const end{zs};
  std::optional<EntryReadResult> result;
  for (;;) {
    if (zs.avail_in == 0 && source.left() > 0) {
      const size_t n = source.Read(in.data(), in.size());
      zs.next_in = in.data();
      zs.avail_in = static_cast<uInt>(n);
    }
    const bool input_done = source.left() == 0 || source.truncated();
    zs.next_out = out.data();
    zs.avail_out = static_cast<uInt>(out.size());
    const int ret = inflate(&zs, Z_NO_FLUSH);
    const size_t produced = out.size() - zs.avail_out;
    if (!output.Put(out.data(), produced)) {
      result = OutputFault(output, declared);
      break;
    }
    if (ret == Z_STREAM_END) {
      // The deflate data must fill the compressed size it declares.
      const uint64_t unused = zs.avail_in + source.left();
      if (unused > 0) {
        result = Fail(EntryStatus::kHeaderMismatch,
                      "the deflate data ends " + std::to_string(unused) +
                          " bytes before its recorded compressed size",
                      output.produced());
      }
      break;
    }
    if (ret == Z_OK) continue;
    if (ret == Z_BUF_ERROR && zs.avail_in == 0 && input_done) {
      result = source.truncated()
                   ? Truncated(output.produced())
                   : Fail(EntryStatus::kDamagedData,
                          "damaged data: the deflate data ends early",
                          output.produced());
      break;
    }
    if (ret == Z_BUF_ERROR && zs.avail_in == 0) continue;
    result = Fail(EntryStatus::kDamagedData,
                  std::string("damaged data: ") +
                      (zs.msg != nullptr ? zs.msg : "invalid deflate data"),
                  output.produced());
    break;
  }
  return result;
}

}  // namespace

EntryStatus ReadLocalLayout(VolumeReader& volumes, const TDirItem& item,
                            LocalEntryLayout& layout) {
  layout = LocalEntryLayout{};
  layout.volume = item.DiskStart();
  layout.offset = item.LocalHeaderOffset();
  volumes.Seek(layout.volume, layout.offset);
  std::array<uint8_t, LocalHeader::kFixedSize> raw;
  if (volumes.Read(raw.data(), raw.size()) != static_cast<int64_t>(raw.size())) {
    return EntryStatus::kNoLocalHeader;
  }
  layout.header = *LocalHeader::Decode(raw);
  if (!IsLocalSignature(layout.header.signature)) {
    return EntryStatus::kNoLocalHeader;
  }
  layout.raw_name.assign(layout.header.name_length, '\0');
  std::vector<uint8_t> extra(layout.header.extra_length);
  if (volumes.Read(layout.raw_name.data(), layout.header.name_length) !=
          layout.header.name_length ||
      volumes.Read(extra.data(), layout.header.extra_length) !=
          layout.header.extra_length) {
    return EntryStatus::kTruncated;
  }
  ReadLocalZip64(extra, layout);
  layout.header_size = LocalHeader::kFixedSize + layout.header.name_length +
                       layout.header.extra_length;
  layout.data_size = item.CompressedSize();
  return EntryStatus::kOk;
}

bool DescriptorIsZip64(const LocalEntryLayout& layout, const TDirItem& item) {
  return layout.local_zip64 || item.CompressedSize() >= kZip64Marker32 ||
         item.UncompressedSize() >= kZip64Marker32;
}

bool ReadDataDescriptor(VolumeReader& volumes, bool zip64,
                        DescriptorRead& descriptor) {
  descriptor = DescriptorRead{};
  descriptor.zip64 = zip64;
  const size_t body = zip64 ? 20 : 12;
  if (volumes.Read(descriptor.raw, 4) != 4) return false;
  size_t start = 0;
  size_t wanted = body - 4;
  if (DecodeFixed32(descriptor.raw) == kDataDescriptorSignature) {
    start = 4;
    wanted = body;
  }
  if (volumes.Read(descriptor.raw + 4, static_cast<int64_t>(wanted)) !=
      static_cast<int64_t>(wanted)) {
    return false;
  }
  descriptor.raw_size = 4 + wanted;
  const uint8_t* p = descriptor.raw + start;
  descriptor.crc32 = DecodeFixed32(p);
  if (zip64) {
    descriptor.compressed_size = DecodeFixed64(p + 4);
    descriptor.uncompressed_size = DecodeFixed64(p + 12);
  } else {
    descriptor.compressed_size = DecodeFixed32(p + 4);
    descriptor.uncompressed_size = DecodeFixed32(p + 8);
  }
  return true;
}

EntryReadResult ReadEntry(VolumeReader& volumes, const TDirItem& item,
                          std::string_view password, const EntrySink& sink) {
  try {
    LocalEntryLayout layout;
    const EntryStatus found = ReadLocalLayout(volumes, item, layout);
    if (found == EntryStatus::kNoLocalHeader) {
      return Fail(found, "no local header where the directory points (volume " +
                             std::to_string(layout.volume + 1) + ", offset " +
                             std::to_string(layout.offset) + ")");
    }
    if (found != EntryStatus::kOk) return Truncated(0);

    const CentralHeader& central = item.header;
    const LocalHeader& local = layout.header;
    const uint64_t declared = item.UncompressedSize();
    const bool streamed = (local.flags & kFlagDataDescriptor) != 0;
    if (local.method != central.method ||
        ((local.flags ^ central.flags) & kFlagEncrypted) != 0) {
      return Fail(EntryStatus::kHeaderMismatch,
                  "the local header's method or flags differ from the "
                  "directory's");
    }
    if (!streamed && (local.crc32 != central.crc32 ||
                      layout.compressed_size != item.CompressedSize() ||
                      layout.uncompressed_size != declared)) {
      return Fail(EntryStatus::kHeaderMismatch,
                  "the local header's CRC-32 or sizes differ from the "
                  "directory's");
    }
    if (central.method != kMethodStored && central.method != kMethodDeflated) {
      return Fail(EntryStatus::kUnsupportedMethod,
                  "unsupported compression method " +
                      std::to_string(central.method));
    }

    DataSource source(volumes, layout.data_size);
    if ((central.flags & kFlagEncrypted) != 0) {
      if (password.empty()) {
        return Fail(EntryStatus::kNoPassword, "encrypted: no password given");
      }
      ZipKeys keys = InitKeys(password);
      std::array<uint8_t, kEncryptionHeaderSize> header;
      if (source.Read(header.data(), header.size()) != header.size()) {
        return Truncated(0);
      }
      for (uint8_t& byte : header) byte = DecryptByte(keys, byte);
      // The last header byte repeats the CRC's top byte, or with a data
      // descriptor the modification time's (as Info-ZIP writes it).
      const uint8_t check = header.back();
      if (check != static_cast<uint8_t>(central.crc32 >> 24) &&
          !(streamed && check == static_cast<uint8_t>(local.mod_time >> 8))) {
        return Fail(EntryStatus::kWrongPassword, "wrong password");
      }
      source.Decrypt(keys);
    }

    Output output(sink, declared);
    const std::optional<EntryReadResult> fault =
        central.method == kMethodStored ? CopyStored(source, output, declared)
                                        : Inflate(source, output, declared);
    if (fault) return *fault;
    if (output.produced() != declared) {
      return Fail(EntryStatus::kTooShort,
                  "the data gives " + std::to_string(output.produced()) +
                      " bytes, " + std::to_string(declared) + " declared",
                  output.produced());
    }
    if (output.crc() != central.crc32) {
      return Fail(EntryStatus::kCrcError,
                  "CRC error: recorded " + Hex32(central.crc32) +
                      ", the data gives " + Hex32(output.crc()),
                  output.produced());
    }
    if (streamed) {
      DescriptorRead descriptor;
      if (!ReadDataDescriptor(volumes, DescriptorIsZip64(layout, item),
                              descriptor)) {
        return Truncated(output.produced());
      }
      const uint64_t mask = descriptor.zip64 ? UINT64_MAX : UINT32_MAX;
      if (descriptor.crc32 != central.crc32 ||
          descriptor.compressed_size != (item.CompressedSize() & mask) ||
          descriptor.uncompressed_size != (declared & mask)) {
        return Fail(EntryStatus::kHeaderMismatch,
                    "the data descriptor differs from the directory",
                    output.produced());
      }
    }
    return EntryReadResult{EntryStatus::kOk, "", output.produced()};
  } catch (const EVolumeMissing& e) {
    return Fail(EntryStatus::kVolumeMissing, e.what());
  }
}

}  // namespace tessaly::engine
