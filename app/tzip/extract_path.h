// Where an entry of an archive from elsewhere may be extracted to. Names in
// an archive are untrusted: one could climb out of the target folder with
// "..", start at the root ("/etc/x", "\\server\share\x") or on a drive
// ("C:\x"), or hide separators as backslashes. The name is cut into its
// parts at "/" and "\"; a leading drive and leading separators are dropped
// (the entry lands inside the target folder), empty and "." parts are
// skipped, and a ".." part refuses the entry.
#ifndef TESSALY_APP_TZIP_EXTRACT_PATH_H_
#define TESSALY_APP_TZIP_EXTRACT_PATH_H_

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tessaly::app {

// The parts of the path below the target folder for the stored name
// `name`, in order; std::nullopt when the name is refused (a ".." part) or
// nothing is left of it.
std::optional<std::vector<std::string>> SafeExtractParts(std::string_view name);

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_EXTRACT_PATH_H_
