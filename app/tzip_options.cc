#include "app/tzip_options.h"

#include <charconv>

namespace tessaly::app {

namespace {

bool ParseSize(const std::string& text, int64_t& value) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, value);
  return ec == std::errc() && ptr == end && value > 0;
}

}  // namespace

const char* TzipUsage() {
  return "usage: tzip [options] ARCHIVE MASK...     create ARCHIVE afresh\n"
         "       tzip -u [options] ARCHIVE MASK...  add to or update ARCHIVE\n"
         "       tzip -l ARCHIVE                    list ARCHIVE's entries\n"
         "options:\n"
         "  -0 ... -9          compression mode (0 stores)\n"
         "  -b DIR             base folder for masks and stored paths\n"
         "  -R                 do not search sub-folders\n"
         "  -p MODE            stored paths: none, relative, full, drive\n"
         "  -x MASK            leave out files matching MASK (repeatable)\n"
         "  -n MASK            store files matching MASK uncompressed "
         "(repeatable)\n"
         "  -s BYTES           split into volumes of BYTES bytes\n"
         "  --classic-naming   name volumes .z01, .z02, ... (else _001 ...)\n"
         "  -e PASSWORD        encrypt entries (traditional ZIP encryption)\n"
         "  --zip64 MODE       disabled, auto or always\n"
         "  --ansi-names       store names as they are, not in code page 437\n"
         "  --help, --version\n"
         "exit status:\n"
         "  0  all requested work was done\n"
         "  1  an error stopped the work (message on stderr)\n"
         "  2  bad command line\n"
         "  3  rolled back or refused (cancelled, aborted, a volume not\n"
         "     obtained): the archive is unchanged; stderr says why\n"
         "  4  done, but some selected files were left out (listed on "
         "stderr)\n";
}

std::optional<TzipOptions> ParseTzipArguments(const std::vector<std::string>& args,
                                              std::string& error) {
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
      if (!ParseSize(*v, options.split_size)) {
        error = "bad volume size: " + *v;
        return std::nullopt;
      }
    } else if (arg == "--classic-naming") {
      options.classic_naming = true;
    } else if (arg == "-e") {
      const std::string* v = next(i, arg);
      if (!v) return std::nullopt;
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
    } else if (arg == "--") {
      positional.insert(positional.end(), args.begin() + i + 1, args.end());
      break;
    } else if (arg.size() > 1 && arg[0] == '-') {
      error = "unknown option: " + arg;
      return std::nullopt;
    } else {
      positional.push_back(arg);
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
  return options;
}

}  // namespace tessaly::app
