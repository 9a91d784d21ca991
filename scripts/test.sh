#!/usr/bin/env bash
# Builds and tests everything: installs what a fresh Debian 12 machine lacks,
# then configures, builds and runs the whole test suite twice: a normal
# optimised build and an AddressSanitizer + UndefinedBehaviorSanitizer build.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
status=0
for config in release asan; do
  dir=build/$config
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  if [[ $config == asan ]]; then
    flags+=(-DTESSALY_SANITIZE=ON -DTESSALY_BUILD_BENCH=OFF)
  fi
  echo "=== $config: configure and build"
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
  echo "=== $config: test"
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  if ! ctest --test-dir "$dir" --output-on-failure -j "$jobs"; then
    status=1
  fi
done
exit $status
