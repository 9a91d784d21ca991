// tzip: create, update or list an archive from the command line.
#ifndef TESSALY_APP_TZIP_TZIP_H_
#define TESSALY_APP_TZIP_TZIP_H_

#include <ostream>

#include "app/tzip/tzip_options.h"
#include "engine/base/dialog_service.h"
#include "platform/env.h"

namespace tessaly::app {

// tzip's exit statuses (its --help lists them).
enum TzipExitStatus : int {
  kTzipDone = 0,          // all requested work was done
  kTzipFailed = 1,        // an error stopped the work; rolled back
  kTzipUsage = 2,         // bad command line
  kTzipRolledBack = 3,    // cancelled, aborted, declined or refused
  kTzipFilesLeftOut = 4,  // done, but some selected files were left out
  kTzipNothingToDo = 12,  // no file matched; no archive written
};

// Runs one tzip command. -t, -x and --join are described in
// app/tzip/tzip_reading.h. Creating or updating prints the files written, one
// per line, on `out`: the numbered volumes in order, then the archive's own
// name (which the last volume takes). Listing prints one line per entry
// (name, sizes, method, CRC-32, date-time, tab-separated) and a count line.
//
// Every mask that selects nothing is reported on `err` ("tzip: nothing
// matches MASK"). When no mask selects anything, nothing is written (an
// archive to be made afresh is not created, nor an existing one touched)
// and the result is kTzipNothingToDo. Otherwise returns kTzipDone;
// kTzipFilesLeftOut when files were left out (a failure answered Ignore, or
// a second file for a name already selected; listed on `err`);
// kTzipRolledBack when the update was cancelled, aborted (a volume that
// could not be obtained included) or refused, with the reason on `err` and
// nothing on `out`; kTzipFailed on an error, printed on `err` as
// "<class>: <message>".
//
// `stderr_is_terminal`: unless options.verbosity is kQuiet, a progress line
// `columns` wide is kept up to date on `err`. With kVerbose each file
// packed is listed on `out` before the files written.
int RunTzip(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs,
            bool stderr_is_terminal, int columns = 80);

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_TZIP_H_
