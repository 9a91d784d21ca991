// The root of every exception the program raises. It plays the part of the
// base exception of a desktop class library: a message text plus the name of
// the concrete class, which the collector prints in its error boxes
// ("Exception \"EZAException: ...\"").
#ifndef TESSALY_PLATFORM_EXCEPTION_H_
#define TESSALY_PLATFORM_EXCEPTION_H_

#include <exception>
#include <string>
#include <utility>

namespace tessaly::platform {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : message_(std::move(message)) {}
  ~Exception() override = default;

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const noexcept { return message_; }

  // The class name as the user sees it, e.g. "Exception" or "EZAException".
  virtual const char* ClassName() const noexcept { return "Exception"; }

 private:
  std::string message_;
};

// A file could not be created. Message: "Cannot create file \"<name>\"".
class EFCreateError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EFCreateError"; }
};

// A file could not be opened. Message: "Cannot open file \"<name>\"".
class EFOpenError : public Exception {
 public:
  using Exception::Exception;
  const char* ClassName() const noexcept override { return "EFOpenError"; }
};

// A stream took fewer bytes than a write-all asked for: "Stream write error".
class EWriteError : public Exception {
 public:
  EWriteError() : Exception("Stream write error") {}
  const char* ClassName() const noexcept override { return "EWriteError"; }
};

// A stream gave fewer bytes than a read-all asked for: "Stream read error".
class EReadError : public Exception {
 public:
  EReadError() : Exception("Stream read error") {}
  const char* ClassName() const noexcept override { return "EReadError"; }
};

}  // namespace tessaly::platform

#endif  // TESSALY_PLATFORM_EXCEPTION_H_
