// The engine's fixed prompt texts and the one printf-like formatter that
// fills every message of the engine (prompts, exception texts).
#ifndef TESSALY_ENGINE_BASE_MESSAGES_H_
#define TESSALY_ENGINE_BASE_MESSAGES_H_

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>

namespace tessaly::engine {

// Prompts of the archiver's default dialogs (shown when an interactive event
// has no handler).
inline constexpr std::string_view kOverwritePrompt =
    "Overwrite file \"%s\" with \"%s\"";  // destination, then source
inline constexpr std::string_view kPasswordCaption =
    "Password for \"%s\"";  // file name
inline constexpr std::string_view kPasswordPrompt = "Enter password: ";
inline constexpr std::string_view kFileFailurePrompt =
    "%s. File processing error, possibly disk is full";  // failure message
inline constexpr std::string_view kInsertBlankDisk =
    "Please insert a blank disk #%d";  // volume number counted from 1
inline constexpr std::string_view kInsertFirstDisk =
    "Please insert the first disk";
inline constexpr std::string_view kInsertLastDisk =
    "Please insert the last disk";
inline constexpr std::string_view kLastDiskNotFound =
    "File '%s' not found on inserted disk. Please insert last disk with "
    "required file";
inline constexpr std::string_view kInsertDisk =
    "Please insert disk #%d";  // volume number counted from 1
inline constexpr std::string_view kDiskFull =
    "Disk is full. Required free space: %d bytes, but available only: %d "
    "bytes. Clean the disk or find another blank disk";

// Texts of exceptions raised with the base exception class.
inline constexpr std::string_view kSpanningModeOnOpen =
    "Cannot set spanning mode on open archive";
inline constexpr std::string_view kInvalidMask =
    "'%s' is an invalid mask at (%d)";  // mask, position
inline constexpr std::string_view kCompressionErrorText = "error";

// Integer types that FormatArg takes as numbers: every integer type except
// bool and the character types (int8_t/uint8_t are numbers).
template <typename T>
concept FormatInteger =
    std::integral<T> && !std::same_as<T, bool> && !std::same_as<T, char> &&
    !std::same_as<T, wchar_t> && !std::same_as<T, char8_t> &&
    !std::same_as<T, char16_t> && !std::same_as<T, char32_t>;

// One argument of FormatMessage: a text or a 64-bit integer. Converts
// implicitly from strings and from FormatInteger types; unsigned values above
// INT64_MAX keep their bit pattern and print correctly through %u.
class FormatArg {
 public:
  FormatArg(std::string text) : value_(std::move(text)) {}
  FormatArg(std::string_view text) : value_(std::string(text)) {}
  FormatArg(const char* text) : value_(std::string(text ? text : "")) {}
  template <FormatInteger T>
  FormatArg(T number) : value_(static_cast<int64_t>(number)) {}

  bool IsText() const { return std::holds_alternative<std::string>(value_); }
  // The text; for a number, its decimal form.
  std::string Text() const;
  // The number; for a text, 0.
  int64_t Number() const;

 private:
  std::variant<std::string, int64_t> value_;
};

// Formats `format` with `args` in the manner of printf, as the class
// library's Format does. A directive is
//   % [-] [width] [.precision] conversion
// with the conversions
//   s  text (precision: at most that many bytes)
//   d  signed decimal (precision: at least that many digits; "%.3d" of 7 is
//      "007", of -5 "-005")
//   u  the 64-bit value as unsigned decimal
//   x  upper-case hexadecimal of the 64-bit value
// and "%%" for a percent sign. Width pads with blanks on the left, or on the
// right with "-" ("%5d" of 45 is "   45"). Arguments are taken in order; a
// text given for d/u/x prints as the text, a number given for s prints in
// decimal. Surplus arguments are ignored. A directive left without an
// argument, an unknown conversion and a lone "%" at the end are copied to
// the result as written. Never throws other than std::bad_alloc.
std::string FormatMessage(std::string_view format,
                          std::span<const FormatArg> args);
inline std::string FormatMessage(std::string_view format,
                                 std::initializer_list<FormatArg> args) {
  return FormatMessage(format,
                       std::span<const FormatArg>(args.begin(), args.size()));
}

}  // namespace tessaly::engine

#endif  // TESSALY_ENGINE_BASE_MESSAGES_H_
