// tzip: the archive engine on the command line.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/tzip/terminal.h"
#include "app/tzip/tzip.h"
#include "app/tzip/tzip_options.h"
#include "app/tzip/tzip_password.h"
#include "engine/base/console_dialog_service.h"
#include "platform/heap.h"

#ifndef TESSALY_VERSION
#define TESSALY_VERSION "unknown"
#endif

int main(int argc, char** argv) {
  using namespace tessaly;
  std::vector<std::string> args(argv + 1, argv + argc);
  std::string error;
  std::optional<app::TzipOptions> options = app::ParseTzipArguments(args, error);
  if (!options) {
    std::cerr << "tzip: " << error << "\n" << app::TzipUsage();
    return app::kTzipUsage;
  }
  // Compressing on one thread, the heap's own reuse of blocks is cheaper
  // and stays small.
  if (options->threads.value_or(0) != 1) {
    platform::ReturnLargeBlocksToTheSystem();
  }
  if (options->command == app::TzipCommand::kHelp) {
    std::cout << app::TzipUsage();
    return app::kTzipDone;
  }
  if (options->command == app::TzipCommand::kVersion) {
    std::cout << "tzip " TESSALY_VERSION "\n";
    return app::kTzipDone;
  }
  const std::optional<std::string> password = app::ResolveTzipPassword(
      *options, std::getenv("TZIP_PASSWORD"), app::ReadSecretFromTerminal,
      error);
  if (!password) {
    std::cerr << "tzip: " << error << "\n";
    return app::kTzipUsage;
  }
  if (options->encrypt) options->password = *password;
  if (app::IsReadingMode(args[0]) && !options->password) {
    // Encrypted entries are read with TZIP_PASSWORD when -P is not given.
    const char* from_env = std::getenv("TZIP_PASSWORD");
    if (from_env != nullptr && *from_env != '\0') options->password = from_env;
  }
  // Boxes go to stderr so that stdout carries only the list of files.
  engine::ConsoleDialogService dialogs(std::cin, std::cerr);
  const bool terminal = app::StderrIsTerminal();
  return app::RunTzip(*options, std::cout, std::cerr, platform::Env::Default(),
                      dialogs, terminal, terminal ? app::StderrColumns() : 80);
}
