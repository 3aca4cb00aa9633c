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

# Root may write to read-only files, and Wine maps the read-only attribute to permission bits, so
# under root Wine would accept writes that Windows refuses. The tests run without that power (as
# the owner of every file they touch, with the owner's permissions), and so do the Wine server and
# programs they start: the server of the build, if any, is stopped first.
without_override() {
  if [ "$(id -u)" = 0 ]; then
    setpriv --inh-caps=-dac_override,-dac_read_search --bounding-set=-dac_override,-dac_read_search "$@"
  else
    "$@"
  fi
}
stop_wine
without_override ctest --preset mingw
