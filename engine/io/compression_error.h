// Exceptions of the deflate adapter. zlib reports failures as negative
// result codes; the adapter turns every negative result it tests into one
// ECompressionError with the fixed text "error". zlib's own message strings
// and the numeric code are not kept.
#ifndef TESSALY_ENGINE_IO_COMPRESSION_ERROR_H_
#define TESSALY_ENGINE_IO_COMPRESSION_ERROR_H_

#include <string>

#include "engine/base/messages.h"
#include "platform/exception.h"

namespace tessaly::engine {

// The parent of the exceptions raised for zlib failures.
class EZlibError : public platform::Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EZlibError"; }
};

// A zlib call of the compressing direction failed. Message: "error".
class ECompressionError : public EZlibError {
 public:
  ECompressionError() : EZlibError(std::string(kCompressionErrorText)) {}
  const char* ClassName() const noexcept override {
    return "ECompressionError";
  }
};

// The zlib result test: returns `result` unchanged when it is 0 or positive
// (Z_OK, Z_STREAM_END, Z_NEED_DICT); throws ECompressionError when it is
// negative.
inline int CheckCompressionResult(int result) {
  if (result < 0) throw ECompressionError();
  return result;
}

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_IO_COMPRESSION_ERROR_H_
