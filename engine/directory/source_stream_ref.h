// SourceStreamRef: the stream that supplies an entry's data in place of its
// source file, held by the entry's directory item.
//
// The stream is either owned (the items free it) or borrowed (its caller
// keeps it alive and frees it). Directory items are copied by value, between
// the directory and its saved copy among others, so an owned stream is shared
// by every copy and freed when the last of them lets go of it: no copy frees
// a stream that another still refers to, and none has to be cleared by hand
// before a copy goes.
#ifndef TESSALY_ENGINE_DIRECTORY_SOURCE_STREAM_REF_H_
#define TESSALY_ENGINE_DIRECTORY_SOURCE_STREAM_REF_H_

#include <memory>
#include <utility>

#include "platform/stream.h"

namespace tessaly::engine {

class SourceStreamRef {
 public:
  SourceStreamRef() = default;

  // A stream the items own.
  static SourceStreamRef Owned(std::unique_ptr<platform::Stream> stream) {
    SourceStreamRef ref;
    ref.owned_ = stream != nullptr;
    ref.stream_ = std::move(stream);
    return ref;
  }
  // A stream the caller owns. REQUIRES: `stream` outlives every item that
  // refers to it.
  static SourceStreamRef Borrowed(platform::Stream* stream) {
    SourceStreamRef ref;
    ref.stream_ = std::shared_ptr<platform::Stream>(
        std::shared_ptr<platform::Stream>(), stream);
    return ref;
  }

  // Null when the item has no source stream.
  platform::Stream* get() const { return stream_.get(); }
  platform::Stream* operator->() const { return stream_.get(); }
  explicit operator bool() const { return stream_ != nullptr; }
  bool owned() const { return owned_; }

  // This item lets go of the stream (an owned one is freed when no other
  // item holds it).
  void Reset() {
    stream_.reset();
    owned_ = false;
  }

 private:
  // An owned stream is shared by the copies of the item; a borrowed one is
  // held through an aliasing pointer that owns nothing.
  std::shared_ptr<platform::Stream> stream_;
  bool owned_ = false;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_DIRECTORY_SOURCE_STREAM_REF_H_
