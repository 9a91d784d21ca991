// Reading one entry of an existing archive back: its local header, its data
// across volumes, decryption of traditional encryption, raw inflate (or a
// plain copy for stored data), and the checks that tell whether the bytes
// are what the directory says: the local header agrees with the central
// one, the data yields exactly the declared number of bytes, and their
// CRC-32 is the recorded one.
//
// The data is streamed through fixed buffers to a sink, so memory stays
// bounded whatever sizes the archive declares. The sink never receives a
// byte beyond the declared uncompressed size: data that inflates further is
// stopped there and reported.
#ifndef TESSALY_ENGINE_ENTRIES_ENTRY_READER_H_
#define TESSALY_ENGINE_ENTRIES_ENTRY_READER_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "engine/directory/dir_item.h"
#include "engine/format/local_header.h"
#include "engine/volumes/volume_reader.h"

namespace tessaly::engine {

enum class EntryStatus : uint8_t {
  kOk,
  kNoLocalHeader,      // no local header where the directory points
  kHeaderMismatch,     // the local header (or descriptor) disagrees
  kUnsupportedMethod,  // neither stored nor deflated
  kNoPassword,         // encrypted, and no password was given
  kWrongPassword,      // the check byte of the encryption header differs
  kDamagedData,        // the deflate data is not valid
  kTruncated,          // the archive ends inside the entry
  kTooLong,            // the data yields more bytes than declared
  kTooShort,           // the data yields fewer bytes than declared
  kCrcError,           // the CRC-32 of the data differs
  kVolumeMissing,      // a volume holding the entry cannot be opened
  kOutputFailed,       // the sink refused bytes
};

struct EntryReadResult {
  EntryStatus status = EntryStatus::kOk;
  // What is wrong, in words ("CRC error: ..."); "" when status is kOk.
  std::string message;
  // Bytes handed to the sink.
  uint64_t bytes_written = 0;
  bool ok() const { return status == EntryStatus::kOk; }
};

// Where an entry's bytes lie, from its local header on: what the archive
// holds for it, to be copied unchanged.
struct LocalEntryLayout {
  uint32_t volume = 0;             // of the local header
  uint64_t offset = 0;             // of the local header in that volume
  uint64_t header_size = 0;        // 30 + name + local extra field
  uint64_t data_size = 0;          // compressed data, encryption header included
  uint64_t descriptor_size = 0;    // data descriptor after the data, or 0
  std::string raw_name;            // the name bytes of the local header
  LocalHeader header;              // the local header's fixed fields
  // Its sizes, from its Zip64 extra block where a field holds the marker.
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  bool local_zip64 = false;        // the local header has a Zip64 extra block
  uint64_t total() const { return header_size + data_size + descriptor_size; }
};

// Receives the entry's bytes in order; returns false to give up (a write
// failed).
using EntrySink = std::function<bool(const uint8_t* data, size_t size)>;

// Reads the local header of `item` and works out its layout. Raises
// EVolumeMissing when its volume cannot be opened; returns the status
// kNoLocalHeader or kTruncated (with the layout unset) when no whole local
// header stands there.
EntryStatus ReadLocalLayout(VolumeReader& volumes, const TDirItem& item,
                            LocalEntryLayout& layout);

// A data descriptor read after an entry's data, with its bytes as they
// stand (12 to 24 of them).
struct DescriptorRead {
  uint32_t crc32 = 0;
  uint64_t compressed_size = 0;
  uint64_t uncompressed_size = 0;
  bool zip64 = false;  // sizes of 8 bytes each
  uint8_t raw[24] = {};
  size_t raw_size = 0;
};

// Reads the data descriptor at the reader's position: with or without its
// signature, with 8-byte sizes when `zip64`. False when the archive ends
// first.
bool ReadDataDescriptor(VolumeReader& volumes, bool zip64,
                        DescriptorRead& descriptor);

// Whether the data descriptor of the entry laid out as `layout` has 8-byte
// sizes: when its local header has a Zip64 extra block, or `item`'s sizes
// do not fit 32 bits.
bool DescriptorIsZip64(const LocalEntryLayout& layout, const TDirItem& item);

// Reads `item`'s data and checks it, handing the bytes to `sink` (which
// may be empty, to test only). `password` decrypts an encrypted entry.
// Never throws for damage in the archive: every fault is a status.
EntryReadResult ReadEntry(VolumeReader& volumes, const TDirItem& item,
                          std::string_view password, const EntrySink& sink);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ENTRY_READER_H_
