// Builds small archives byte by byte for the directory tests, with a
// little-endian writer of its own rather than the engine's record codec:
// stored entries whose local header holds CRC-32 and sizes, streamed entries
// (flag bit 3) followed by a data descriptor, raw bytes (stubs, junk), and
// the central directory with its end record. Offsets count from the first
// byte built; prepend a stub to the result to get offsets that leave it out.
#ifndef TESSALY_TESTS_ENGINE_DIRECTORY_ARCHIVE_BUILDER_H_
#define TESSALY_TESTS_ENGINE_DIRECTORY_ARCHIVE_BUILDER_H_

#include <zlib.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::engine::testing {

class ArchiveBuilder {
 public:
  struct Entry {
    std::string name;
    uint32_t crc = 0;
    uint64_t size = 0;  // stored: compressed and uncompressed alike
    uint64_t offset = 0;
    uint16_t flags = 0;
    uint64_t end = 0;  // after its data and descriptor
  };

  static uint32_t Crc(std::string_view data) {
    return static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uInt>(data.size())));
  }

  // The bytes of a stored entry: local header, name, data. A streamed entry
  // (flag bit 3) has zeros for CRC-32 and sizes, or with `zip64` 0xFFFFFFFF
  // sizes and a Zip64 extra field of zeros.
  static std::string LocalEntry(const std::string& name, std::string_view data,
                                uint16_t flags = 0, bool zip64 = false) {
    const bool streamed = (flags & 0x0008) != 0;
    const uint64_t size = zip64 ? 0xFFFFFFFF : streamed ? 0 : data.size();
    std::string out;
    Put(out, 0x04034B50, 4);
    Put(out, 20, 2);                             // version needed
    Put(out, flags, 2);
    Put(out, 0, 2);                              // method: stored
    Put(out, 0x7A00, 2);                         // time
    Put(out, 0x586E, 2);                         // date
    Put(out, streamed ? 0 : Crc(data), 4);
    Put(out, size, 4);                           // compressed size
    Put(out, size, 4);                           // uncompressed size
    Put(out, name.size(), 2);
    Put(out, zip64 ? 20 : 0, 2);                 // extra length
    out += name;
    if (zip64) {
      Put(out, 0x0001, 2);
      Put(out, 16, 2);
      Put(out, 0, 8);  // uncompressed size
      Put(out, 0, 8);  // compressed size
    }
    out += data;
    return out;
  }

  ArchiveBuilder& Stored(const std::string& name, std::string_view data) {
    Note(name, data, 0);
    bytes_ += LocalEntry(name, data);
    entries_.back().end = bytes_.size();
    return *this;
  }

  // Flag bit 3, no CRC-32 or sizes in the local header (see LocalEntry),
  // then a signed descriptor of 16 bytes (24 with `zip64`).
  ArchiveBuilder& Streamed(const std::string& name, std::string_view data,
                           bool zip64 = false) {
    Note(name, data, 0x0008);
    bytes_ += LocalEntry(name, data, 0x0008, zip64);
    Put(bytes_, 0x08074B50, 4);
    Put(bytes_, Crc(data), 4);
    Put(bytes_, data.size(), zip64 ? 8 : 4);
    Put(bytes_, data.size(), zip64 ? 8 : 4);
    entries_.back().end = bytes_.size();
    return *this;
  }

  ArchiveBuilder& Raw(std::string_view bytes) {
    bytes_ += bytes;
    return *this;
  }

  // Lists an entry in the directory without writing its bytes (for entries
  // whose bytes lie elsewhere, such as inside the archive comment).
  ArchiveBuilder& Listed(const std::string& name, std::string_view data,
                         uint64_t offset) {
    entries_.push_back({name, Crc(data), data.size(), offset, 0,
                        offset + 30 + name.size() + data.size()});
    return *this;
  }

  // The central directory of every entry so far and the end record with
  // `comment`. `claimed_entries` and `claimed_size` replace the true count
  // and directory size in the end record when not negative.
  ArchiveBuilder& Directory(std::string_view comment = "",
                            int64_t claimed_entries = -1,
                            int64_t claimed_size = -1) {
    directory_offset_ = bytes_.size();
    for (const Entry& e : entries_) {
      Put(bytes_, 0x02014B50, 4);
      Put(bytes_, 20, 2);  // version made by
      Put(bytes_, 20, 2);  // version needed
      Put(bytes_, e.flags, 2);
      Put(bytes_, 0, 2);
      Put(bytes_, 0x7A00, 2);
      Put(bytes_, 0x586E, 2);
      Put(bytes_, e.crc, 4);
      Put(bytes_, e.size, 4);
      Put(bytes_, e.size, 4);
      Put(bytes_, e.name.size(), 2);
      Put(bytes_, 0, 2);  // extra length
      Put(bytes_, 0, 2);  // comment length
      Put(bytes_, 0, 2);  // disk number start
      Put(bytes_, 0, 2);  // internal attributes
      const bool folder = !e.name.empty() && e.name.back() == '/';
      Put(bytes_, folder ? 0x10 : 0x20, 4);
      Put(bytes_, e.offset, 4);
      bytes_ += e.name;
    }
    const uint64_t size = bytes_.size() - directory_offset_;
    const uint64_t count = claimed_entries >= 0
                               ? static_cast<uint64_t>(claimed_entries)
                               : entries_.size();
    Put(bytes_, 0x06054B50, 4);
    Put(bytes_, 0, 2);
    Put(bytes_, 0, 2);
    Put(bytes_, count, 2);
    Put(bytes_, count, 2);
    Put(bytes_, claimed_size >= 0 ? static_cast<uint64_t>(claimed_size) : size,
        4);
    Put(bytes_, directory_offset_, 4);
    Put(bytes_, comment.size(), 2);
    bytes_ += comment;
    return *this;
  }

  const std::string& bytes() const { return bytes_; }
  const std::vector<Entry>& entries() const { return entries_; }
  uint64_t directory_offset() const { return directory_offset_; }
  static void Put(std::string& out, uint64_t value, int size) {
    for (int i = 0; i < size; ++i) {
      out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
  }

 private:
  void Note(const std::string& name, std::string_view data, uint16_t flags) {
    entries_.push_back(
        {name, Crc(data), data.size(), bytes_.size(), flags, 0});
  }

  std::string bytes_;
  std::vector<Entry> entries_;
  uint64_t directory_offset_ = 0;
};

}  // namespace tessaly::engine::testing

#endif  // TESSALY_TESTS_ENGINE_DIRECTORY_ARCHIVE_BUILDER_H_
