// Reading the entries of an open archive back: testing or extracting each
// one through the entry reader, across the archive's volumes, and joining a
// multi-volume archive into one file. The archiver opens the archive (and
// finds its volumes); the reader only reads.
#ifndef TESSALY_ENGINE_ARCHIVE_READER_H_
#define TESSALY_ENGINE_ARCHIVE_READER_H_

#include <cstdint>
#include <string_view>

#include "engine/archiver.h"
#include "engine/directory/entry_info.h"
#include "engine/entries/entry_reader.h"
#include "engine/volumes/volume_reader.h"
#include "platform/stream.h"

namespace tessaly::engine {

class TZAArchiveReader {
 public:
  // REQUIRES: `archiver` has an archive open, and keeps it open (without
  // updating it) for the reader's lifetime.
  explicit TZAArchiveReader(TZABaseArchiver& archiver);
  TZAArchiveReader(const TZAArchiveReader&) = delete;
  TZAArchiveReader& operator=(const TZAArchiveReader&) = delete;

  int32_t EntryCount() const { return archiver_.EntryCount(); }
  EntryInfo Entry(int32_t index) const { return archiver_.Entry(index); }

  // Reads entry `index` and checks it, handing its bytes to `sink` (empty:
  // test only). Every fault is a status, never an exception.
  EntryReadResult ReadEntry(int32_t index, std::string_view password,
                            const EntrySink& sink);

  // Writes the archive as one single-file archive to `output` (see
  // engine/entries/archive_join.h; raises what JoinArchive raises).
  void Join(platform::Stream& output);

  // Whether the directory was rebuilt from the local headers, the
  // archive's own being missing or damaged.
  bool DirectoryRebuilt() const;

 private:
  TZABaseArchiver& archiver_;
  VolumeReader volumes_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ARCHIVE_READER_H_
