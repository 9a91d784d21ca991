#!/usr/bin/env bash
# Builds and tests everything: installs what a fresh Debian 12 machine lacks,
# then configures and builds two configurations (optimised, and
# AddressSanitizer + UndefinedBehaviorSanitizer), runs the archive-opening
# fuzzer for a bounded time, and runs the whole test suite in both
# configurations, then the Windows build under Wine (scripts/windows-test.sh).
# Ends with one line "N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

jobs=$(nproc)
for config in release asan; do
  dir=build/$config
  flags=(-DCMAKE_BUILD_TYPE=RelWithDebInfo)
  if [[ $config == asan ]]; then
    flags+=(-DTESSALY_SANITIZE=ON -DTESSALY_BUILD_BENCH=OFF)
  fi
  echo "=== $config: configure and build"
  cmake -S . -B "$dir" -G Ninja "${flags[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs"
done

status=0
echo "=== fuzz"
# Seconds per fuzz target (two targets).
if ! scripts/fuzz.sh "${TESSALY_FUZZ_SECONDS:-30}" build/release/app/tzip; then
  echo "fuzz: FAILED"
  status=1
fi

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# ctest's "N tests failed out of M" line of a log, added to the totals.
count_log() {
  local summary
  summary=$(grep -E '[0-9]+ tests failed out of [0-9]+' "$1" | tail -n 1 || true)
  if [[ $summary =~ ([0-9]+)\ tests\ failed\ out\ of\ ([0-9]+) ]]; then
    failed=$((failed + BASH_REMATCH[1]))
    passed=$((passed + BASH_REMATCH[2] - BASH_REMATCH[1]))
  else
    status=1
  fi
}
passed=0
failed=0
for config in release asan; do
  echo "=== $config: test"
  log=build/$config/ctest.log
  if ! ctest --test-dir "build/$config" --output-on-failure -j "$jobs" | tee "$log"; then
    status=1
  fi
  count_log "$log"
done

echo "=== windows"
if ! scripts/windows-test.sh build/release; then
  status=1
fi
for log in build/windows-*/ctest.log; do
  if [[ -f $log ]]; then count_log "$log"; fi
done
if [[ $status -ne 0 && $failed -eq 0 ]]; then failed=1; fi
echo "tests: $passed passed, $failed failed"
exit $status
