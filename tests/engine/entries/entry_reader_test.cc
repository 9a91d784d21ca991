// The entry reader over entries built byte by byte: good data in every
// form it takes (stored, deflated, encrypted, with a data descriptor, with
// Zip64 sizes), and each kind of damage reported by its own status without
// a byte beyond the declared size reaching the sink.
#include "engine/entries/entry_reader.h"

#include <zlib.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "engine/format/byte_codec.h"
#include "engine/format/crc32.h"
#include "engine/format/local_header.h"
#include "engine/format/signatures.h"
#include "engine/format/zip_crypto.h"
#include "platform/memory_stream.h"

namespace tessaly::engine {
namespace {

std::string RawDeflate(const std::string& data) {
  z_stream zs{};
  deflateInit2(&zs, 6, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY);
  std::string out(deflateBound(&zs, data.size()), '\0');
  zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  zs.avail_in = static_cast<uInt>(data.size());
  zs.next_out = reinterpret_cast<Bytef*>(out.data());
  zs.avail_out = static_cast<uInt>(out.size());
  deflate(&zs, Z_FINISH);
  out.resize(zs.total_out);
  deflateEnd(&zs);
  return out;
}

uint32_t Crc(const std::string& data) {
  return ~UpdateCrc(0xFFFFFFFF, data.data(), static_cast<int64_t>(data.size()));
}

// One entry: its local header, name and data at offset 0 of an archive in
// memory, and its directory item. Fields may be changed before Build.
struct EntryImage {
  std::string name = "dir/file.txt";
  std::string content;
  uint16_t method = kMethodDeflated;
  std::string data;  // the stored data; from `content` when empty
  std::string password;
  bool descriptor = false;
  bool zip64 = false;
  TDirItem item;
  LocalHeader local;
  std::string extra;

