#include "app/tzip/tzip_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace tessaly::app {

namespace {

// The multiplier of a size suffix (k, m, g, t), 0 for any other character.
int64_t SuffixMultiplier(char suffix) {
  switch (std::tolower(static_cast<unsigned char>(suffix))) {
    case 'k':
      return int64_t{1} << 10;
    case 'm':
      return int64_t{1} << 20;
    case 'g':
      return int64_t{1} << 30;
    case 't':
      return int64_t{1} << 40;
    default:
      return 0;
  }
}

}  // namespace

std::optional<int64_t> ParseVolumeSize(const std::string& text,
                                       std::string& error) {
  const char* begin = text.data();
  const char* end = begin + text.size();
  int64_t multiplier = 1;
  if (!text.empty() && std::isdigit(static_cast<unsigned char>(text.back())) == 0) {
    multiplier = SuffixMultiplier(text.back());
    --end;
  }
  int64_t number = 0;
  const auto [stop, status] = std::from_chars(begin, end, number);
  if (multiplier == 0 || begin == end || status != std::errc() ||
      stop != end || number <= 0 ||
      number > std::numeric_limits<int64_t>::max() / multiplier) {
    error = "bad volume size: " + text +
            " (a number of bytes, or one ending in k, m, g or t, as 2m)";
    return std::nullopt;
  }
  const int64_t size = number * multiplier;
  if (size < kMinVolumeSize) {
    error = "volume size " + text +
            " is below the smallest volume, 64k (65536 bytes); a size "
            "without k, m, g or t counts bytes";
    return std::nullopt;
  }
  return size;
}

const char* TzipUsage() {
  return "usage: tzip [options] ARCHIVE MASK...     create ARCHIVE afresh\n"
         "       tzip -u [options] ARCHIVE MASK...  add to or update ARCHIVE\n"
         "       tzip -l ARCHIVE                    list ARCHIVE's entries\n"
         "       tzip -t ARCHIVE [-P PASSWORD]      test every entry\n"
         "       tzip -x ARCHIVE [-d DIR] [-o] [-P PASSWORD] [MASK...]\n"
         "                                          extract (all, or MASKs)\n"
         "       tzip --join ARCHIVE OUTPUT.zip [-o] join volumes into one "
         "file\n"
         "options:\n"
         "  -0 ... -9          compression mode (0 stores)\n"
         "  -b DIR             base folder for masks and stored paths\n"
         "  -R                 do not search sub-folders\n"
         "  -p MODE            stored paths: none, relative, full, drive\n"
         "  -x MASK            leave out files matching MASK (repeatable;\n"
         "                     as the first argument -x extracts)\n"
         "  -n MASK            store files matching MASK uncompressed "
         "(repeatable)\n"
         "  -s SIZE            split into volumes of SIZE: bytes, or with k, m,\n"
         "                     g or t (2m is 2097152 bytes); at least 64k;\n"
         "                     only when the archive is made afresh\n"
         "  --classic-naming   name volumes .z01, .z02, ... (else _001 ...)\n"
         "  -e                 encrypt entries (traditional ZIP encryption);\n"
         "                     the password is TZIP_PASSWORD when set, else\n"
         "                     it is asked twice on the terminal\n"
         "  -P PASSWORD        encrypt with PASSWORD (visible to other users\n"
         "                     of this machine: prefer -e)\n"
         "  --zip64 MODE       disabled, auto (the default) or always\n"
         "  --ansi-names       store names as they are, not in code page 437\n"
         "  --threads N        compress on N threads, 1 to 64 (0, the default:\n"
         "                     one per core); the archive is the same\n"
         "  -q                 no progress line\n"
         "  -v                 list each file packed with its sizes\n"
         "  -d DIR             -x: extract into DIR (default: the current\n"
         "                     folder; made when missing)\n"
         "  -o                 -x, --join: replace existing files\n"
         "  --help, --version\n"
         "Progress (the file being packed and the overall percentage) is\n"
         "shown on stderr when it is a terminal. stdout lists the files\n"
         "written: the numbered volumes, then the archive.\n"
         "exit status:\n"
         "  0   all requested work was done\n"
         "  1   an error stopped the work (message on stderr); the archive\n"
         "      keeps what it had before (rolled back)\n"
         "  2   usage error (bad command line)\n"
         "  3   rolled back: cancelled, aborted, a volume declined, or the\n"
         "      update refused; the archive is unchanged (stderr says what\n"
         "      happened)\n"
         "  4   done, but some selected files were left out (a failure\n"
         "      answered Ignore, or a second file mapping to a name already\n"
         "      selected)\n"
         "  12  nothing to do: no file matched (no archive is created)\n"
         "-t: 0 when every entry is good, else 1. -x: 0 when every entry\n"
         "was extracted, 1 when any failed (damaged, unsafe name, write\n"
         "error), else 4 when existing files were kept (no -o), 12 when no\n"
         "entry matched. --join: 0 when OUTPUT was written, else 1.\n";
}

