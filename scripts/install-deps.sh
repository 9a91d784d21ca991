#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and running need,
# when they are missing. Runs as root (CI) or through sudo.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  zlib1g-dev libgtest-dev libbenchmark-dev libfltk1.3-dev
  zip unzip p7zip-full python3 time
  xvfb xauth x11-apps x11-utils fonts-dejavu-core
  clang libclang-rt-14-dev
  # The Windows build: MinGW-w64 cross compilers (32-bit for the program,
  # 64-bit for running the suites where the kernel cannot run 32-bit
  # code), zlib for both, GoogleTest's source, and Wine.
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix
  mingw-w64-i686-dev mingw-w64-x86-64-dev libz-mingw-w64-dev googletest
  wine64 fonts-wine
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "install-deps: installing ${missing[*]}"
  sudo_cmd=()
  if [[ $(id -u) -ne 0 ]]; then sudo_cmd=(sudo); fi
  export DEBIAN_FRONTEND=noninteractive
  "${sudo_cmd[@]}" apt-get update -qq
  "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
