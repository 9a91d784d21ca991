// The directory store of one open archive: the central directory in memory,
// its copy from the start of an update, the end records and the archive
// comment. It writes the directory and end records when an update is saved
// and reads them when an archive is opened.
#ifndef TESSALY_ENGINE_DIRECTORY_DIR_MANAGER_H_
#define TESSALY_ENGINE_DIRECTORY_DIR_MANAGER_H_

#include <cstdint>
#include <string>

#include "engine/directory/dir_array.h"
#include "engine/directory/dir_owner.h"
#include "engine/format/end_record.h"
#include "engine/format/zip64_end_record.h"
#include "engine/format/zip64_locator.h"
#include "engine/base/volume_number_info.h"
#include "engine/volumes/volume_sequence.h"

namespace tessaly::engine {

class TZADirManager {
 public:
  // Makes an empty store on `stream` (not owned), which is foreign unless
  // it is the stream of `volumes`. When `creating`, the current volume
  // becomes the first one and the owner's stub, if any, is copied to the
  // start of the stream (CopyStub).
  TZADirManager(platform::Stream* stream, DirOwner& owner,
                VolumeSequence& volumes, bool creating);
  TZADirManager(const TZADirManager&) = delete;
  TZADirManager& operator=(const TZADirManager&) = delete;
  ~TZADirManager();

  // Empty directory; EndRecord zero-filled with the selected end signature.
  void Reset();
  // Copies the stub file to the start of the stream; PrefixSize := its size.
  // Raises EZAException 47 when the stub exceeds the first volume's limit.
  void CopyStub();
  // Writes the central directory and the end records at the end of the
  // stream (or over the old directory when append_at_end is false), then in
  // multi-volume output gives the last volume its final name.
  // Raises EZAException 46 on a short write.
  void SaveDir(bool append_at_end, platform::Stream* stream = nullptr);
  // Unless the stream is foreign, makes `info` the current volume of the
  // sequence and takes its stream.
  void OpenVolumeFor(TZAVolumeNumberInfo& info);

  // Reading an existing archive. LoadDir leaves the directory offset of
  // EndRecord (in Zip64End from 4 GiB on) where the next update may start
  // writing new entries in a one-volume archive: where the directory really
  // starts, counted from the start of the stream like the entries' offsets,
  // or after the bytes of any listed entry that reach further; after a
  // rebuild from local headers, after the last entry recovered.
  void LoadDir();
  bool FindEndRecord(uint32_t signature, engine::EndRecord& record,
                     int64_t& position);
  bool RecheckEndRecord();
  int64_t FindLocalHeader(int64_t from);
  bool FindSignature(platform::Stream& stream, int64_t from,
                     const uint8_t signature[4], int64_t& position);
  void DetectPrefix(int64_t end_records_position);
  void ShiftOffsets();
  void CheckSizes();
  void RebuildFromLocalHeaders();
  // Sets the directory offset of EndRecord: the value itself, or 0xFFFFFFFF
  // there and the value in Zip64End when it does not fit 32 bits.
  void SetDirectoryOffset(uint64_t offset);

  platform::Stream* Stream = nullptr;  // not owned
  bool Creating = false;
  bool ForeignStream = false;
  DirOwner& Owner;
  VolumeSequence& Volumes;
  TZADirArray SavedDir;
  TZADirArray Dir;
  std::string Comment;
  engine::Zip64Locator Zip64Locator;
  engine::Zip64EndRecord Zip64End;
  engine::EndRecord EndRecord;
  int64_t PrefixSize = 0;
  bool HasZip64End = false;
  // Set by LoadDir: where the end records start (the Zip64 end record when
  // there is one, else the end record); -1 when the directory was rebuilt
  // from the local headers (no end record, or a damaged directory).
  int64_t EndRecordPosition = -1;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_DIR_MANAGER_H_
