// EntryWriter: writes one entry of an update from its source, or carries one
// over from the old archive, into the volume sequence.
//
// A new entry is a local header, its data (compressed, and encrypted when it
// has a password, by the deflate adapter) and the same header rewritten in
// place with the final CRC-32 and sizes. In multi-volume output the entry is
// assembled in a temporary file first and handed to the volume sequence in
// two pieces: the header, which stays on one volume, and the data, which may
// be divided. An entry carried over is copied from where its old bytes lie
// now (RewritePlace): the archive itself, or the old tail kept aside.
//
// The writer raises the file progress events, the overall progress events
// between blocks, and the failure dialogue for an entry that cannot be
// written; the answer is left in Action() for the pipeline to act on.
//
// Thread rules: used by the archiver's one thread; the compressor's workers
// see only blocks of data.
#ifndef TESSALY_ENGINE_ENTRIES_ENTRY_WRITER_H_
#define TESSALY_ENGINE_ENTRIES_ENTRY_WRITER_H_

#include <cstdint>
#include <string>

#include "engine/base/options.h"
#include "engine/base/types.h"
#include "engine/directory/dir_array.h"
#include "engine/directory/dir_item.h"
#include "engine/entries/entry_events.h"
#include "engine/entries/entry_placement.h"
#include "engine/io/entry_lookahead.h"
#include "engine/io/parallel_deflate.h"
#include "engine/volumes/volume_sequence.h"
#include "platform/env.h"
#include "platform/stream.h"

namespace tessaly::engine {

class Component;

// The archiver's settings the writer reads at each entry.
struct EntryWriterSettings {
  const TZAOptions& options;  // OEMFileNames, ShareMode
  const TZip64Mode& zip64_mode;
  const bool& zip_format;  // standard signatures, or the alternate set
  const TZASpanningMode& spanning_mode;
  const uint8_t& compression_mode;
  const std::string& temp_dir;  // for temporary files; empty: the system's
  // The archiver's method for new entries, which every new entry sets from
  // compression_mode (8 when it is not 0, else 0).
  uint16_t& entry_method;
};

// The failure last offered to the failure dialogue.
struct EntryFailure {
  int32_t native_error = 0;
  std::string message;
  std::string name;  // the stored name of a replacement, else the source
};

class EntryWriter {
 public:
  // `component` is named in the errors raised. REQUIRES: everything given
  // outlives the writer.
  EntryWriter(platform::Env& env, const Component* component,
              VolumeSequence& volumes, EntryWriterSettings settings,
              EntryEvents& events, ApplyProgress& progress,
              RewritePlace& place);
  EntryWriter(const EntryWriter&) = delete;
  EntryWriter& operator=(const EntryWriter&) = delete;

  // The compressor of the running update, and what reads the entries that
  // follow ahead for it; null: the writing thread compresses alone.
  void SetCompressor(ParallelDeflate* parallel, EntryLookahead* lookahead) {
    parallel_ = parallel;
    lookahead_ = lookahead;
  }

  // Writes the pending item `index` of `dir` from its source; true when the
  // entry was written. False after a cancel, or after a failure the host
  // answered (Action(): Retry, Ignore or Abort; LastFailure() tells what
  // failed); a copy into the volumes that was cancelled answers Abort.
  bool WriteEntry(TZADirArray& dir, int32_t index);
  // Has the deflate adapter write the data of `item` from `source` to
  // `output`, then fills the item's CRC-32, sizes, Zip64 values and
  // method. False after a cancel. Raises EZAException 34 when the source
  // gave fewer bytes than it claimed, 41 when the sizes need Zip64 and it
  // is disabled.
  bool PackEntryData(platform::Stream& source, platform::Stream& output,
                     TDirItem& item);
  // Carries the entry of item `index` of `dir` over from its old bytes
  // (found through `saved`, the directory before the update). A
  // replacement that failed gets its old directory values back. Raises
  // EZAException 7 when there is no old entry.
  void CopyEntry(TZADirArray& dir, TZADirArray& saved, int32_t index);

  // A new apply step: no answer, no cancelled copy, no failure.
  void BeginStep() {
    action_ = fxaIgnore;
    copy_cancel_ = false;
    failure_ = EntryFailure{};
  }
  // The answer to the failure dialogue of the last WriteEntry; fxaIgnore
  // when there was none since SetAction or BeginStep.
  TZAAction Action() const { return action_; }
  void SetAction(TZAAction action) { action_ = action; }
  // Whether the copy of the last entry into the volumes was cancelled.
  bool CopyCancelled() const { return copy_cancel_; }
  const EntryFailure& LastFailure() const { return failure_; }

  // Where the next byte written to a multi-volume archive lands in its
  // volume: the staging buffer's position while staging, else the stream's.
  int64_t VolumeOffset() const;

 private:
  platform::Env& env_;
  const Component* component_;
  VolumeSequence& volumes_;
  EntryWriterSettings settings_;
  EntryEvents& events_;
  ApplyProgress& progress_;
  RewritePlace& place_;
  ParallelDeflate* parallel_ = nullptr;
  EntryLookahead* lookahead_ = nullptr;

  TZAAction action_ = fxaIgnore;
  bool copy_cancel_ = false;
  EntryFailure failure_;
};

// The share bits added to read-only access when a source file is opened.
uint16_t ShareModeFlags(TZAFileShareMode mode);

// A new unique temporary file (created empty) with the prefix "FC" in
// `temp_dir`, else the system's temporary folder. Raises
// platform::EFCreateError when none can be made.
std::string TempFileName(platform::Env& env, const std::string& temp_dir);

// Whether the local header of an entry with `source_size` bytes of data gets
// 0xFFFFFFFF as its sizes and the 20-byte Zip64 extra field. Always for
// sources of 0xFFFFFFFF bytes or more and with zmAlways; with zmAuto also
// when the compressed data (method, encryption header) could reach
// 0xFFFFFFFF bytes; never otherwise.
bool NeedsLocalZip64(int64_t source_size, uint16_t method, bool encrypted,
                     TZip64Mode mode);

// Source paths this long or longer are refused, as the system's path limit
// (MAX_PATH) would refuse them on Windows.
inline constexpr int64_t kMaxSourcePath = 260;

// The number of characters of UTF-8 text (a sequence counts once).
int64_t CharacterCount(const std::string& text);

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ENTRIES_ENTRY_WRITER_H_
