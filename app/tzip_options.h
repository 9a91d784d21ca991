// Command-line options of tzip, the engine's front end for scripts,
// benchmarks and checks. Each option maps onto an archiver property.
#ifndef TESSALY_APP_TZIP_OPTIONS_H_
#define TESSALY_APP_TZIP_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/types.h"

namespace tessaly::app {

enum class TzipCommand { kCreate, kUpdate, kList, kHelp, kVersion };

struct TzipOptions {
  TzipCommand command = TzipCommand::kCreate;
  std::string archive;
  std::vector<std::string> masks;                  // FileMasks, in order
  std::optional<uint8_t> compression_mode;         // -0 .. -9
  std::string base_dir;                            // -b
  bool recurse = true;                             // -R clears
  std::optional<engine::TZAStorePathMode> store_path;  // -p
  std::vector<std::string> exclusions;             // -x, repeatable
  std::vector<std::string> no_compression;         // -n, repeatable
  int64_t split_size = 0;                          // -s BYTES; 0: not split
  bool classic_naming = false;                     // --classic-naming
  std::string password;                            // -e
  std::optional<engine::TZip64Mode> zip64;         // --zip64
  bool ansi_names = false;                         // --ansi-names
};

// Parses argv[1..]. Returns the options, or std::nullopt with a message in
// `error` (for the usage text).
std::optional<TzipOptions> ParseTzipArguments(const std::vector<std::string>& args,
                                              std::string& error);

// The usage text printed by --help and after a usage error.
const char* TzipUsage();

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_OPTIONS_H_
