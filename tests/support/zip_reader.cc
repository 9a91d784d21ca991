#include "tests/support/zip_reader.h"

#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace tessaly::test {
namespace {

// CP437 0x80-0xFF as Unicode code points.
constexpr char16_t kCp437High[128] = {
    0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA,
    0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6,
    0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC,
    0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA,
    0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD, 0x00BC,
    0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561,
    0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B,
    0x2510, 0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567, 0x2568,
    0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518,
    0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
    0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4,
    0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320,
    0x2321, 0x00F7, 0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2,
    0x25A0, 0x00A0};

std::string Cp437ToUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    const char32_t u = c < 0x80 ? c : kCp437High[c - 0x80];
    if (u < 0x80) {
      out += static_cast<char>(u);
    } else if (u < 0x800) {
      out += static_cast<char>(0xC0 | (u >> 6));
      out += static_cast<char>(0x80 | (u & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (u >> 12));
      out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (u & 0x3F));
    }
  }
  return out;
}

std::string ReadWhole(const std::string& path, bool* ok) {
  std::ifstream in(path, std::ios::binary);
  *ok = static_cast<bool>(in);
  std::ostringstream content;
  if (*ok) content << in.rdbuf();
  return content.str();
}

// Little-endian fields of the joined bytes; reads past the end give 0 and
// set `bad`.
struct Bytes {
  const std::string& data;
  bool bad = false;

  uint64_t Get(uint64_t at, int width) {
    if (at + width > data.size()) {
      bad = true;
      return 0;
    }
    uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) {
      value = value << 8 | static_cast<uint8_t>(data[at + i]);
    }
    return value;
  }
  std::string Sub(uint64_t at, uint64_t n) {
    if (at + n > data.size()) {
      bad = true;
      return std::string();
    }
    return data.substr(at, n);
  }
};

std::string Inflate(const std::string& in, uint64_t size, bool* ok) {
  std::string out(size, '\0');
  z_stream z{};
  *ok = inflateInit2(&z, -MAX_WBITS) == Z_OK;
  if (!*ok) return std::string();
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  const int status = inflate(&z, Z_FINISH);
  *ok = status == Z_STREAM_END && z.total_out == size;
  inflateEnd(&z);
  return out;
}

std::string Decimal(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llu",
                static_cast<unsigned long long>(value));
  return text;
}