OtherArgument TakeOtherArgument(const std::vector<std::string>& args, size_t i,
                                std::vector<std::string>& positional) {
  const std::string& arg = args[i];
  if (arg == "--") {
    positional.insert(positional.end(), args.begin() + i + 1, args.end());
    return OtherArgument::kEnd;
  }
  if (arg.size() > 1 && arg[0] == '-') return OtherArgument::kUnknown;
  positional.push_back(arg);
  return OtherArgument::kPositional;
}

std::optional<TzipOptions> ParseTzipArguments(const std::vector<std::string>& args,
                                              std::string& error) {
  if (!args.empty() && IsReadingMode(args[0])) {
    return ParseReadingArguments(args, error);
  }
  TzipOptions options;
  std::vector<std::string> positional;
  auto next = [&](size_t& i, const std::string& option) -> const std::string* {
    if (i + 1 >= args.size()) {
      error = "option " + option + " needs a value";
      return nullptr;
    }
    return &args[++i];
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg.size() == 2 && arg[0] == '-' && arg[1] >= '0' && arg[1] <= '9') {
      options.compression_mode = static_cast<uint8_t>(arg[1] - '0');
    } else if (arg == "-b") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
      options.base_dir = *v;
    } else if (arg == "-R") {
      options.recurse = false;
    } else if (arg == "-p") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
      if (*v == "none") {
        options.store_path = engine::spNoPath;
      } else if (*v == "relative") {
        options.store_path = engine::spRelativePath;
      } else if (*v == "full") {
        options.store_path = engine::spFullPath;
      } else if (*v == "drive") {
        options.store_path = engine::spFullPathWithDrive;
      } else {
        error = "unknown path mode: " + *v;
        return std::nullopt;
      }
    } else if (arg == "-x" || arg == "-n") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
      (arg == "-x" ? options.exclusions : options.no_compression).push_back(*v);
    } else if (arg == "-s") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
      const std::optional<int64_t> size = ParseVolumeSize(*v, error);
      if (!size) return std::nullopt;
      options.split_size = *size;
    } else if (arg == "--classic-naming") {
      options.classic_naming = true;
    } else if (arg == "-e") {
      options.encrypt = true;
    } else if (arg == "-P") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
      if (v->empty()) {
        error = "the password given with -P is empty";
        return std::nullopt;
      }
      options.encrypt = true;
      options.password = *v;
    } else if (arg == "--zip64") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
      if (*v == "disabled") {
        options.zip64 = engine::zmDisabled;
      } else if (*v == "auto") {
        options.zip64 = engine::zmAuto;
      } else if (*v == "always") {
        options.zip64 = engine::zmAlways;
      } else {
        error = "unknown Zip64 mode: " + *v;
        return std::nullopt;
      }
    } else if (arg == "--ansi-names") {
      options.ansi_names = true;
    } else if (arg == "--threads") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
      const bool digits = !v->empty() && v->size() <= 2 &&
                          std::all_of(v->begin(), v->end(), [](char c) {
                            return c >= '0' && c <= '9';
                          });
      const int32_t n = digits ? std::stoi(*v) : -1;
      if (n < 0 || n > kMaxThreads) {
        error = "--threads takes 0 (one per core) to 64, not " + *v;
        return std::nullopt;
      }
      options.threads = n;
    } else if (arg == "-q") {
      options.verbosity = TzipVerbosity::kQuiet;
    } else if (arg == "-v") {
      options.verbosity = TzipVerbosity::kVerbose;
    } else if (arg == "-l") {
      options.command = TzipCommand::kList;
    } else if (arg == "-u") {
      options.command = TzipCommand::kUpdate;
    } else if (arg == "--help" || arg == "-h") {
      options.command = TzipCommand::kHelp;
      return options;
    } else if (arg == "--version") {
      options.command = TzipCommand::kVersion;
      return options;
    } else {
      const OtherArgument other = TakeOtherArgument(args, i, positional);
      if (other == OtherArgument::kEnd) break;
      if (other == OtherArgument::kUnknown) {
        error = "unknown option: " + arg;
        return std::nullopt;
      }
    }
  }
  if (positional.empty()) {
    error = "no archive given";
    return std::nullopt;
  }
  options.archive = positional[0];
  options.masks.assign(positional.begin() + 1, positional.end());
  if (options.command != TzipCommand::kList && options.masks.empty()) {
    error = "no file mask given";
    return std::nullopt;
  }
  if (options.command == TzipCommand::kList && !options.masks.empty()) {
    error = "-l takes only the archive";
    return std::nullopt;
  }
  if (options.command == TzipCommand::kUpdate && options.split_size > 0) {
    // An update writes new entries into the archive's last volume, which
    // grows: volumes are cut only when an archive is made.
    error =
        "-s applies only when an archive is made afresh; -u keeps the "
        "volumes the archive has";
    return std::nullopt;
  }
  if (options.classic_naming && options.split_size == 0) {
    error = "--classic-naming names the volumes of -s; give -s SIZE";
    return std::nullopt;
  }
  return options;
}

}  // namespace tessaly::app
