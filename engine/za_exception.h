// EZAException: every failure the archive engine detects by itself. It is
// built from an engine code (0..63); a fixed code table maps the code to one
// of 39 message texts, which may be filled with arguments, prefixed with the
// raising archiver's name and always end with the code as a five-digit
// "native error":
//
//   Zipper: Archive is not open - Native error: 00013
//
// Other units raise by code number; this unit owns the codes and texts.
#ifndef TESSALY_ENGINE_ZA_EXCEPTION_H_
#define TESSALY_ENGINE_ZA_EXCEPTION_H_

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "engine/component.h"
#include "engine/messages.h"
#include "platform/exception.h"

namespace tessaly::engine {

// Number of engine codes (0..63) and of message texts (0..38); the message
// table has two more, empty, slots (39, 40) that no code selects.
inline constexpr int32_t kEngineCodeCount = 64;
inline constexpr int32_t kEngineMessageCount = 39;
inline constexpr int32_t kEngineMessageSlots = 41;

// Raised (and offered to the failure dialogue) when a later file of one
// selection would be stored under the name of a file selected before it:
// the first source, the second source, the stored name.
inline constexpr int32_t kSameNameError = 63;

// The message number of an engine code, or 0 ("Unknown error") for a code
// that is not in the code table.
int32_t EngineMessageNumber(int32_t code);

// The text of message `number` with its placeholders unfilled; empty for the
// unused slots and for numbers outside 0..40.
std::string_view EngineMessageText(int32_t number);

// Composes the message of an engine exception:
//   [name ": "] text " - Native error: " NNNNN
// where text is the code's message, formatted with `args` by FormatMessage
// when `format` is true (left raw otherwise), name is `archiver_name` when
// not empty, and NNNNN is the code printed as "%5d" with every blank turned
// into "0" (13 -> "00013", -1 -> "000-1", 123456 -> "123456").
std::string ComposeEngineMessage(int32_t code, std::span<const FormatArg> args,
                                 bool format, std::string_view archiver_name);

class EZAException : public platform::Exception {
 public:
  // Plain form: the code's text is used as it stands. `archiver` (not
  // owned, may be null) only lends its name to the message.
  explicit EZAException(int32_t code, const Component* archiver = nullptr);

  // Formatting form: the code's text is filled with `args` ("%s" text, "%d"
  // integer) in order; surplus arguments are ignored, and a placeholder
  // without an argument stays in the text as written.
  EZAException(int32_t code, std::initializer_list<FormatArg> args,
               const Component* archiver = nullptr);

  // The message number (0..38) the code selected; 0 for unknown codes.
  int32_t ErrorCode() const noexcept { return error_code_; }
  // The code that was raised.
  int32_t NativeError() const noexcept { return native_error_; }

  const char* ClassName() const noexcept override { return "EZAException"; }

 private:
  int32_t error_code_;
  int32_t native_error_;
};

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_ZA_EXCEPTION_H_
