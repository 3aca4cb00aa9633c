#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and the machine lacks:
# the MinGW-w64 cross compiler, Wine, CMake, make and GoogleTest's sources.
set -euo pipefail

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v cmake >/dev/null || missing+=(cmake)
command -v make >/dev/null || missing+=(make)
command -v flock >/dev/null && command -v setpriv >/dev/null || missing+=(util-linux)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
