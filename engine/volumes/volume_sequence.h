// VolumeSequence: the files an archive is written to, one after another.
//
// It owns the archive stream (the whole archive, or the current volume of a
// split or spanned one), knows which volume that is, asks the host for
// volumes through its request events, cuts the bytes it is given at the
// volume limits (keeping together what must not be divided), stages bytes
// in memory where a volume must be written in one piece, gives the last
// volume the archive's name when the writing ends, and records every change
// it makes to volume files so that a failed update transaction can be
// undone across all of them.
//
// The entry writer and the directory writer both write through it; it
// calls nothing above it except through the small interface below.
//
// Thread rules: used by the archiver's one thread.
#ifndef TESSALY_ENGINE_VOLUMES_VOLUME_SEQUENCE_H_
#define TESSALY_ENGINE_VOLUMES_VOLUME_SEQUENCE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/base/options.h"
#include "engine/base/types.h"
#include "engine/base/volume_number_info.h"
#include "engine/volumes/volume_naming.h"
#include "engine/volumes/volume_undo_log.h"
#include "platform/env.h"
#include "platform/memory_stream.h"
#include "platform/stream.h"

namespace tessaly::engine {

class Component;

// What the sequence asks of its owner: answers to requests for volumes, the
// progress event of long copies, and how its volumes are named. Volume
// indexes are zero-based here.
class VolumeHost {
 public:
  virtual ~VolumeHost() = default;
  virtual void DoRequestBlankVolume(int32_t VolumeIndex,
                                    std::string& VolumeFileName,
                                    bool& Cancel) = 0;
  virtual void DoRequestFirstVolume(std::string& VolumeFileName,
                                    bool& Cancel) = 0;
  virtual void DoRequestLastVolume(std::string& VolumeFileName,
                                   bool& Cancel) = 0;
  virtual void DoRequestMiddleVolume(int32_t VolumeIndex,
                                     std::string& VolumeFileName,
                                     bool& Cancel) = 0;
  virtual void DoDiskFull(int32_t VolumeIndex,
                          const std::string& VolumeFileName, bool& Cancel) = 0;
  virtual void DoCopyTempFileProgress(double Progress,
                                      TZAProgressPhase ProgressPhase,
                                      bool& Cancel) = 0;
  // The naming scheme of the archive's volumes as it stands now
  // (engine/volumes/volume_naming.h).
  virtual VolumeNaming Naming() const = 0;
};

// The owner's settings the sequence reads at each call.
struct VolumeSettings {
  const std::string& archive_name;  // the archive (the last volume's name)
  const TZASpanningMode& mode;
  const uint16_t& open_mode;        // kOpenCreate: volumes are created
  const TZASpanningOptions& options;
};

class VolumeSequence {
 public:
  // `component` is named in the errors raised. REQUIRES: everything given
  // outlives the sequence.
  VolumeSequence(platform::Env& env, const Component* component,
                 VolumeHost& host, VolumeSettings settings);
  VolumeSequence(const VolumeSequence&) = delete;
  VolumeSequence& operator=(const VolumeSequence&) = delete;
  ~VolumeSequence();

  // ---- The current volume -------------------------------------------------
  // The stream of the current volume (or the whole archive); may be null.
  platform::Stream* stream() const { return stream_.get(); }
  // The file the stream is open on ("" for an archive in memory).
  const std::string& name() const { return name_; }
  TZAVolumeNumberInfo& current() { return current_; }
  const TZAVolumeNumberInfo& current() const { return current_; }
  // Replaces the stream (the old one is freed); `name` is the file it is
  // open on.
  void Replace(std::unique_ptr<platform::Stream> stream,
               const std::string& name);
  // Closes and frees the stream.
  void Release() { stream_.reset(); }
  // Frees the stream and opens `name` with `mode` (default: the open mode)
  // as the new one.
  void OpenFile(const std::string& name);
  void OpenFile(const std::string& name, uint16_t mode);
  // Makes `info` the current volume, asking the host for it as needed. For
  // a new volume, `room_needed` contiguous bytes must fit: a disk with less
  // free space counts as full. Raises EZAException 45 when the request is
  // declined.
  void Open(TZAVolumeNumberInfo& info, int64_t room_needed = 0);
  // Size limit of the volume `info`: -1 when none.
  int64_t LimitFor(const TZAVolumeNumberInfo& info) const;
  // Whether `name` lies on a removable drive ("A:", "B:", or a drive the
  // system reports as removable).
  bool IsRemovableDrive(const std::string& name);
  // Whether `name` lies on drive "A:" or "B:".
  static bool IsFloppyDrive(const std::string& name);
  // Free bytes on the disk of `name` (a name without a folder: of the
  // current folder); negative when they cannot be measured.
  int64_t DiskFreeSpace(const std::string& name);