ZipReadResult Read(const std::string& data, const std::vector<uint64_t>& starts,
                   bool single) {
  ZipReadResult result;
  Bytes b{data};
  // The end record: the last signature whose comment reaches the end.
  int64_t end = -1;
  for (int64_t at = static_cast<int64_t>(data.size()) - 22;
       at >= 0 && at >= static_cast<int64_t>(data.size()) - 22 - 65535;
       --at) {
    if (b.Get(at, 4) == 0x06054B50 &&
        at + 22 + b.Get(at + 20, 2) == data.size()) {
      end = at;
      break;
    }
  }
  if (end < 0) {
    result.error = "no end record";
    return result;
  }
  result.comment = b.Sub(end + 22, b.Get(end + 20, 2));
  uint64_t cd_disk = b.Get(end + 6, 2);
  uint64_t count = b.Get(end + 10, 2);
  uint64_t cd_size = b.Get(end + 12, 4);
  uint64_t cd_offset = b.Get(end + 16, 4);
  uint64_t directory_end = end;  // where the directory really ends
  if (end >= 20 && b.Get(end - 20, 4) == 0x07064B50) {
    const uint64_t disk = b.Get(end - 20 + 4, 4);
    if (disk >= starts.size()) {
      result.error = "zip64 end record on a missing volume";
      return result;
    }
    const uint64_t end64 = single ? end - 20 - 56
                                  : starts[disk] + b.Get(end - 20 + 8, 8);
    if (b.Get(end64, 4) != 0x06064B50) {
      result.error = "zip64 end record expected at " + Decimal(end64);
      return result;
    }
    cd_disk = b.Get(end64 + 20, 4);
    count = b.Get(end64 + 32, 8);
    cd_size = b.Get(end64 + 40, 8);
    cd_offset = b.Get(end64 + 48, 8);
    directory_end = end64;
  }
  if (cd_disk >= starts.size()) {
    result.error = "directory on a missing volume";
    return result;
  }
  // Bytes before the archive shift every offset (zipfile's "concat").
  const uint64_t concat = single ? directory_end - cd_size - cd_offset : 0;
  uint64_t at = starts[cd_disk] + cd_offset + concat;
  for (uint64_t i = 0; i < count; ++i) {
    if (b.Get(at, 4) != 0x02014B50) {
      result.error = "central header expected at " + Decimal(at);
      return result;
    }
    ZipEntryInfo entry;
    const uint64_t flags = b.Get(at + 8, 2);
    entry.method = static_cast<int>(b.Get(at + 10, 2));
    entry.crc = static_cast<uint32_t>(b.Get(at + 16, 4));
    entry.compressed_size = b.Get(at + 20, 4);
    entry.size = b.Get(at + 24, 4);
    const uint64_t name_length = b.Get(at + 28, 2);
    const uint64_t extra_length = b.Get(at + 30, 2);
    const uint64_t comment_length = b.Get(at + 32, 2);
    uint64_t disk = b.Get(at + 34, 2);
    entry.offset = b.Get(at + 42, 4);
    const std::string name = b.Sub(at + 46, name_length);
    entry.name = flags & 0x800 ? name : Cp437ToUtf8(name);
    // Zip64 extended information: the fields that overflowed, in order.
    for (uint64_t x = at + 46 + name_length;
         x + 4 <= at + 46 + name_length + extra_length;) {
      const uint64_t id = b.Get(x, 2);
      const uint64_t length = b.Get(x + 2, 2);
      if (id == 1) {
        uint64_t field = x + 4;
        for (uint64_t* value :
             {&entry.size, &entry.compressed_size, &entry.offset}) {
          if (*value == 0xFFFFFFFF && field + 8 <= x + 4 + length) {
            *value = b.Get(field, 8);
            field += 8;
          }
        }
        if (disk == 0xFFFF && field + 4 <= x + 4 + length) {
          disk = b.Get(field, 4);
        }
      }
      x += 4 + length;
    }
    at += 46 + name_length + extra_length + comment_length;
    if (disk >= starts.size()) {
      result.error = entry.name + ": on a missing volume";
      return result;
    }
    entry.offset += starts[disk] + concat;
    // The entry itself: local header, data, CRC.
    const uint64_t local = entry.offset;
    if (b.Get(local, 4) != 0x04034B50) {
      result.error = entry.name + ": local header expected at " + Decimal(local);
      return result;
    }
    const uint64_t data_at =
        local + 30 + b.Get(local + 26, 2) + b.Get(local + 28, 2);
    const std::string stored = b.Sub(data_at, entry.compressed_size);
    bool ok = !b.bad;
    std::string content;
    if (entry.method == 0) {
      content = stored;
      ok = ok && entry.size == entry.compressed_size;
    } else if (entry.method == 8) {
      content = Inflate(stored, entry.size, &ok);
    } else {
      ok = false;
    }
    if (!ok) {
      result.error = entry.name + ": data cannot be read";
      return result;
    }
    const uint32_t crc = static_cast<uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(content.data()),
              static_cast<uInt>(content.size())));
    if (crc != entry.crc) {
      result.error = entry.name + ": CRC mismatch";
      return result;
    }
    result.entries.push_back(entry);
  }
  if (b.bad) result.error = "the directory runs past the end";
  return result;
}

}  // namespace

std::string ZipReadResult::Listing() const {
  std::string out;
  for (const ZipEntryInfo& e : entries) {
    char crc[16];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(e.crc));
    out += e.name + " " + std::to_string(e.method) + " " + crc + " " +
           Decimal(e.size) + " " + Decimal(e.compressed_size) + " " + Decimal(e.offset) +
           "\n";
  }
  return out;
}

std::vector<std::string> ZipReadResult::Names() const {
  std::vector<std::string> names;
  for (const ZipEntryInfo& e : entries) names.push_back(e.name);
  return names;
}

ZipReadResult ReadZip(const std::string& path) {
  bool ok = false;
  const std::string data = ReadWhole(path, &ok);
  if (!ok) {
    ZipReadResult result;
    result.error = "cannot read " + path;
    return result;
  }
  return Read(data, {0}, /*single=*/true);
}

ZipReadResult ReadZipVolumes(const std::vector<std::string>& volumes) {
  std::string data;
  std::vector<uint64_t> starts;
  for (const std::string& volume : volumes) {
    bool ok = false;
    starts.push_back(data.size());
    data += ReadWhole(volume, &ok);
    if (!ok) {
      ZipReadResult result;
      result.error = "cannot read " + volume;
      return result;
    }
  }
  if (volumes.size() == 1) return Read(data, starts, /*single=*/true);
  return Read(data, starts, /*single=*/false);
}

}  // namespace tessaly::test
