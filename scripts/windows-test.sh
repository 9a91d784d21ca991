#!/usr/bin/env bash
# The Windows build: cross-compiles the 32-bit program (and its suites) with
# MinGW-w64, then runs the platform and engine suites, the Windows-only
# parts of the program and the end-to-end run of tessaly-zipper.exe under
# Wine, inside one Xvfb display of 1280 x 800 pixels.
#
# The 32-bit Wine loader needs a kernel that runs 32-bit code (and Debian's
# wine32:i386, which scripts/install-deps.sh installs only there). Where it
# cannot start, the 32-bit programs are still built, and the same source is
# built for 64-bit Windows, whose tests run under the 64-bit loader instead;
# the script says which.
#
# One Wine prefix, build/wineprefix, serves every run and both builds: it is
# made once (the first start of Wine in a new prefix takes a while).
#
# Usage: scripts/windows-test.sh [HOST_BUILD_DIR]
#   HOST_BUILD_DIR: a Linux build tree whose tessaly-zipper writes the
#   archive that the Windows one must match byte for byte
#   (default build/release; the comparison is skipped when it is missing).
# Prints ctest's summary and the time of each step; exits non-zero when a
# test failed.
set -euo pipefail
cd "$(dirname "$0")/.."

rm -f build/windows-*/ctest.log
host_dir=$(realpath -m "${1:-build/release}")
jobs=$(nproc)

timed() {  # NAME COMMAND...
  local name=$1 t0=$SECONDS rc=0
  shift
  "$@" || rc=$?
  echo "=== windows: $name: $((SECONDS - t0)) s"
  return $rc
}

configure_and_build() {  # <build dir> <toolchain file> [targets...]
  local dir=$1 toolchain=$2
  shift 2
  local launcher=()
  if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DTESSALY_BUILD_BENCH=OFF \
    -DTESSALY_HOST_BUILD_DIR="$host_dir" "${launcher[@]}" >/dev/null
  cmake --build "$dir" -j "$jobs" ${1:+--target "$@"}
}

if /usr/lib/wine/wine --version >/dev/null 2>&1; then
  echo "=== windows: the 32-bit Wine loader runs here: testing the 32-bit build"
  timed "i686 build" configure_and_build build/windows-i686 cmake/mingw-i686.cmake
  dir=build/windows-i686
  loader=/usr/lib/wine/wine
else
  echo "=== windows: this kernel cannot run the 32-bit Wine loader:" \
       "building the 32-bit programs, testing the 64-bit build"
  timed "i686 programs" configure_and_build build/windows-i686 \
    cmake/mingw-i686.cmake tessaly-zipper tzip
  timed "x86_64 build" configure_and_build build/windows-x86_64 \
    cmake/mingw-x86_64.cmake
  dir=build/windows-x86_64
  loader=/usr/lib/wine/wine64
fi

# A prefix of the project's own, so runs do not depend on the user's ~/.wine.
export WINEPREFIX=$PWD/build/wineprefix
export WINELOADER=$loader
export WINEDEBUG=-all
# Unix file names as UTF-8 (with LANG=C Wine can store only ASCII names).
export LANG=C.UTF-8
export WINEDLLOVERRIDES="mscoree,mshtml="  # no Mono or Gecko installer prompts
export TESSALY_WINE=$loader
# The server beside the loader (Debian installs neither in PATH).
export TESSALY_WINESERVER=/usr/lib/wine/wineserver

echo "=== windows ($dir): test"
# Everything Wine does runs inside one X display: the prefix's first boot,
# the persistent server (each process start otherwise pays for its own),
# and the tests.
t0=$SECONDS
set +e
xvfb-run -a -s "-screen 0 1280x800x24" bash -c '
  set -uo pipefail
  t0=$SECONDS
  "$TESSALY_WINE" wineboot -i >/dev/null 2>&1
  # Without this Wine waits 2 s after each window closes.
  "$TESSALY_WINE" reg add "HKCU\\Software\\Wine\\X11 Driver" /v Managed /d N /f >/dev/null 2>&1
  "$TESSALY_WINESERVER" -p
  echo "=== windows: Wine session: $((SECONDS - t0)) s"
  # Suites in parallel; the end-to-end run (RUN_SERIAL) alone.
  ctest --test-dir "$1" --output-on-failure -j "$2"
  status=$?
  "$TESSALY_WINESERVER" -k
  exit $status
' windows-tests "$dir" "$jobs" | tee "$dir/ctest.log"
status=${PIPESTATUS[0]}
set -e
echo "=== windows: tests: $((SECONDS - t0)) s"
exit "$status"
