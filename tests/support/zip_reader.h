// A ZIP reader of the tests' own, independent of the engine: it finds the
// end records, walks the central directory and reads, inflates and
// CRC-checks every entry, as Python's zipfile.testzip() does. Tests compare
// what it reports with what they wrote; on POSIX they also run the peer
// tools, which Windows lacks (tests/support/run_command.h).
#ifndef TESSALY_TESTS_SUPPORT_ZIP_READER_H_
#define TESSALY_TESTS_SUPPORT_ZIP_READER_H_

#include <cstdint>
#include <string>
#include <vector>

namespace tessaly::test {

struct ZipEntryInfo {
  std::string name;  // UTF-8: CP437 decoded unless flag bit 11 is set
  int method = 0;
  uint32_t crc = 0;
  uint64_t size = 0;
  uint64_t compressed_size = 0;
  uint64_t offset = 0;  // of the local header, in the volumes joined
};

struct ZipReadResult {
  std::string error;  // "" when the archive and every entry read soundly
  std::vector<ZipEntryInfo> entries;  // in directory order
  std::string comment;

  bool ok() const { return error.empty(); }

  // One line per entry, as Python prints its ZipInfo fields:
  // "name method CRC(%08X) size compressed_size offset\n".
  std::string Listing() const;

  // The entries' names, in directory order.
  std::vector<std::string> Names() const;
};

// Reads the archive `path`. Data before the archive (a stub) is allowed:
// offsets are then corrected as zipfile corrects them.
ZipReadResult ReadZip(const std::string& path);

// Reads a split archive from its volumes, first to last; the offsets of
// the result are those of the volumes joined into one file.
ZipReadResult ReadZipVolumes(const std::vector<std::string>& volumes);

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_ZIP_READER_H_
