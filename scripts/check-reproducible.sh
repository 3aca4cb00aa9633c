#!/usr/bin/env bash
# Checks that the starter builds reproducibly: the committed tree (HEAD) is built in a fresh folder
# of its own and installed, and what it installs (velmora.exe, libvelmora.exe.a, the headers and
# the CMake package) must equal, byte for byte, what a second build installs: a given build folder
# of the same commit (CI passes build/mingw, built minutes earlier by the test command), or else a
# second fresh build in another folder, made after the first.
#   scripts/check-reproducible.sh [<build folder of the same commit>]
# Takes a few minutes per fresh build of the starter.
set -euo pipefail
cd "$(dirname "$0")/.."
reference_build=${1:-}

scripts/install-tools.sh >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# <folder>: the commit's files, configured with the project's preset and its own folder names, the
# starter built, everything installed into <folder>/installed.
fresh_build() {
  mkdir -p "$1/tree-$(basename "$1")"
  git archive HEAD | tar -x -C "$1/tree-$(basename "$1")"
  (cd "$1/tree-$(basename "$1")" &&
    cmake --preset mingw -DBUILD_TESTING=OFF >"$1/configure.log" &&
    cmake --build --preset mingw --target starter >"$1/build.log" &&
    cmake --install build/mingw --prefix "$1/installed" >"$1/install.log")
}

echo "Building $(git rev-parse --short HEAD) in $work/first"
fresh_build "$work/first"
if [ -n "$reference_build" ]; then
  cmake --install "$reference_build" --prefix "$work/second/installed" >/dev/null
else
  echo "Building it again in $work/second"
  fresh_build "$work/second"
fi

if diff -r "$work/first/installed" "$work/second/installed"; then
  (cd "$work/first/installed" && sha256sum bin/velmora.exe lib/libvelmora.exe.a)
  echo "Reproducible: both installations are identical."
else
  echo "Not reproducible: the installations above differ."
  exit 1
fi
