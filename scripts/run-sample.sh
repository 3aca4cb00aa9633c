#!/usr/bin/env bash
# The run command: installs what is missing, builds the starter and the sample installation, and
# starts the sample application through the starter under Wine, as a user opening a drawing would.
# The sample main module prints what the starter prepared for it.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-tools.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target sample_installation >/dev/null
stop_wine() { WINEPREFIX="$PWD/build/mingw/wineprefix" /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT

cd build/mingw/sample-installation/Bin
echo "Starting: velmora.exe \"Sample Drawing.dwg\" -p Sample $*"
set +e
../../wine-run velmora.exe "Sample Drawing.dwg" -p Sample "$@"
status=$?
set -e
echo "velmora.exe ended with exit code $status"
exit $status
