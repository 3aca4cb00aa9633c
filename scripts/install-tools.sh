#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and the machine lacks:
# the MinGW-w64 cross compiler, Wine, CMake, make and GoogleTest's sources; for the sample's
# installer wixl and msitools (building and reading Windows Installer packages), and for its
# life-cycle test a virtual display (Xvfb), xdotool to answer the starter's question and strings;
# clang, the second compiler that reads the module kit's installed headers; xmllint, the strict XML
# parser the tests check the starter's parameter files with.
set -euo pipefail

missing=()
command -v x86_64-w64-mingw32-g++-posix >/dev/null || missing+=(g++-mingw-w64-x86-64)
[ -x /usr/lib/wine/wine64 ] || missing+=(wine64)
command -v cmake >/dev/null || missing+=(cmake)
command -v make >/dev/null || missing+=(make)
command -v flock >/dev/null && command -v setpriv >/dev/null || missing+=(util-linux)
[ -f /usr/src/googletest/CMakeLists.txt ] || missing+=(googletest)
command -v wixl >/dev/null && command -v wixl-heat >/dev/null || missing+=(wixl)
command -v msiinfo >/dev/null || missing+=(msitools)
command -v Xvfb >/dev/null || missing+=(xvfb)
command -v xdotool >/dev/null || missing+=(xdotool)
command -v strings >/dev/null || missing+=(binutils)
command -v clang >/dev/null || missing+=(clang)
command -v xmllint >/dev/null || missing+=(libxml2-utils)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
