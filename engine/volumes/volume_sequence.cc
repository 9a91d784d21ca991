// Placing bytes into the volumes of a multi-volume archive.
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
#include "engine/volumes/volume_sequence.h"

#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/base/messages.h"
#include "engine/base/za_exception.h"
#include "platform/exception.h"
#include "platform/open_stream.h"
#include "platform/path.h"
#include "platform/text.h"

namespace tessaly::engine {
namespace {

// Volumes are accepted only with more free space than this.
constexpr int64_t kMinimumVolumeFreeSpace = 65536;

// Block size of Copy.
constexpr int64_t kCopyBlockSize = 1000000;

// The volume label of a spanned disk; %.3d of the volume number from 1.
constexpr std::string_view kVolumeLabelFormat = "pkback# %.3d";

}  // namespace

VolumeSequence::VolumeSequence(platform::Env& env, const Component* component,
                               VolumeHost& host, VolumeSettings settings)
    : env_(env),
      component_(component),
      host_(host),
      settings_(settings),
      undo_(env) {}

VolumeSequence::~VolumeSequence() = default;

void VolumeSequence::Replace(std::unique_ptr<platform::Stream> stream,
                             const std::string& name) {
  stream_ = std::move(stream);
  name_ = name;
}

void VolumeSequence::OpenFile(const std::string& name) {
  OpenFile(name, settings_.open_mode);
}

void VolumeSequence::OpenFile(const std::string& name, uint16_t mode) {
  stream_.reset();
  stream_ = platform::OpenStream(env_, name, mode);
  name_ = name;
}

int64_t VolumeSequence::LimitFor(const TZAVolumeNumberInfo& info) const {
  return settings_.options.VolumeSizeFor(info);
}

bool VolumeSequence::IsFloppyDrive(const std::string& name) {
  const std::string drive =
      platform::AnsiUpperCase(platform::ExtractFileDrive(name));
  return drive == "A:" || drive == "B:";
}

int64_t VolumeSequence::DiskFreeSpace(const std::string& name) {
  std::string folder = platform::ExtractFilePath(name);
  if (folder.empty()) folder = env_.CurrentDirectory();
  return env_.FreeSpace(folder);
}

bool VolumeSequence::IsRemovableDrive(const std::string& name) {
  return IsFloppyDrive(name) ||
         env_.DriveTypeOf(name) == platform::DriveType::kRemovable;
}

void VolumeSequence::Open(TZAVolumeNumberInfo& info, int64_t room_needed) {
  if (settings_.mode == smNone) {
    if (stream_ == nullptr) OpenFile(settings_.archive_name);
    current_.Number = info.Number;
    current_.Kind = info.Kind;
    return;
  }

  if (settings_.open_mode == kOpenCreate) {
    stream_.reset();
    Create(info, room_needed);
    return;
  }

  // An existing archive: ask for the volume until its file is there.
  if (current_.SameVolume(info)) return;
  bool cancel = false;
  while (!cancel) {
    std::string volume_name = settings_.archive_name;
    if (info.IsFirst()) {
      host_.DoRequestFirstVolume(volume_name, cancel);
    } else if (info.IsLast()) {
      host_.DoRequestLastVolume(volume_name, cancel);
    } else {
      host_.DoRequestMiddleVolume(info.Number, volume_name, cancel);
    }
    if (cancel) break;
    const std::string existing = ExistingVolumeName(env_, volume_name);
    if (!existing.empty()) {
      OpenFile(existing);
      current_.Number = info.Number;
      current_.Kind = info.Kind;
      return;
    }
  }
  throw EZAException(kCodeVolumeDeclined, component_);
}

void VolumeSequence::Create(TZAVolumeNumberInfo& info, int64_t room_needed) {
  const int64_t limit = LimitFor(info);
  const int32_t index = std::max(info.Number, 0);
  if (index == 0) written_.clear();  // a new archive begins
  const auto earlier_volume = [&](const std::string& name) {
    if (!env_.FileExists(name)) return false;
    return std::any_of(written_.begin(), written_.end(),
                       [&](const std::string& volume) {
                         return SameFileNameAnyCase(volume, name);
                       });
  };
  while (true) {
    std::string volume_name =
        VolumeFileName(settings_.archive_name, index, host_.Naming());
    bool cancel = false;
    host_.DoRequestBlankVolume(index, volume_name, cancel);
    if (cancel) break;
    if (earlier_volume(volume_name)) {
      // The disk holding that volume is still there.
      if (IsRemovableDrive(volume_name)) continue;
      break;
    }
    const int64_t free = DiskFreeSpace(volume_name);
    const bool accepted =
        free > kMinimumVolumeFreeSpace &&
        (limit <= 0 || settings_.mode == smSplitting || free >= limit) &&
        free >= room_needed;
    if (accepted) {
      OpenFile(volume_name, kOpenCreate);
      if (undo_.Recording()) undo_.Created(volume_name);
      written_.push_back(volume_name);
      current_.Number = info.Number;
      current_.Kind = info.Kind;
      if (settings_.mode == smSpanning) {
        // Labels cannot be set everywhere (never on POSIX); a disk
        // without one is still a good volume.
        env_.SetVolumeLabel(volume_name,
                            FormatMessage(kVolumeLabelFormat, {index + 1}));
      }
      return;
    }
    host_.DoDiskFull(index, volume_name, cancel);
    if (cancel) break;
  }
  throw EZAException(kCodeVolumeDeclined, component_);
}

void VolumeSequence::StartNext(TZAVolumeNumberInfo& info,
                               int64_t room_needed) {
  if (settings_.open_mode != kOpenCreate) {
    const std::string numbered = VolumeFileName(
        settings_.archive_name, info.Number - 1, host_.Naming());
    if (!SameFileNameAnyCase(numbered, name_)) {
      // Never over another file: a stale volume of that name may be all
      // that is left of something.
      if (!ExistingVolumeName(env_, numbered).empty()) {
        throw EZAException(kCodeVolumeDeclined, component_);
      }
      stream_.reset();
      if (!env_.RenameFile(name_, numbered)) {
        throw EZAException(kCodeVolumeDeclined, component_);
      }
      if (undo_.Recording()) undo_.Renamed(name_, numbered);
      written_.push_back(numbered);
      name_ = numbered;
    }
  }
  stream_.reset();
  Create(info, room_needed);
}

void VolumeSequence::MakeWay(const std::string& name) {
  if (!env_.FileExists(name)) return;
  if (undo_.Recording()) {
    std::string aside =
        env_.TempFileName(platform::ExtractFilePath(name), "TZV");
    // The temporary name is created as a file; renaming needs it free.
    if (!aside.empty() && env_.RemoveFile(aside) &&
        env_.RenameFile(name, aside)) {
      undo_.SetAside(name, aside);
      return;
    }
  }
  env_.RemoveFile(name);
}

bool VolumeSequence::Rename(const std::string& from, const std::string& to) {
  if (!env_.RenameFile(from, to)) return false;
  if (undo_.Recording()) undo_.Renamed(from, to);
  return true;
}

void VolumeSequence::StartStaging() {
  if (staging_ == nullptr) staging_ = std::make_unique<platform::MemoryStream>();
}

void VolumeSequence::FlushStaging() {
  if (staging_ == nullptr || staging_->Size() == 0) return;
  const int64_t size = staging_->Size();
  if (stream_->Write(staging_->data(), size) != size) {
    throw EZAException(kCodeWriteError, component_);
  }
  staging_->Clear();
}

int64_t VolumeSequence::Write(const void* buffer, int64_t count,
                              int64_t keep_together) {
  if (settings_.mode == smNone) return stream_->Write(buffer, count);

  const auto* bytes = static_cast<const uint8_t*>(buffer);
  const bool whole = keep_together >= 0;
  int64_t written = 0;
  while (written < count) {
    const int64_t staged = staging_ != nullptr ? staging_->Size() : 0;
    const int64_t limit = LimitFor(current_);
    int64_t free = DiskFreeSpace(name_);
    if (free < 0) return written;  // the disk cannot be measured
    free -= staged;
    if (limit > 0) free = std::min(free, limit - stream_->Size() - staged);
    if (free < 0) return written;

    const int64_t remaining = count - written;
    const int64_t needed = whole ? keep_together + remaining : 0;
    if (!whole || needed <= free) {
      const int64_t n = std::min(free, remaining);
      if (n > 0) {
        platform::Stream& target =
            staging_ != nullptr ? *staging_ : *stream_;
        const int64_t done =
            std::max<int64_t>(target.Write(bytes + written, n), 0);
        written += done;
        if (done < n) return written;
      }
      if (written == count) break;
    }

    TZAVolumeNumberInfo next = current_;
    next.SetNumber(current_.Number + 1);
    if (whole) {
      // A piece that no volume can hold would open volumes without end.
      const int64_t next_limit = LimitFor(next);
      if (next_limit > 0 && needed > next_limit) return written;
    }

    FlushStaging();
    if (settings_.mode == smSpanning) stream_->Flush();
    StartNext(next, needed);
    current_ = next;
  }
  return written;
}

void VolumeSequence::WriteChecked(const void* buffer, int64_t count,
                                  int64_t keep_together) {
  if (Write(buffer, count, keep_together) < count) {
    throw EZAException(kCodeWriteError, component_);
  }
}

void VolumeSequence::Copy(platform::Stream& source, bool report_progress,
                          int64_t keep_together, int64_t size, bool& cancel) {
  // Every event starts with Cancel false; a Cancel given in any of them is
  // reported to the caller, so a copy stopped by the host aborts the update
  // instead of leaving an entry with its data cut short.
  cancel = false;
  const auto raise = [&](double progress, TZAProgressPhase phase) {
    bool answer = false;
    host_.DoCopyTempFileProgress(progress, phase, answer);
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
    const int64_t done = Write(buffer.data(), n, keep_together);
    written += done;
    if (done < n) throw EZAException(kCodeWriteError, component_);
    if (report_progress &&
        raise(static_cast<double>(written) / static_cast<double>(total) * 100.0,
              ppProcess)) {
      break;
    }
  }
  if (report_progress) raise(100.0, ppEnd);
}

void VolumeSequence::FinishLastVolume() {
  if (settings_.mode == smNone) return;
  const std::string current = name_;
  const std::string& archive = settings_.archive_name;
  const std::string final_name = VolumeFileName(archive, -1, host_.Naming());
  if (current.empty() || current == archive || current == final_name) return;
  stream_.reset();
  MakeWay(final_name);
  const bool renamed = Rename(current, final_name);
  const std::string open_name = renamed ? final_name : current;
  auto reopened = platform::OpenStream(env_, open_name, kOpenReadWriteDenyNone);
  reopened->Seek(reopened->Size());
  Replace(std::move(reopened), open_name);
  if (!renamed) {
    throw EZAException(kCodeRenameVolume, {final_name}, component_);
  }
}

void VolumeSequence::MarkStart() {
  start_ = current_;
  start_name_ = name_;
  if (settings_.mode != smNone) written_.push_back(name_);
}

bool VolumeSequence::Undo() {
  staging_.reset();
  if (settings_.mode == smNone) return undo_.Undo(stream_.get(), name_);
  // The volumes are handled by name (renamed back, deleted, restored), then
  // the one the update began on is open again.
  stream_.reset();
  bool restored = undo_.Undo(nullptr, "");
  current_ = start_;
  name_ = start_name_;
  try {
    OpenFile(start_name_, settings_.open_mode == kOpenCreate
                              ? kOpenReadWriteDenyWrite
                              : settings_.open_mode);
  } catch (const platform::Exception&) {
    restored = false;
  }
  return restored;
}

}  // namespace tessaly::engine
