// tessaly-zipper: packs the Tessaly data files into Orvane.zip, split into
// 2 MiB volumes, and tells the user which files to send. It takes no
// arguments; the data folder comes from the registry export file.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

#include <unistd.h>

#include "app/collector/collector.h"
#include "app/ui/fltk/fltk_ui.h"
#include "app/ui/posix/console_ui.h"
#include "platform/heap.h"

#ifndef TESSALY_VERSION
#define TESSALY_VERSION "unknown"
#endif

namespace {

constexpr char kUsage[] = "Usage: tessaly-zipper [--help | --version]\n";

constexpr char kHelp[] =
    "Usage: tessaly-zipper [--help | --version]\n"
    "\n"
    "Packs the Tessaly data files (FileList.cfg, *.dat, *.rpt, *.bmp) into\n"
    "Orvane.zip beside the data folder, split into volumes of 2 MiB\n"
    "(Orvane.z01, Orvane.z02, ...), and lists the files to send.\n"
    "\n"
    "The data folder is the value \"DataPath\" of the key\n"
    "  HKEY_LOCAL_MACHINE\\SOFTWARE\\Data Access Corporation\\\n"
    "  Visual DataFlex\\5\\Workspaces\\Tessaly\n"
    "in a registry export file: $TESSALY_REGISTRY, else\n"
    "$XDG_CONFIG_HOME/tessaly/registry.reg (~/.config/...), else\n"
    "/etc/tessaly/registry.reg.\n"
    "\n"
    "With a display ($DISPLAY) it shows a window; with TESSALY_UI=console or\n"
    "without a display it prints its messages and reads answers from the\n"
    "standard input (Ctrl-C asks to stop).\n"
    "\n"
    "Exit status: 0 when the archive was written, 1 when the job failed, was\n"
    "stopped or found no data folder, 2 for a wrong command line.\n";

bool UseWindow() {
  const char* display = std::getenv("DISPLAY");
  const char* ui = std::getenv("TESSALY_UI");
  if (display == nullptr || *display == '\0') return false;
  if (ui != nullptr && std::strcmp(ui, "console") == 0) return false;
  return tessaly::app::FltkUi::OpenDisplay();
}

}  // namespace

int main(int argc, char** argv) {
  // The collector compresses on one thread per core.
  tessaly::platform::ReturnLargeBlocksToTheSystem();
  if (argc > 1) {
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
      std::fputs(kHelp, stdout);
      return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
      std::printf("tessaly-zipper %s\n", TESSALY_VERSION);
      return 0;
    }
    std::fprintf(stderr, "tessaly-zipper: unexpected argument '%s'\n%s",
                 argv[1], kUsage);
    return 2;
  }

  if (UseWindow()) {
    tessaly::app::FltkUi ui;
    return tessaly::app::RunCollector(ui);
  }
  tessaly::app::ConsoleUi ui(std::cin, std::cout, std::cerr,
                             isatty(STDERR_FILENO) == 1);
  ui.EnableInterruptHandling();
  return tessaly::app::RunCollector(ui);
}
