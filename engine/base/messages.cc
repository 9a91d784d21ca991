#include "engine/base/messages.h"

#include <algorithm>
#include <cstddef>

namespace tessaly::engine {

namespace {

std::string UnsignedDecimal(uint64_t value) {
  char digits[24];
  size_t n = 0;
  do {
    digits[n++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  std::string out;
  out.reserve(n);
  while (n > 0) out.push_back(digits[--n]);
  return out;
}

std::string UpperHex(uint64_t value) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  char digits[16];
  size_t n = 0;
  do {
    digits[n++] = kHex[value & 0xF];
    value >>= 4;
  } while (value != 0);
  std::string out;
  while (n > 0) out.push_back(digits[--n]);
  return out;
}

// Splits a signed value into its sign and magnitude without overflowing on
// INT64_MIN.
uint64_t Magnitude(int64_t value) {
  return value < 0 ? 0 - static_cast<uint64_t>(value)
                   : static_cast<uint64_t>(value);
}

void Pad(std::string& out, std::string_view body, size_t width,
         bool left_justify) {
  size_t fill = body.size() < width ? width - body.size() : 0;
  if (!left_justify) out.append(fill, ' ');
  out.append(body);
  if (left_justify) out.append(fill, ' ');
}

}  // namespace

std::string FormatArg::Text() const {
  if (const auto* text = std::get_if<std::string>(&value_)) return *text;
  int64_t number = std::get<int64_t>(value_);
  std::string text = number < 0 ? "-" : "";
  text += UnsignedDecimal(Magnitude(number));
  return text;
}

int64_t FormatArg::Number() const {
  if (const auto* number = std::get_if<int64_t>(&value_)) return *number;
  return 0;
}

std::string FormatMessage(std::string_view format,
                          std::span<const FormatArg> args) {
  std::string out;
  out.reserve(format.size() + 32);
  size_t next_arg = 0;
  size_t i = 0;
  while (i < format.size()) {
    char c = format[i];
    if (c != '%') {
      out.push_back(c);
      ++i;
      continue;
    }
    size_t start = i++;
    if (i < format.size() && format[i] == '%') {
      out.push_back('%');
      ++i;
      continue;
    }
    bool left_justify = false;
    if (i < format.size() && format[i] == '-') {
      left_justify = true;
      ++i;
    }
    // Widths and precisions are capped so that a hostile format cannot ask
    // for gigabytes of padding.
    constexpr size_t kMaxField = 4096;
    size_t width = 0;
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
      width = std::min(kMaxField, width * 10 + (format[i] - '0'));
      ++i;
    }
    bool has_precision = false;
    size_t precision = 0;
    if (i < format.size() && format[i] == '.') {
      has_precision = true;
      ++i;
      while (i < format.size() && format[i] >= '0' && format[i] <= '9') {
        precision = std::min(kMaxField, precision * 10 + (format[i] - '0'));
        ++i;
      }
    }
    if (i >= format.size()) {  // Unfinished directive at the end.
      out.append(format.substr(start));
      break;
    }
    char conversion = format[i++];
    std::string_view directive = format.substr(start, i - start);
    if (conversion != 's' && conversion != 'd' && conversion != 'u' &&
        conversion != 'x') {
      out.append(directive);
      continue;
    }
    if (next_arg >= args.size()) {
      out.append(directive);
      continue;
    }
    const FormatArg& arg = args[next_arg++];
    std::string body;
    if (conversion == 's' || arg.IsText()) {
      body = arg.Text();
      if (conversion == 's' && has_precision && body.size() > precision) {
        body.resize(precision);
      }
    } else {
      int64_t number = arg.Number();
      bool negative = false;
      std::string digits;
      if (conversion == 'd') {
        negative = number < 0;
        digits = UnsignedDecimal(Magnitude(number));
      } else if (conversion == 'u') {
        digits = UnsignedDecimal(static_cast<uint64_t>(number));
      } else {
        digits = UpperHex(static_cast<uint64_t>(number));
      }
      if (has_precision && digits.size() < precision) {
        digits.insert(0, precision - digits.size(), '0');
      }
      body = negative ? "-" + digits : digits;
    }
    Pad(out, body, width, left_justify);
  }
  return out;
}

}  // namespace tessaly::engine
