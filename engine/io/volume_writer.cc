// Placing bytes into the volume sequence of a multi-volume archive.
//
// A write that may be divided fills the current volume exactly to its limit
// (the volume size, or the free space of its disk when that is smaller) and
// continues in a new volume. A piece that must stay whole ("keep together":
// a local header with its name, a central header with its name and extra
// field) either fits into the current volume, together with the bytes the
// caller says must follow it, or starts a fresh volume.
//
// Hard cases:
// - A piece larger than any volume can hold would start one fresh volume
//   after another. The writer refuses it instead (a short count), and a new
//   volume that must take a piece is accepted only when its disk has room
//   for the piece; otherwise the disk counts as full and the host is asked
//   through the disk-full event, as for any full disk.
// - A device that takes fewer bytes than the free-space measurement
//   promised stops the write with a short count rather than opening volume
//   after volume on a device that keeps failing.
// - A volume limit of 0 or less (a custom size never set) means no limit,
//   as it does when a volume is opened.
// - A new volume is never created over an earlier volume of the archive
//   being written. Spanned volumes all carry the archive's name, so on a
//   folder that is not on a removable drive the "next disk" would be the
//   previous volume's own file: that request counts as declined. On a
//   removable drive it means the disk was not changed, and the request is
//   made again.
// - An existing archive grows past its last volume: that volume carries the
//   archive's name, which the new last volume takes at the end, so it is
//   first renamed to its numbered name. Volumes created and renamed are
//   recorded in the undo log, which a rolled-back update undoes.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/io/archiver_core.h"
#include "engine/base/messages.h"
#include "engine/base/za_exception.h"
#include "platform/exception.h"
#include "platform/file_stream.h"
#include "platform/text.h"

