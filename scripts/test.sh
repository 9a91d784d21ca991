#!/usr/bin/env bash
# Builds and tests everything: installs what a fresh Debian 12 machine lacks,
# then configures and builds two configurations (optimised, and
# AddressSanitizer + UndefinedBehaviorSanitizer without the benchmarks),
# runs the fuzz targets for a bounded time, runs the whole test
# suite in both configurations and the parallel compressor's tests under
# ThreadSanitizer, then the Windows build under Wine
# (scripts/windows-test.sh).
#
# Each stage prints its time when it ends, and a table of all of them at the
# end. Ends with one line "tests: N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
status=0
timings=()
started=$SECONDS

# stage NAME COMMAND...: runs COMMAND as one timed stage; a failure is
# counted (status 1) and the next stage runs.
stage() {
  local name=$1
  shift
  local t0=$SECONDS rc=0
  echo "=== $name"
  "$@" || rc=$?
  local took=$((SECONDS - t0))
  timings+=("$(printf '  %-24s %4d s%s' "$name" "$took" "$([[ $rc -ne 0 ]] && echo '  FAILED')")")
  echo "=== $name: ${took} s"
  if [[ $rc -ne 0 ]]; then status=1; fi
  return 0
}

# Both configurations keep line tables only (-g1: enough for stack traces
# and a debugger's lines, a third less to compile and link than -g). The
# sanitizer build is optimised at -O1, as AddressSanitizer's authors advise;
# the optimised build covers -O2. ccache, when installed, serves later runs.
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_SLOPPINESS=pch_defines,time_macros,include_file_mtime,include_file_ctime
fi
build() {  # CONFIG OPTIMISATION CMAKE_FLAGS...
  local dir=build/$1 optimisation=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="$optimisation -g1 -DNDEBUG" \
    "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" -j "$jobs"
}

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# ctest with most tests in parallel: they spend much of their time waiting
# for the programs and peer tools they run. Tests marked RUN_SERIAL still
# run alone.
test_config() {  # CONFIG
  ctest --test-dir "build/$1" --output-on-failure -j "$((jobs * 2))" |
    tee "build/$1/ctest.log"
}

# The parallel compressor's tests under ThreadSanitizer (one small target
# of the optimised build; the byte-identity sweep, which adds no thread
# interplay of its own, runs only in the suites).
tsan_test() {
  cmake --build build/release --target parallel_deflate_tsan_tests -j "$jobs" &&
    TSAN_OPTIONS=halt_on_error=1 build/release/tests/parallel_deflate_tsan_tests \
      --gtest_brief=1 --gtest_filter='-*EveryLevel*'
}

rm -f build/*/ctest.log
stage "install packages" scripts/install-deps.sh
stage "release: build" build release -O2
stage "asan: build" build asan -O1 -DTESSALY_SANITIZE=ON -DTESSALY_BUILD_BENCH=OFF
# Seconds per fuzz target (two targets).
stage "fuzz" scripts/fuzz.sh "${TESSALY_FUZZ_SECONDS:-30}" build/release/app/tzip
stage "release: test" test_config release
stage "tsan: parallel deflate" tsan_test
stage "asan: test" test_config asan
stage "windows" scripts/windows-test.sh build/release

# ctest's "N tests failed out of M" line of a log, added to the totals.
passed=0
failed=0
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
for log in build/release/ctest.log build/asan/ctest.log build/windows-*/ctest.log; do
  if [[ -f $log ]]; then count_log "$log"; fi
done

echo "=== times"
printf '%s\n' "${timings[@]}"
printf '  %-24s %4d s\n' "total" "$((SECONDS - started))"
if [[ $status -ne 0 && $failed -eq 0 ]]; then failed=1; fi
echo "tests: $passed passed, $failed failed"
exit $status
