#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need,
# when they are missing. Runs as root (CI) or through sudo.
#
# Wine: the 64-bit loader (wine64) always; where the kernel runs 32-bit
# programs (scripts/runs-32bit.sh), also Debian's 32-bit Wine (wine32:i386,
# after adding the i386 architecture), so that the 32-bit Windows build,
# the product, is the one tested. Says which.
#
#   scripts/install-deps.sh [--build]
#   --build: only what building the two Linux configurations needs, so that
#   they can build while the rest installs (scripts/test.sh does this).
set -euo pipefail
cd "$(dirname "$0")/.."

# Compilers and libraries of the Linux builds.
build_packages=(
  build-essential cmake ninja-build pkg-config ccache
  zlib1g-dev libgtest-dev libbenchmark-dev libfltk1.3-dev
)
packages=(
  "${build_packages[@]}"
  zip unzip p7zip-full python3 time
  # Checks of the Debian package: dpkg-shlibdeps (dpkg-dev, with
  # build-essential) needs file; the manual pages and the desktop entry
  # are checked with groff and desktop-file-validate.
  file groff-base desktop-file-utils
  xvfb xauth x11-apps x11-utils fonts-dejavu-core
  clang libclang-rt-14-dev
  # The Windows build: MinGW-w64 cross compilers (32-bit for the program,
  # 64-bit for running the suites where the kernel cannot run 32-bit
  # code), zlib for both, GoogleTest's source, and 64-bit Wine.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  mingw-w64-i686-dev mingw-w64-x86-64-dev libz-mingw-w64-dev googletest
  wine64 fonts-wine
)

sudo_cmd=()
if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

if [[ ${1:-} == --build ]]; then
  packages=("${build_packages[@]}")
elif scripts/runs-32bit.sh; then
  echo "install-deps: this kernel runs 32-bit programs: 32-bit Wine (wine32:i386) as well"
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    "${sudo_cmd[@]}" dpkg --add-architecture i386
  fi
  packages+=(wine32:i386)
else
  echo "install-deps: this kernel cannot run 32-bit programs: 64-bit Wine only"
fi

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
