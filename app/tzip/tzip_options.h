// Command-line options of tzip, the engine's front end for scripts,
// benchmarks and checks. Each option maps onto an archiver property or onto
// how tzip talks to its user (password prompt, progress, listing).
#ifndef TESSALY_APP_TZIP_TZIP_OPTIONS_H_
#define TESSALY_APP_TZIP_TZIP_OPTIONS_H_

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/base/types.h"

namespace tessaly::app {

enum class TzipCommand {
  kCreate,
  kUpdate,
  kList,
  kTest,     // -t: read every entry back and check it
  kExtract,  // -x as the first argument: extract entries
  kJoin,     // --join: copy a multi-volume archive into one file
  kHelp,
  kVersion,
};

// What tzip reports while it works.
enum class TzipVerbosity {
  kQuiet,    // -q: no progress line
  kNormal,   // a progress line when stderr is a terminal
  kVerbose,  // -v: also one line per file with its sizes and ratio
};

// The smallest volume a split archive may have.
inline constexpr int64_t kMinVolumeSize = 65536;

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
  int64_t split_size = 0;                          // -s SIZE; 0: not split
  bool classic_naming = false;                     // --classic-naming
  bool encrypt = false;                            // -e (or -P)
  std::optional<std::string> password;             // -P PASSWORD
  engine::TZip64Mode zip64 = engine::zmAuto;       // --zip64
  bool ansi_names = false;                         // --ansi-names
  std::optional<int32_t> threads;                  // --threads N
  TzipVerbosity verbosity = TzipVerbosity::kNormal;  // -q, -v
  std::string extract_dir;                         // -x: -d DIR
  bool overwrite = false;                          // -x, --join: -o
  std::string join_output;                         // --join: OUTPUT
};

// Parses argv[1..]. Returns the options, or std::nullopt with a message in
// `error` (for the usage text).
std::optional<TzipOptions> ParseTzipArguments(const std::vector<std::string>& args,
                                              std::string& error);

// An argument that no option of the command line took: "--" ends the
// options (kEnd; the arguments after it go to `positional`), another one
// beginning with "-" is unknown (kUnknown), anything else goes to
// `positional` (kPositional).
enum class OtherArgument { kPositional, kEnd, kUnknown };
OtherArgument TakeOtherArgument(const std::vector<std::string>& args, size_t i,
                                std::vector<std::string>& positional);

// Whether `first` (argv[1]) selects a mode that reads an archive back:
// -t, -x or --join. (-x elsewhere on the line leaves files out.)
bool IsReadingMode(const std::string& first);

// Parses the arguments of -t, -x and --join (args[0] is the mode).
std::optional<TzipOptions> ParseReadingArguments(
    const std::vector<std::string>& args, std::string& error);

// A volume size as Info-ZIP's zip -s writes it: a whole number of bytes,
// or one followed by k, m, g or t (kibibytes ... tebibytes; either case):
// "65536", "640k", "2m", "1g". Returns std::nullopt with a message in
// `error` for other text and for sizes below kMinVolumeSize.
std::optional<int64_t> ParseVolumeSize(const std::string& text,
                                       std::string& error);

// The most compression threads --threads takes.
inline constexpr int32_t kMaxThreads = 64;

// The usage text printed by --help and after a usage error, ending with the
// exit statuses.
const char* TzipUsage();

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_TZIP_OPTIONS_H_