namespace tessaly::engine {
namespace {

// Volumes are accepted only with more free space than this.
constexpr int64_t kMinimumVolumeFreeSpace = 65536;

// Block size of CopyToVolumes.
constexpr int64_t kCopyBlockSize = 1000000;

// The volume label of a spanned disk; %.3d of the volume number from 1.
constexpr std::string_view kVolumeLabelFormat = "pkback# %.3d";

}  // namespace

void ArchiverCore::OpenVolumeStream(const std::string& name) {
  OpenVolumeStream(name, OpenMode);
}

void ArchiverCore::OpenVolumeStream(const std::string& name, uint16_t mode) {
  archive_stream_.reset();
  archive_stream_ = std::make_unique<platform::FileStream>(env_, name, mode);
  CurrentVolumeName = name;
}

bool ArchiverCore::IsRemovableDrive(const std::string& name) {
  return IsFloppyDrive(name) ||
         env_.DriveTypeOf(name) == platform::DriveType::kRemovable;
}

void ArchiverCore::OpenVolume(TZAVolumeNumberInfo& info) {
  OpenVolume(info, 0);
}

void ArchiverCore::OpenVolume(TZAVolumeNumberInfo& info, int64_t room_needed) {
  if (spanning_mode_ == smNone) {
    if (archive_stream_ == nullptr) OpenVolumeStream(FileName);
    CurrentVolume.Number = info.Number;
    CurrentVolume.Kind = info.Kind;
    return;
  }

  if (OpenMode == kOpenCreate) {
    archive_stream_.reset();
    CreateVolume(info, room_needed);
    return;
  }

  // An existing archive: ask for the volume until its file is there.
  if (CurrentVolume.SameVolume(info)) return;
  bool cancel = false;
  while (!cancel) {
    std::string volume_name = FileName;
    if (info.IsFirst()) {
      DoRequestFirstVolume(volume_name, cancel);
    } else if (info.IsLast()) {
      DoRequestLastVolume(volume_name, cancel);
    } else {
      DoRequestMiddleVolume(info.Number, volume_name, cancel);
    }
    if (cancel) break;
    const std::string existing = ExistingVolumeName(volume_name);
    if (!existing.empty()) {
      OpenVolumeStream(existing);
      CurrentVolume.Number = info.Number;
      CurrentVolume.Kind = info.Kind;
      return;
    }
  }
  throw EZAException(kCodeVolumeDeclined, this);
}

void ArchiverCore::CreateVolume(TZAVolumeNumberInfo& info,
                                int64_t room_needed) {
  const int64_t limit = SpanningOptions.VolumeSizeFor(info);
  const int32_t index = std::max(info.Number, 0);
  if (index == 0) written_volumes_.clear();  // a new archive begins
  const auto earlier_volume = [&](const std::string& name) {
    if (!env_.FileExists(name)) return false;
    const std::string wanted = platform::AnsiUpperCase(name);
    return std::any_of(written_volumes_.begin(), written_volumes_.end(),
                       [&](const std::string& volume) {
                         return platform::AnsiUpperCase(volume) == wanted;
                       });
  };
  while (true) {
    std::string volume_name = MakeVolumeName(FileName, index, false);
    bool cancel = false;
    DoRequestBlankVolume(index, volume_name, cancel);
    if (cancel) break;
    if (earlier_volume(volume_name)) {
      // The disk holding that volume is still there.
      if (IsRemovableDrive(volume_name)) continue;
      break;
    }
    const int64_t free = DiskFreeSpace(volume_name);
    const bool accepted =
        free > kMinimumVolumeFreeSpace &&
        (limit <= 0 || spanning_mode_ == smSplitting || free >= limit) &&
        free >= room_needed;
    if (accepted) {
      OpenVolumeStream(volume_name, kOpenCreate);
      if (undo_.Recording()) undo_.Created(volume_name);
      written_volumes_.push_back(volume_name);
      CurrentVolume.Number = info.Number;
      CurrentVolume.Kind = info.Kind;
      if (spanning_mode_ == smSpanning) {
        // Labels cannot be set everywhere (never on POSIX); a disk
        // without one is still a good volume.
        env_.SetVolumeLabel(volume_name,
                            FormatMessage(kVolumeLabelFormat, {index + 1}));
      }
      return;
    }
    DoDiskFull(index, volume_name, cancel);
    if (cancel) break;
  }
  throw EZAException(kCodeVolumeDeclined, this);
}

void ArchiverCore::StartNextVolume(TZAVolumeNumberInfo& info,
                                   int64_t room_needed) {
  if (OpenMode != kOpenCreate) {
    const std::string numbered =
        MakeVolumeName(FileName, info.Number - 1, false);
    if (platform::AnsiUpperCase(numbered) !=
        platform::AnsiUpperCase(CurrentVolumeName)) {
      // Never over another file: a stale volume of that name may be all
      // that is left of something.
      if (!ExistingVolumeName(numbered).empty()) {
        throw EZAException(kCodeVolumeDeclined, this);
      }
      archive_stream_.reset();
      if (!env_.RenameFile(CurrentVolumeName, numbered)) {
        throw EZAException(kCodeVolumeDeclined, this);
      }
      if (undo_.Recording()) undo_.Renamed(CurrentVolumeName, numbered);
      written_volumes_.push_back(numbered);
      CurrentVolumeName = numbered;
    }
  }
  archive_stream_.reset();
  CreateVolume(info, room_needed);
}

bool ArchiverCore::RenameVolume(const std::string& from,
                                const std::string& to) {
  if (!env_.RenameFile(from, to)) return false;
  if (undo_.Recording()) undo_.Renamed(from, to);
  return true;
}

int64_t ArchiverCore::WriteToVolumes(const void* buffer, int64_t count,
                                     int64_t keep_together,
                                     TZAVolumeNumberInfo& info,
                                     platform::Stream*& stream,
                                     platform::MemoryStream* staging) {
  if (spanning_mode_ == smNone) return stream->Write(buffer, count);

  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const bool whole = keep_together >= 0;
  int64_t written = 0;
  while (written < count) {
    const int64_t staged = staging != nullptr ? staging->Size() : 0;
    const int64_t limit = SpanningOptions.VolumeSizeFor(info);
    int64_t free = DiskFreeSpace(CurrentVolumeName);
    if (free < 0) return written;  // the disk cannot be measured
    free -= staged;
    if (limit > 0) free = std::min(free, limit - stream->Size() - staged);
    if (free < 0) return written;

    const int64_t remaining = count - written;
    const int64_t needed = whole ? keep_together + remaining : 0;
    if (!whole || needed <= free) {
      const int64_t n = std::min(free, remaining);
      if (n > 0) {
        platform::Stream& target = staging != nullptr ? *staging : *stream;
        const int64_t done =
            std::max<int64_t>(target.Write(bytes + written, n), 0);
        written += done;
        if (done < n) return written;
      }
      if (written == count) break;
    }

    TZAVolumeNumberInfo next = info;
    next.SetNumber(info.Number + 1);
    if (whole) {
      // A piece that no volume can hold would open volumes without end.
      const int64_t next_limit = SpanningOptions.VolumeSizeFor(next);
      if (next_limit > 0 && needed > next_limit) return written;
    }

    if (staging != nullptr && staging->Size() > 0) {
      const int64_t size = staging->Size();
      if (stream->Write(staging->data(), size) != size) {
        throw EZAException(kCodeWriteError, this);
      }
      staging->Clear();
    }
    if (spanning_mode_ == smSpanning) stream->Flush();
    try {
      StartNextVolume(next, needed);
    } catch (...) {
      stream = archive_stream_.get();  // never leave the caller a freed stream
      throw;
    }
    info = next;
    stream = archive_stream_.get();
  }
  return written;
}

int64_t ArchiverCore::WriteToVolumesChecked(const void* buffer, int64_t count,
                                            int64_t keep_together,
                                            TZAVolumeNumberInfo& info,
                                            platform::Stream*& stream,
                                            platform::MemoryStream* staging) {
  const int64_t written =
      WriteToVolumes(buffer, count, keep_together, info, stream, staging);
  if (written < count) throw EZAException(kCodeWriteError, this);
  return written;
}

void ArchiverCore::CopyToVolumes(platform::Stream& source,
                                 platform::Stream*& stream,
                                 bool report_progress,
                                 platform::MemoryStream* staging,
                                 int64_t keep_together, int64_t size,
                                 bool& cancel, TZAVolumeNumberInfo& info) {
  // Every event starts with Cancel false; a Cancel given in any of them is
  // reported to the caller, so a copy stopped by the host aborts the update
  // instead of leaving an entry with its data cut short.
  cancel = false;
  const auto raise = [&](double progress, TZAProgressPhase phase) {
    bool answer = false;
    DoCopyTempFileProgress(progress, phase, answer);
    if (answer) cancel = true;
    return answer;
  };

  const int64_t total =
      size >= 0 ? size
                : std::max<int64_t>(source.Size() - source.Position(), 0);
  if (report_progress && raise(0.0, ppStart)) return;

  std::vector<uint8_t> buffer(
      static_cast<size_t>(std::min(kCopyBlockSize, total)));
  int64_t written = 0;
  while (written < total) {
    const int64_t n = std::min(kCopyBlockSize, total - written);
    if (source.Read(buffer.data(), n) != n) throw platform::EReadError();
    const int64_t done =
        WriteToVolumes(buffer.data(), n, keep_together, info, stream, staging);
    written += done;
    if (done < n) throw EZAException(kCodeWriteError, this);
    if (report_progress &&
        raise(static_cast<double>(written) / static_cast<double>(total) * 100.0,
              ppProcess)) {
      break;
    }
  }
  if (report_progress) raise(100.0, ppEnd);
}

}  // namespace tessaly::engine
