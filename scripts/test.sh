#!/usr/bin/env bash
# The test command: installs what is missing, builds everything for Windows x64 and runs the whole
# test suite under the build's own Wine prefix, whose server is stopped again at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-tools.sh
cmake --preset mingw -DBUILD_TESTING=ON
stop_wine() { WINEPREFIX="$PWD/build/mingw/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
cmake --build --preset mingw
ctest --preset mingw
