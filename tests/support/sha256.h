// SHA-256 (FIPS 180-4) of a byte string, as lower-case hex, for tests that
// pin the exact bytes of what the engine writes.
#ifndef TESSALY_TESTS_SUPPORT_SHA256_H_
#define TESSALY_TESTS_SUPPORT_SHA256_H_

#include <string>
#include <string_view>

namespace tessaly::test {

// The 64 hex digits of the SHA-256 of `bytes`.
std::string Sha256Hex(std::string_view bytes);

}  // namespace tessaly::test

#endif  // TESSALY_TESTS_SUPPORT_SHA256_H_
