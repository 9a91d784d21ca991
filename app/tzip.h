// tzip: create, update or list an archive from the command line.
#ifndef TESSALY_APP_TZIP_H_
#define TESSALY_APP_TZIP_H_

#include <ostream>

#include "app/tzip_options.h"
#include "engine/dialog_service.h"
#include "platform/env.h"

namespace tessaly::app {

// Runs one tzip command. Creating or updating prints the files written, one
// per line, on `out`: the numbered volumes in order, then the archive's own
// name (which the last volume takes). Listing prints one line per entry
// (name, sizes, method, CRC-32, date-time, tab-separated) and a count line. On an error prints "<class>: <message>" on
// `err` and returns 1; returns 4 when some selected files were left out (a
// failure answered Ignore, or a file whose stored name an earlier file of
// the selection took); otherwise returns 0. With `show_progress`, a progress
// line is kept up to date on `err`.
int RunTzip(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs,
            bool show_progress);

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_H_
