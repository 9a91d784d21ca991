// tessaly-zipper.exe: packs the Tessaly data files into Orvane.zip, split
// into 2 MiB volumes, and tells the user which files to send. A windowed
// program without a console; it takes no arguments. The data folder is the
// registry value "DataPath" of Tessaly's workspace key under
// HKEY_LOCAL_MACHINE (kTessalyKey in app/collector/form_main.h).
//
// Exit code: 0 when the archive was written and listed, 1 when the job
// failed, was abandoned or found no data folder.
#include <exception>
#include <string>

#include "app/collector/collector.h"
#include "app/ui/windows/win32_ui.h"

#include "platform/windows/win32.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/,
                   LPSTR /*command_line*/, int /*show*/) {
  try {
    tessaly::app::Win32Ui ui;
    return tessaly::app::RunCollector(ui);
  } catch (const std::exception& e) {
    // Nothing is left to show it but a plain box.
    const std::string text = std::string("Exception \"") + e.what() + "\"";
    MessageBoxA(nullptr, text.c_str(), "Tessaly Data Zipper",
                MB_ICONERROR | MB_OK);
    return 1;
  }
}