  platform::MemoryStream Build() {
    if (data.empty()) {
      data = method == kMethodDeflated ? RawDeflate(content) : content;
    }
    const uint32_t crc = Crc(content);
    if (!password.empty()) {
      ZipKeys keys = InitKeys(password);
      std::string sealed(kEncryptionHeaderSize, 'r');
      sealed.back() = static_cast<char>(crc >> 24);
      sealed += data;
      for (char& c : sealed) {
        c = static_cast<char>(EncryptByte(keys, static_cast<uint8_t>(c)));
      }
      data = sealed;
    }
    CentralHeader& h = item.header;
    h.signature = kCentralHeaderSignature;
    h.method = method;
    h.flags = static_cast<uint16_t>((password.empty() ? 0 : kFlagEncrypted) |
                                    (descriptor ? kFlagDataDescriptor : 0));
    h.crc32 = crc;
    h.compressed_size = static_cast<uint32_t>(data.size());
    h.uncompressed_size = static_cast<uint32_t>(content.size());
    item.StoredName = name;

    local.signature = kLocalHeaderSignature;
    local.method = method;
    local.flags = h.flags;
    local.name_length = static_cast<uint16_t>(name.size());
    if (!descriptor) {
      local.crc32 = crc;
      local.compressed_size = h.compressed_size;
      local.uncompressed_size = h.uncompressed_size;
    }
    if (zip64) {
      std::vector<uint8_t> block;
      ByteWriter w(&block);
      w.PutU16(kZip64ExtraId);
      w.PutU16(16);
      w.PutU64(content.size());
      w.PutU64(data.size());
      extra.assign(block.begin(), block.end());
      local.compressed_size = local.uncompressed_size = kZip64Marker32;
    }
    local.extra_length = static_cast<uint16_t>(extra.size());
    std::vector<uint8_t> bytes;
    ByteWriter w(&bytes);
    local.Encode(w);
    std::string image(bytes.begin(), bytes.end());
    image += name + extra + data;
    if (descriptor) {
      std::vector<uint8_t> d;
      ByteWriter dw(&d);
      dw.PutU32(kDataDescriptorSignature);
      dw.PutU32(crc);
      if (zip64) {
        dw.PutU64(data.size());
        dw.PutU64(content.size());
      } else {
        dw.PutU32(static_cast<uint32_t>(data.size()));
        dw.PutU32(static_cast<uint32_t>(content.size()));
      }
      image.append(d.begin(), d.end());
    }
    return platform::MemoryStream(image);
  }
};

struct Outcome {
  EntryReadResult result;
  std::string written;
};

Outcome Read(EntryImage& entry, const std::string& password = "") {
  platform::MemoryStream archive = entry.Build();
  VolumeReader volumes(archive);
  Outcome outcome;
  outcome.result = ReadEntry(volumes, entry.item, password,
                             [&](const uint8_t* p, size_t n) {
                               outcome.written.append(
                                   reinterpret_cast<const char*>(p), n);
                               return true;
                             });
  return outcome;
}

std::string Text(size_t size) {
  std::string text;
  for (size_t i = 0; text.size() < size; ++i) {
    text += "line " + std::to_string(i * 7919 % 1000) + " of the report\n";
  }
  text.resize(size);
  return text;
}

TEST(EntryReaderTest, GoodEntriesInEveryFormReadBackExactly) {
  struct Case {
    const char* what;
    uint16_t method;
    bool descriptor;
    bool zip64;
    const char* password;
  };
  const Case cases[] = {
      {"deflated", kMethodDeflated, false, false, ""},
      {"stored", kMethodStored, false, false, ""},
      {"descriptor", kMethodDeflated, true, false, ""},
      {"zip64 sizes", kMethodDeflated, false, true, ""},
      {"zip64 descriptor", kMethodStored, true, true, ""},
      {"encrypted deflated", kMethodDeflated, false, false, "s3cret"},
      {"encrypted stored", kMethodStored, false, false, "s3cret"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EntryImage entry;
    entry.content = Text(300000);  // several read blocks
    entry.method = c.method;
    entry.descriptor = c.descriptor;
    entry.zip64 = c.zip64;
    entry.password = c.password;
    const Outcome outcome = Read(entry, c.password);
    EXPECT_TRUE(outcome.result.ok()) << outcome.result.message;
    EXPECT_EQ(outcome.written, entry.content);
  }
  EntryImage empty;
  EXPECT_TRUE(Read(empty).result.ok());
}

TEST(EntryReaderTest, DataBeyondTheDeclaredSizeIsStoppedThere) {
  // A small declared size over data that inflates to 20 MB: the sink gets
  // the declared bytes and no more.
  EntryImage bomb;
  bomb.content = "tiny";
  bomb.data = RawDeflate(std::string(20 << 20, '\0'));
  const Outcome outcome = Read(bomb);
  EXPECT_EQ(outcome.result.status, EntryStatus::kTooLong);
  EXPECT_EQ(outcome.written.size(), 4u);

  EntryImage stored;
  stored.method = kMethodStored;
  stored.content = "abc";
  stored.data = "abcdef";
  stored.item.header.compressed_size = 6;
  EXPECT_EQ(Read(stored).result.status, EntryStatus::kTooLong);
}

TEST(EntryReaderTest, EachDamageHasItsStatus) {
  {
    // Deflate data that ends before the compressed size recorded for it.
    EntryImage entry;
    entry.content = Text(1000);
    entry.data = RawDeflate(entry.content) + "trailing";
    EXPECT_EQ(Read(entry).result.status, EntryStatus::kHeaderMismatch);
  }
  {
    // Data that ends before its declared size.
    EntryImage entry;
    entry.content = Text(1000);
    entry.data = RawDeflate(entry.content.substr(0, 600));
    EXPECT_EQ(Read(entry).result.status, EntryStatus::kTooShort);
  }
  {
    // A deflate stream cut off: its last block never ends.
    EntryImage entry;
    entry.content = Text(100000);
    entry.data = RawDeflate(entry.content);
    entry.data.resize(entry.data.size() / 2);
    EXPECT_EQ(Read(entry).result.status, EntryStatus::kDamagedData);
  }
}

TEST(EntryReaderTest, HeadersThatDisagreeOrAreMissing) {
  EntryImage entry;
  entry.content = Text(2000);
  platform::MemoryStream archive = entry.Build();
  VolumeReader volumes(archive);

  TDirItem other_crc = entry.item;
  other_crc.header.crc32 ^= 0x100;
  EXPECT_EQ(ReadEntry(volumes, other_crc, "", {}).status,
            EntryStatus::kHeaderMismatch);
  TDirItem other_method = entry.item;
  other_method.header.method = kMethodStored;
  EXPECT_EQ(ReadEntry(volumes, other_method, "", {}).status,
            EntryStatus::kHeaderMismatch);
  TDirItem elsewhere = entry.item;
  elsewhere.header.local_header_offset = 7;
  EXPECT_EQ(ReadEntry(volumes, elsewhere, "", {}).status,
            EntryStatus::kNoLocalHeader);
  TDirItem beyond = entry.item;
  beyond.header.local_header_offset = 1u << 30;
  EXPECT_EQ(ReadEntry(volumes, beyond, "", {}).status,
            EntryStatus::kNoLocalHeader);
  // An absurd compressed size runs into the archive's end.
  TDirItem absurd = entry.item;
  absurd.header.compressed_size = kZip64Marker32;
  absurd.Zip64CompressedSize = uint64_t{1} << 62;
  EXPECT_NE(ReadEntry(volumes, absurd, "", {}).status, EntryStatus::kOk);

  EntryImage streamed;
  streamed.content = Text(3000);
  streamed.descriptor = true;
  platform::MemoryStream with_descriptor = streamed.Build();
  VolumeReader descriptor_volumes(with_descriptor);
  TDirItem longer = streamed.item;
  longer.header.uncompressed_size += 1;
  EXPECT_NE(ReadEntry(descriptor_volumes, longer, "", {}).status,
            EntryStatus::kOk);

  EntryImage bizarre;
  bizarre.content = "x";
  bizarre.method = 14;
  bizarre.data = "zz";
  EXPECT_EQ(Read(bizarre).result.status, EntryStatus::kUnsupportedMethod);
}

TEST(EntryReaderTest, PasswordsAreChecked) {
  EntryImage entry;
  entry.content = Text(4000);
  entry.password = "right";
  EXPECT_EQ(Read(entry, "").result.status, EntryStatus::kNoPassword);
  entry = EntryImage{};
  entry.content = Text(4000);
  entry.password = "right";
  EXPECT_EQ(Read(entry, "wrong").result.status, EntryStatus::kWrongPassword);
}

TEST(EntryReaderTest, TheSinkRefusingStopsTheEntry) {
  EntryImage entry;
  entry.content = Text(200000);
  platform::MemoryStream archive = entry.Build();
  VolumeReader volumes(archive);
  int calls = 0;
  const EntryReadResult result =
      ReadEntry(volumes, entry.item, "", [&](const uint8_t*, size_t) {
        return ++calls < 2;
      });
  EXPECT_EQ(result.status, EntryStatus::kOutputFailed);
  EXPECT_EQ(calls, 2);
}

}  // namespace
}  // namespace tessaly::engine
