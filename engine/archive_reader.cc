#include "engine/archive_reader.h"

#include "engine/entries/archive_join.h"
#include "engine/entries/archive_volume_namer.h"

namespace tessaly::engine {

TZAArchiveReader::TZAArchiveReader(TZABaseArchiver& archiver)
    : archiver_(archiver),
      volumes_(archiver.env(), archiver.LastVolumeNumber(),
               ArchiveVolumeNamer(archiver.env(), archiver.FileName,
                                  archiver.Naming(),
                                  archiver.LastVolumeNumber())) {}

EntryReadResult TZAArchiveReader::ReadEntry(int32_t index,
                                            std::string_view password,
                                            const EntrySink& sink) {
  return engine::ReadEntry(
      volumes_, archiver_.DirectoryStore()->Dir.ItemPtr(index), password, sink);
}

void TZAArchiveReader::Join(platform::Stream& output) {
  JoinArchive(volumes_, archiver_.DirectoryStore()->Dir,
              archiver_.DirectoryStore()->Comment, output);
}

bool TZAArchiveReader::DirectoryRebuilt() const {
  return archiver_.DirectoryStore()->EndRecordPosition < 0;
}

}  // namespace tessaly::engine
