#include "tests/support/screen_image.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include <zlib.h>

namespace tessaly::test {

namespace {

uint32_t BigEndian32(const std::string& data, size_t at) {
  return (static_cast<uint32_t>(static_cast<uint8_t>(data[at])) << 24) |
         (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 1])) << 16) |
         (static_cast<uint32_t>(static_cast<uint8_t>(data[at + 2])) << 8) |
         static_cast<uint32_t>(static_cast<uint8_t>(data[at + 3]));
}

int Shift(uint32_t mask) {
  int shift = 0;
  while (mask != 0 && (mask & 1) == 0) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

void AppendChunk(std::string& png, const char* type, const std::string& body) {
  auto put32 = [&](uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      png += static_cast<char>((v >> shift) & 0xFF);
    }
  };
  put32(static_cast<uint32_t>(body.size()));
  const std::string typed = std::string(type) + body;
  png += typed;
  put32(static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(typed.data()),
            static_cast<uInt>(typed.size()))));
}

}  // namespace

std::ostream& operator<<(std::ostream& out, const Pixel& pixel) {
  char text[8];
  std::snprintf(text, sizeof(text), "#%02X%02X%02X", pixel.r, pixel.g, pixel.b);
  return out << text;
}

bool ReadXwd(const std::string& path, ScreenImage& image, std::string& error) {
  std::ifstream file(path, std::ios::binary);
  std::stringstream buffer;
  buffer << file.rdbuf();
  const std::string data = buffer.str();
  if (data.size() < 100) {
    error = "short file";
    return false;
  }
  auto field = [&](int index) { return BigEndian32(data, index * 4); };
  const uint32_t header_size = field(0);
  const uint32_t format = field(2);
  const uint32_t width = field(4);
  const uint32_t height = field(5);
  const uint32_t byte_order = field(7);  // 0: LSB first
  const uint32_t bits_per_pixel = field(11);
  const uint32_t bytes_per_line = field(12);
  const uint32_t masks[3] = {field(14), field(15), field(16)};
  const uint32_t colors = field(19);
  const size_t start = header_size + colors * 12;
  if (format != 2 || (bits_per_pixel != 32 && bits_per_pixel != 24)) {
    error = "unsupported XWD format";
    return false;
  }
  if (data.size() < start + static_cast<size_t>(bytes_per_line) * height) {
    error = "truncated pixels";
    return false;
  }
  image.width = static_cast<int>(width);
  image.height = static_cast<int>(height);
  image.pixels.clear();
  const size_t step = bits_per_pixel / 8;
  for (uint32_t y = 0; y < height; ++y) {
    for (uint32_t x = 0; x < width; ++x) {
      const size_t at = start + y * bytes_per_line + x * step;
      uint32_t value = 0;
      for (size_t i = 0; i < step; ++i) {
        const uint32_t byte = static_cast<uint8_t>(data[at + i]);
        value |=
            byte_order == 0 ? byte << (8 * i) : byte << (8 * (step - 1 - i));
      }
      uint8_t channel[3];
      for (int c = 0; c < 3; ++c) {
        channel[c] =
            static_cast<uint8_t>((value & masks[c]) >> Shift(masks[c]));
      }
      image.pixels.push_back(Pixel{channel[0], channel[1], channel[2]});
    }
  }
  return true;
}

void WritePng(const ScreenImage& image, const std::string& path) {
  std::string raw;
  for (int y = 0; y < image.height; ++y) {
    raw += '\0';  // filter: none
    for (int x = 0; x < image.width; ++x) {
      const Pixel p = image.At(x, y);
      raw += static_cast<char>(p.r);
      raw += static_cast<char>(p.g);
      raw += static_cast<char>(p.b);
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(size, '\0');
  compress(reinterpret_cast<Bytef*>(packed.data()), &size,
           reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(size);
  std::string header;
  for (uint32_t v : {static_cast<uint32_t>(image.width),
                     static_cast<uint32_t>(image.height)}) {
    for (int shift = 24; shift >= 0; shift -= 8) {
      header += static_cast<char>((v >> shift) & 0xFF);
    }
  }
  header += std::string("\x08\x02\x00\x00\x00", 5);  // 8 bits, RGB
  std::string png = "\x89PNG\r\n\x1A\n";
  AppendChunk(png, "IHDR", header);
  AppendChunk(png, "IDAT", packed);
  AppendChunk(png, "IEND", "");
  std::ofstream(path, std::ios::binary) << png;
}

}  // namespace tessaly::test
