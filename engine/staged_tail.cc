// Rewriting a single-file archive behind its first change without a moment
// in which an entry that must survive exists nowhere.
//
// Old archive: [entries before the change][old tail: entries, directory,
// end record]. The new tail (entries written from their sources and copies
// of the unchanged ones) is written behind the old end, with every local
// header's signature zeroed, so that neither a reader nor a recovery scan of
// local headers takes it for entries while it is incomplete: a process that
// dies here leaves the old archive, whole, in front of bytes nobody reads.
// Then it is published: the signatures are written and a directory for
// this staged layout (old entries before the change, the staged copy
// behind the old end) with end records closes the file, which is flushed.
// From then on the archive opens with its new content. Only now is the old
// tail overwritten: the staged tail is moved down to where the change
// begins, the moved copy flushed, the file cut behind it (one truncation,
// after which a scan of local headers finds exactly the new entries) and
// the final directory written. The final bytes are those a rewrite in place
// would give.
//
// Rolling back before the move is cutting the file back to its old end.
//
// Hard case: when the new tail is longer than the old one, moving it down
// would overwrite its own beginning before the end is moved; a process
// dying then would leave neither copy whole. The staged tail is then copied
// once more behind itself (still hidden) and published there, and the
// move starts from that copy, which the move never reaches.
//
// The short windows that remain: between the first signature written and
// the staged end record, a recovery scan finds the unchanged entries twice
// (both copies whole and equal), and the replaced entry in its old and new
// form. No entry is ever missing.
#include <algorithm>
#include <array>
#include <vector>

#include "engine/format/byte_codec.h"
#include "engine/archiver_core.h"
#include "engine/entries/entry_placement.h"
#include "platform/exception.h"

namespace tessaly::engine {

namespace {

using platform::Stream;

constexpr int64_t kMoveBlock = 1 << 20;

// Copies `count` bytes of `stream` from `from` to `to`, front to back; safe
// when `to` lies before `from` or at or after `from + count`.
void CopyWithin(Stream& stream, int64_t from, int64_t to, int64_t count) {
  std::vector<uint8_t> block(
      static_cast<size_t>(std::clamp<int64_t>(count, 0, kMoveBlock)));
  for (int64_t done = 0; done < count;) {
    const int64_t n = std::min<int64_t>(kMoveBlock, count - done);
    if (stream.Seek(from + done) != from + done) throw platform::EReadError();
    stream.ReadBuffer(block.data(), n);
    if (stream.Seek(to + done) != to + done) throw platform::EWriteError();
    stream.WriteBuffer(block.data(), n);
    done += n;
  }
}

void FlushOrThrow(Stream& stream) {
  if (!stream.Flush()) throw platform::EWriteError();
}

}  // namespace

void ArchiverCore::BeginStaging() {
  Stream& stream = *volumes_.stream();
  stage_at_ = stream.Size();
  volumes_.undo().TailChanges(volumes_.name(), stage_at_, nullptr);
  place_.staging = true;
  place_.write_shift = stage_at_ - place_.start;
  place_.hidden_headers.clear();
  if (stream.Seek(stage_at_) != stage_at_) throw platform::EWriteError();
}

void ArchiverCore::PublishStagedTail() {
  Stream& stream = *volumes_.stream();
  staged_length_ = stream.Size() - stage_at_;
  if (place_.start + staged_length_ > stage_at_) {
    const int64_t again = stage_at_ + staged_length_;
    CopyWithin(stream, stage_at_, again, staged_length_);
    for (RewritePlace::HiddenHeader& header : place_.hidden_headers) {
      header.position += again - stage_at_;
    }
    place_.write_shift += again - stage_at_;
    stage_at_ = again;
  }

  for (const RewritePlace::HiddenHeader& header : place_.hidden_headers) {
    std::array<uint8_t, 4> bytes;
    EncodeFixed32(bytes.data(), header.signature);
    if (stream.Seek(header.position) != header.position) {
      throw platform::EWriteError();
    }
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
  }

  // The staged directory points the changed items at their staged copies;
  // afterwards they point where the move will put them.
  TZADirArray& dir = DirManager->Dir;
  struct Place {
    uint32_t offset;
    uint64_t zip64_offset;
    bool zip64;
  };
  std::vector<Place> places;
  for (int32_t i = first_change_; i < dir.Count(); ++i) {
    TDirItem& item = dir.ItemPtr(i);
    places.push_back({item.header.local_header_offset, item.Zip64LocalOffset,
                      item.HasZip64});
    SetLocalOffset(item, place_.PhysicalOffset(item), Zip64Mode);
  }
  const auto restore_places = [&] {
    for (int32_t i = first_change_; i < dir.Count(); ++i) {
      TDirItem& item = dir.ItemPtr(i);
      const Place& place = places[static_cast<size_t>(i - first_change_)];
      item.header.local_header_offset = place.offset;
      item.Zip64LocalOffset = place.zip64_offset;
      item.HasZip64 = place.zip64;
    }
  };
  try {
    DirManager->SaveDir(true, &stream);
  } catch (...) {
    restore_places();
    throw;
  }
  restore_places();
  FlushOrThrow(stream);
}

void ArchiverCore::CommitStagedTail() {
  Stream& stream = *volumes_.stream();
  CopyWithin(stream, stage_at_, place_.start, staged_length_);
  // The moved copy must be on the device before the staged one goes.
  FlushOrThrow(stream);
  place_.staging = false;
  place_.write_shift = 0;
  place_.hidden_headers.clear();
  CutAt(stream, place_.start + staged_length_);
  DirManager->SaveDir(true, &stream);
}

}  // namespace tessaly::engine
