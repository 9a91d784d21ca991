// Where tzip's password comes from, so that it never has to stand on the
// command line, where other users of the machine can read it.
#ifndef TESSALY_APP_TZIP_TZIP_PASSWORD_H_
#define TESSALY_APP_TZIP_TZIP_PASSWORD_H_

#include <functional>
#include <optional>
#include <string>

#include "app/tzip/tzip_options.h"

namespace tessaly::app {

// Writes a prompt and reads one line without echo; std::nullopt when there
// is no terminal to ask (app/tzip/terminal.h: ReadSecretFromTerminal).
using SecretReader =
    std::function<std::optional<std::string>(const std::string& prompt)>;

// The password the entries get: "" without -e or -P; the text of -P; with
// -e, `env_password` (the value of TZIP_PASSWORD, null when unset) when it
// is set and not empty, else the password typed twice through `ask`
// ("Enter password: ", "Verify password: "). Returns std::nullopt with a
// message in `error` when there is no terminal to ask, the two typings
// differ, or the password is empty.
std::optional<std::string> ResolveTzipPassword(const TzipOptions& options,
                                               const char* env_password,
                                               const SecretReader& ask,
                                               std::string& error);

}  // namespace tessaly::app

#endif  // TESSALY_APP_TZIP_TZIP_PASSWORD_H_
