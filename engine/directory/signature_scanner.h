// Helpers of the directory reader: exact reads at a position and a forward
// search for a 4-byte signature that reads the stream in overlapping chunks.
// Internal to engine/directory.
#ifndef TESSALY_ENGINE_DIRECTORY_SIGNATURE_SCANNER_H_
#define TESSALY_ENGINE_DIRECTORY_SIGNATURE_SCANNER_H_

#include <array>
#include <cstdint>
#include <vector>

#include "platform/stream.h"

namespace tessaly::engine {

// The stream's size, 0 when it reports an error.
int64_t StreamSize(const platform::Stream& stream);

// Reads exactly `count` bytes at `position` into `buffer`. Returns false
// (the buffer's content is then undefined) when the position is negative,
// the seek fails or the stream ends first. Leaves the stream after the
// bytes read.
bool ReadAt(platform::Stream& stream, int64_t position, void* buffer,
            int64_t count);

// Finds the signature bytes at successive positions of a stream. Each chunk
// read starts 4 bytes before the end of the previous one, so a signature
// that straddles two chunks is found. The scanner keeps its last chunk, so
// a run of Next calls with growing `from` reads every byte about once.
// Moves the stream position; callers that must keep it restore it.
class SignatureScanner {
 public:
  // REQUIRES: chunk_size > 4. `stream` must outlive the scanner.
  SignatureScanner(platform::Stream& stream, uint32_t signature,
                   int64_t chunk_size);

  // The position of the first signature at or after `from` (negative
  // `from` counts as 0), or -1 when there is none before the end.
  int64_t Next(int64_t from);

 private:
  // Reads the chunk that starts at `start`; false when fewer than 4 bytes
  // are left there.
  bool Load(int64_t start);

  platform::Stream& stream_;
  std::array<uint8_t, 4> signature_;
  int64_t chunk_size_;
  std::vector<uint8_t> buffer_;
  int64_t buffer_start_ = -1;  // stream position of buffer_[0]; -1: none
  bool at_end_ = false;        // the chunk reaches the end of the stream
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_SIGNATURE_SCANNER_H_
