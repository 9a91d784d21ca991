#!/usr/bin/env bash
# The Windows build: cross-compiles the 32-bit program (and its suites) with
# MinGW-w64, then runs the platform and engine suites and the end-to-end run
# of tessaly-zipper.exe under Wine, inside one Xvfb display.
#
# The 32-bit Wine loader needs a kernel that runs 32-bit code. Where it
# cannot (the loader fails to start, e.g. a kernel booted without IA-32
# emulation), the same source is also built for 64-bit Windows and that
# build's tests run under the 64-bit loader instead; the script says which.
#
# Usage: scripts/windows-test.sh [HOST_BUILD_DIR]
#   HOST_BUILD_DIR: a Linux build tree whose tessaly-zipper writes the
#   archive that the Windows one must match byte for byte
#   (default build/release; the comparison is skipped when it is missing).
# Prints ctest's summary; exits non-zero when a test failed.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -f build/windows-*/ctest.log
host_dir=$(realpath -m "${1:-build/release}")
jobs=$(nproc)

configure_and_build() {  # <build dir> <toolchain file> [targets...]
  local dir=$1 toolchain=$2
  shift 2
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_BENCH=OFF \
    -DTESSALY_HOST_BUILD_DIR="$host_dir" >/dev/null
  cmake --build "$dir" -j "$jobs" ${1:+--target "$@"}
}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "=== windows (i686): configure and build"
  configure_and_build build/windows-i686 cmake/mingw-i686.cmake
  dir=build/windows-i686
  loader=/usr/lib/wine/wine
else
  # The 32-bit programs are still built, to show they build and link.
  echo "=== windows (i686): configure and build the programs"
  configure_and_build build/windows-i686 cmake/mingw-i686.cmake \
    tessaly-zipper tzip
  echo "=== windows: this kernel cannot run the 32-bit Wine loader;" \
       "testing the same source built for 64-bit Windows"
  echo "=== windows (x86_64): configure and build"
  configure_and_build build/windows-x86_64 cmake/mingw-x86_64.cmake
  dir=build/windows-x86_64
  loader=/usr/lib/wine/wine64
fi

# A prefix of the build's own, so runs do not depend on the user's ~/.wine.
export WINEPREFIX=$PWD/$dir/wineprefix
export WINELOADER=$loader
export WINEDEBUG=-all
# Unix file names as UTF-8 (with LANG=C Wine can store only ASCII names).
export LANG=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
export TESSALY_WINE=$loader

echo "=== windows ($dir): test"
# Everything Wine does runs inside one X display: the prefix's first boot,
# the persistent server (each process start otherwise pays for its own),
# and the tests.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  set -uo pipefail
  "$TESSALY_WINE" wineboot -i >/dev/null 2>&1
  # Without this Wine waits 2 s after each window closes.
  "$TESSALY_WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
  wineserver -p
  ctest --test-dir "$1" --output-on-failure
  status=$?
  wineserver -k
  exit $status
' windows-tests "$dir" | tee "$dir/ctest.log"
