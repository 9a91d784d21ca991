#!/usr/bin/env bash
# Builds and tests everything: installs what a fresh Debian 12 machine lacks,
# then configures and builds two configurations (optimised, and
# AddressSanitizer + UndefinedBehaviorSanitizer without the benchmarks),
# runs the fuzz targets for a bounded time, runs the whole test
# suite in both configurations and the parallel compressor's tests under
# ThreadSanitizer, then the Windows build under Wine
# (scripts/windows-test.sh).
#
# The packages the Linux builds need are installed first; the rest (peer
# tools, X server, clang, MinGW-w64, Wine) installs in the background while
# both configurations build, since dpkg keeps one core busy and the
# compilers the other.
#
# Each stage prints its time (wall clock, and the CPU seconds of all its
# processes) when it ends, and a table of all of them at the end. Ends with
# one line "tests: N passed, N failed".
set -euo pipefail
cd "$(dirname "$0")/.."

jobs=$(nproc)
status=0
timings=()
started=$SECONDS

# CPU time (user + system, in clock ticks) of this shell's ended children.
ticks=$(getconf CLK_TCK)
child_ticks() {
  local fields
  read -ra fields <<<"$(sed 's/.*) //' "/proc/$$/stat")"
  echo $((fields[13] + fields[14]))  # cutime, cstime
}

# stage NAME COMMAND...: runs COMMAND as one timed stage; a failure is
# counted (status 1) and the next stage runs.
stage() {
  local name=$1
  shift
  local t0=$SECONDS c0 rc=0
  c0=$(child_ticks)
  echo "=== $name"
  "$@" || rc=$?
  local took=$((SECONDS - t0)) cpu=$((($(child_ticks) - c0) / ticks))
  timings+=("$(printf '  %-30s %4d s %5d CPU-s%s' "$name" "$took" "$cpu" \
               "$([[ $rc -ne 0 ]] && echo '  FAILED')")")
  echo "=== $name: ${took} s, ${cpu} CPU-s"
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

# The background install's output, printed when it is waited for.
install_rest() {
  local rc=0
  wait "$install_pid" || rc=$?
  cat build/install-rest.log
  return $rc
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
stage "install packages (build)" scripts/install-deps.sh --build
mkdir -p build
scripts/install-deps.sh >build/install-rest.log 2>&1 &
install_pid=$!
stage "release: build" build release -O2
stage "asan: build" build asan -O1 -DTESSALY_SANITIZE=ON -DTESSALY_BUILD_BENCH=OFF
# Its time here is what the builds left to wait for.
stage "install packages (rest)" install_rest
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
printf '  %-30s %4d s %5d CPU-s\n' "total" "$((SECONDS - started))" \
  "$(($(child_ticks) / ticks))"
if [[ $status -ne 0 && $failed -eq 0 ]]; then failed=1; fi
echo "tests: $passed passed, $failed failed"
exit $status
