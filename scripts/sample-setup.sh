# Sourced by the sample scripts: installs what is missing, builds the sample installation, and
# boots the build's Wine prefix, whose server is stopped when the script ends.
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/install-tools.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target sample_installation >/dev/null
export WINEPREFIX="$PWD/build/mingw/wineprefix"
stop_wine() { /usr/lib/wine/wineserver -k 2>/dev/null || true; }
trap stop_wine EXIT
build/mingw/wine-run wineboot </dev/null >/dev/null 2>&1
