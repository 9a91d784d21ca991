// tzip: create, update or list an archive from the command line.
#ifndef TESSALY_APP_TZIP_H_
#define TESSALY_APP_TZIP_H_

#include <ostream>

#include "app/tzip_options.h"
#include "engine/dialog_service.h"
#include "platform/env.h"

namespace tessaly::app {

// tzip's exit statuses.
inline constexpr int kTzipDone = 0;          // all requested work was done
inline constexpr int kTzipFailed = 1;        // an error stopped the work
inline constexpr int kTzipUsage = 2;         // bad command line
inline constexpr int kTzipRolledBack = 3;    // rolled back or refused: the
                                             // archive is unchanged
inline constexpr int kTzipFilesLeftOut = 4;  // done, but files were left out

// Runs one tzip command. Creating or updating prints the files written, one
// per line, on `out`: the numbered volumes in order, then the archive's own
// name (which the last volume takes). Listing prints one line per entry
// (name, sizes, method, CRC-32, date-time, tab-separated) and a count line.
// Returns an exit status: kTzipDone; kTzipFilesLeftOut when a failure was
// answered Ignore (the files left out are listed on `err`);
// kTzipRolledBack when the update was cancelled, aborted (a volume that
// could not be obtained included) or refused, with the reason on `err` and
// nothing on `out`; kTzipFailed on an error, printed on `err` as
// "<class>: <message>". With `show_progress`, a progress line is kept up to
// date on `err`.
int RunTzip(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs,
            bool show_progress);

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_H_
