// tzip: the archive engine on the command line.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "app/tzip.h"
#include "app/tzip_options.h"
#include "engine/console_dialog_service.h"

int main(int argc, char** argv) {
  using namespace tessaly;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  std::optional<app::TzipOptions> options = app::ParseTzipArguments(args, error);
  if (!options) {
    std::cerr << "tzip: " << error << "\n" << app::TzipUsage();
    return app::kTzipUsage;
  }
  if (options->command == app::TzipCommand::kHelp) {
    std::cout << app::TzipUsage();
    return 0;
  }
  if (options->command == app::TzipCommand::kVersion) {
    std::cout << "tzip 1.0.0\n";
    return 0;
  }
  // Boxes go to stderr so that stdout carries only the list of files.
  engine::ConsoleDialogService dialogs(std::cin, std::cerr);
  return app::RunTzip(*options, std::cout, std::cerr,
                      platform::Env::Default(), dialogs, isatty(2) != 0);
}
