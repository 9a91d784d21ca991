// Running the collector with a given user interface: the program's body
// once the interface is chosen.
#ifndef TESSALY_APP_COLLECTOR_COLLECTOR_H_
#define TESSALY_APP_COLLECTOR_COLLECTOR_H_

#include "app/collector/user_interface.h"
#include "platform/env.h"

namespace tessaly::app {

// Creates the main window on `ui`, runs it until it closes and returns the
// process exit code: 0 after the success message, 1 when the job failed,
// was abandoned or found no data folder. Engine boxes shown outside the
// window's archiver go through `ui` as well while this runs.
// REQUIRES: `ui` and `env` outlive the call.
int RunCollector(UserInterface& ui,
                 platform::Env& env = platform::Env::Default());

}  // namespace tessaly::app

#endif  // TESSALY_APP_COLLECTOR_COLLECTOR_H_
