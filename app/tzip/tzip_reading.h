// tzip's modes that read an archive back, for the person who receives one:
// -t tests every entry, -x extracts, --join copies a multi-volume archive
// into one file that any reader accepts.
#ifndef TESSALY_APP_TZIP_TZIP_READING_H_
#define TESSALY_APP_TZIP_TZIP_READING_H_

#include <ostream>

#include "app/tzip/tzip_options.h"
#include "engine/base/dialog_service.h"
#include "platform/env.h"

namespace tessaly::app {

// -t: one line per entry on `out`, "NAME: OK" or "NAME: what is wrong",
// then "N entries tested, all OK" or "N entries tested, K failed".
// Returns kTzipDone only when every entry is good, else kTzipFailed (also
// when the archive cannot be opened, with the reason on `err`, and when its
// directory had to be rebuilt from the local headers, which `err` notes).
int RunTest(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs);

// -x: extracts the entries matching options.masks (all without masks) into
// options.extract_dir (the current folder when empty; made when missing).
// One line per entry as -t prints them, "kept" for an existing file left
// alone (no -o) and "refused" for an unsafe name, then a summary line.
// Each file is written under a temporary name in its folder and renamed
// when its data checked good; it then gets the entry's modification time.
// Returns kTzipFailed when any entry failed or the directory had to be
// rebuilt, else kTzipFilesLeftOut when
// existing files were kept, kTzipNothingToDo when no entry matched, else
// kTzipDone.
int RunExtract(const TzipOptions& options, std::ostream& out,
               std::ostream& err, platform::Env& env,
               engine::DialogService& dialogs);

// --join: writes options.join_output (under a temporary name in its folder,
// renamed at the end) as one single-file archive with the entries of
// options.archive. An existing output is replaced only with -o, and never
// when it is one of the archive's own files. Prints the output's name on
// `out`; returns kTzipDone or kTzipFailed.
int RunJoin(const TzipOptions& options, std::ostream& out, std::ostream& err,
            platform::Env& env, engine::DialogService& dialogs);

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_TZIP_READING_H_
