// The compression floor for the peer comparison: reads the same files in
// the same blocks and makes exactly the zlib calls the engine makes for
// each entry (deflateInit_ at the entry's level, one deflate call per block
// with sync flush, finish on the last, deflateEnd), plus the CRC-32, and
// writes nothing. What tzip needs beyond this is the engine's own cost.
//
//   deflate_floor LEVEL FILE...
// Prints the files, the source bytes and the raw deflate bytes (without the
// 2-byte zlib header and 4-byte trailer the engine drops).
#include <fcntl.h>
#include <unistd.h>
#include <zlib.h>

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

int64_t BlockSize(int level) {
  if (level >= 1 && level <= 3) return 524288;
  if (level >= 7) return 1572864;
  return 1048576;
}

int64_t FileSize(int fd) {
  const off_t end = ::lseek(fd, 0, SEEK_END);
  ::lseek(fd, 0, SEEK_SET);
  return end;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: deflate_floor LEVEL FILE...\n");
    return 2;
  }
  const int level = std::atoi(argv[1]);
  int64_t source_total = 0;
  int64_t compressed_total = 0;
  int files = 0;
  std::vector<unsigned char> in;
  std::vector<unsigned char> out;
  for (int i = 2; i < argc; ++i) {
    const int fd = ::open(argv[i], O_RDONLY);
    if (fd < 0) continue;
    ++files;
    const int64_t size = FileSize(fd);
    source_total += size;
    if (size == 0) {
      ::close(fd);
      continue;
    }
    const int64_t block = BlockSize(level);
    in.resize(static_cast<size_t>(size < block ? size : block));
    z_stream stream{};
    deflateInit(&stream, level);
    uLong crc = crc32(0L, Z_NULL, 0);
    int64_t done = 0;
    while (done < size) {
      const int64_t n = size - done < block ? size - done : block;
      if (::read(fd, in.data(), static_cast<size_t>(n)) != n) break;
      crc = crc32(crc, in.data(), static_cast<uInt>(n));
      const size_t capacity = ((n + n / 10 + 12) + 255) / 256 * 256;
      out.resize(capacity);
      stream.next_in = in.data();
      stream.avail_in = static_cast<uInt>(n);
      stream.next_out = out.data();
      stream.avail_out = static_cast<uInt>(capacity);
      done += n;
      deflate(&stream, done == size ? Z_FINISH : Z_SYNC_FLUSH);
      compressed_total += static_cast<int64_t>(capacity - stream.avail_out);
    }
    deflateEnd(&stream);
    compressed_total -= 6;  // zlib header and Adler-32 trailer
    ::close(fd);
    if (crc == 0x12345678) std::puts("");  // keep the CRC computation alive
  }
  std::printf("files %d source %" PRId64 " compressed %" PRId64 "\n", files,
              source_total, compressed_total);
  return 0;
}