  // ---- Writing --------------------------------------------------------------
  // Writes `count` bytes into the sequence (into the staging buffer while
  // staging), opening the next volume whenever the current one is full.
  // keep_together -1: the bytes may be divided; >= 0: they go whole into a
  // volume that has room for them plus keep_together more bytes. Returns
  // the bytes written: fewer than `count` when the disk cannot be
  // measured, the device refuses bytes, or a piece that may not be divided
  // is larger than any volume. Raises EZAException 45 when a needed volume
  // is declined, 46 when staged bytes cannot be written out. smNone: a
  // plain write to the stream.
  int64_t Write(const void* buffer, int64_t count, int64_t keep_together);
  // Write, raising EZAException 46 when fewer bytes were written.
  void WriteChecked(const void* buffer, int64_t count, int64_t keep_together);
  // Copies `size` bytes of `source` (-1: up to its end) through Write in
  // blocks of 1,000,000 bytes. With report_progress, raises
  // DoCopyTempFileProgress ppStart 0 (a Cancel there returns at once),
  // ppProcess after each block (a Cancel stops the copy) and ppEnd 100. On
  // return `cancel` is true when any of these events answered Cancel.
  // Raises EZAException 46 when the volumes take fewer bytes,
  // platform::EReadError when `source` gives fewer.
  void Copy(platform::Stream& source, bool report_progress,
            int64_t keep_together, int64_t size, bool& cancel);

  // ---- Staging --------------------------------------------------------------
  // While staging, written bytes collect in memory and reach the volume
  // file only when it is full or the staging is flushed, so that each
  // volume file is written in one piece.
  void StartStaging();
  // The staging buffer; null when not staging.
  platform::MemoryStream* staging() const { return staging_.get(); }
  // Writes the staged bytes to the stream and empties the buffer. Raises
  // EZAException 46 on a short write.
  void FlushStaging();
  // Drops the staging buffer (and whatever it holds).
  void StopStaging() { staging_.reset(); }

  // ---- Ending and undoing ---------------------------------------------------
  // The last volume of a multi-volume archive takes the final name (any
  // file of that name makes way: MakeWay); the stream is open on it again,
  // positioned at its end. Raises EZAException 57 (with the final name)
  // when the rename failed; the stream is then open on the old name.
  void FinishLastVolume();
  // Clears `name` for a volume to take it. A file there is deleted, or,
  // while the update can still be undone, kept aside until it ends so that
  // the undo brings it back.
  void MakeWay(const std::string& name);
  // Renames the volume file `from` to `to`, recorded for undoing; false
  // when it failed.
  bool Rename(const std::string& from, const std::string& to);
  // The record of changes to volume files (engine/volumes/volume_undo_log.h).
  VolumeUndoLog& undo() { return undo_; }
  // Remembers the current volume as the one an update begins on, to which
  // Undo returns; a multi-volume archive's volume counts as written.
  void MarkStart();
  // Undoes every recorded change and drops the staging buffer; for a
  // multi-volume archive the volume of MarkStart is open again. Returns
  // false when anything could not be put back.
  bool Undo();
  // Forgets the volume files written so far: a new archive begins.
  void ForgetWritten() { written_.clear(); }

 private:
  void Create(TZAVolumeNumberInfo& info, int64_t room_needed);
  void StartNext(TZAVolumeNumberInfo& info, int64_t room_needed);

  platform::Env& env_;
  const Component* component_;
  VolumeHost& host_;
  VolumeSettings settings_;

  std::unique_ptr<platform::Stream> stream_;
  std::string name_;
  TZAVolumeNumberInfo current_;
  std::unique_ptr<platform::MemoryStream> staging_;
  VolumeUndoLog undo_;
  // Volume files written for this archive since it was opened: a new volume
  // never overwrites one of them.
  std::vector<std::string> written_;
  // The volume an update began on (MarkStart).
  TZAVolumeNumberInfo start_;
  std::string start_name_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_VOLUMES_VOLUME_SEQUENCE_H_
