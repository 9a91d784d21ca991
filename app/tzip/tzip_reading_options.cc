// The command lines of the modes that read an archive back:
//   tzip -t ARCHIVE [-P PASSWORD] [-q]
//   tzip -x ARCHIVE [-d DIR] [-o] [-P PASSWORD] [-q] [MASK...]
//   tzip --join ARCHIVE OUTPUT [-o] [-q]
// The mode comes first; the options may stand anywhere after it.
#include "app/tzip/tzip_options.h"

namespace tessaly::app {

bool IsReadingMode(const std::string& first) {
  return first == "-t" || first == "-x" || first == "--join";
}

std::optional<TzipOptions> ParseReadingArguments(
    const std::vector<std::string>& args, std::string& error) {
  TzipOptions options;
  const std::string& mode = args[0];
  options.command = mode == "-t"   ? TzipCommand::kTest
                    : mode == "-x" ? TzipCommand::kExtract
                                   : TzipCommand::kJoin;
  std::vector<std::string> positional;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    const bool takes_value = arg == "-d" || arg == "-P";
    if (takes_value && i + 1 >= args.size()) {
      error = "option " + arg + " needs a value";
      return std::nullopt;
    }
    if (arg == "-d" && options.command == TzipCommand::kExtract) {
      options.extract_dir = args[++i];
    } else if (arg == "-P" && options.command != TzipCommand::kJoin) {
      options.password = args[++i];
      if (options.password->empty()) {
        error = "the password given with -P is empty";
        return std::nullopt;
      }
    } else if (arg == "-o" && options.command != TzipCommand::kTest) {
      options.overwrite = true;
    } else if (arg == "-q") {
      options.verbosity = TzipVerbosity::kQuiet;
    } else {
      const OtherArgument other = TakeOtherArgument(args, i, positional);
      if (other == OtherArgument::kEnd) break;
      if (other == OtherArgument::kUnknown) {
        error = "option " + arg + " does not go with " + mode;
        return std::nullopt;
      }
    }
  }
  if (positional.empty()) {
    error = "no archive given";
    return std::nullopt;
  }
  options.archive = positional[0];
  if (options.command == TzipCommand::kJoin) {
    if (positional.size() != 2) {
      error = "--join takes the archive and the file to write";
      return std::nullopt;
    }
    options.join_output = positional[1];
  } else if (options.command == TzipCommand::kTest) {
    if (positional.size() != 1) {
      error = "-t takes only the archive";
      return std::nullopt;
    }
  } else {
    options.masks.assign(positional.begin() + 1, positional.end());
  }
  return options;
}

}  // namespace tessaly::app
