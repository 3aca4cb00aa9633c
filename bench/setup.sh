# Sourced by startup.sh, breakdown.sh and provisioning.sh with their arguments:
# [-n STARTS] [BUILD_DIR]. The caller sets the default of starts; the build folder defaults to
# build/mingw.
# Builds the sample installation and the bench programs if needed, then restarts the build's Wine
# server pinned to processor 0, so that the server, its services and every run share one processor
# and figures do not swing with the scheduler. wine-run boots the prefix and starts the desktop
# keeper (pinned too, as its child); setup fails when the keeper does not run. On exit the server,
# and with it the keeper, is ended.
#
# Sets: build, bin (the sample installation's Bin folder; the main module is in its x64 platform
# folder), tools (the bench programs), name (the starter's name), wine, wineserver, all_users and
# per_user (the sample product's folders in the prefix), main_module, identity_module, start_screen
# and parameter_file (Windows paths for the baselines); windows_path converts a Unix path for a
# Windows program; settle pauses after a start.

while getopts n: opt; do
  case $opt in
    n) starts=$OPTARG ;;
    *) echo "usage: $0 [-n STARTS] [BUILD_DIR]" >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(realpath -m "${1:-$root/build/mingw}")

if [ ! -f "$build/CMakeCache.txt" ]; then
  (cd "$root" && cmake --preset mingw -B "$build" >/dev/null)
fi
cmake --build "$build" -j2 --target sample_installation bare_loader floor desktop_keeper >/dev/null

cache() { sed -n "s/^$1:[A-Z]*=//p" "$build/CMakeCache.txt"; }
wine=$(cache WINE64)
wineserver=$(cache WINESERVER)
name=$(cache STARTER_EXECUTABLE_NAME)
bin=$build/sample-installation/Bin
tools=$build/bench/bin
windows_path() { echo "Z:${1//\//\\}"; }

# The same environment as the build's wine-run wrapper. The sample start screen closes itself as
# soon as it has been shown, so that it never outlives the pause after a start.
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
export VELMORA_SAMPLE_START_SCREEN_MS=0
mkdir -p "$WINEPREFIX"

"$wineserver" -k 2>/dev/null || true   # only this prefix's server
"$wineserver" -w
taskset -c 0 "$wineserver" -p
# Boots a new prefix, or starts the services of a booted one; nothing here may hold a pipe.
taskset -c 0 "$build/wine-run" wineboot </dev/null >/dev/null 2>&1
keeper=$(cat "$WINEPREFIX/.keeper" 2>/dev/null || true)
if [ -z "$keeper" ] || ! tr '\0' ' ' <"/proc/$keeper/cmdline" 2>/dev/null | grep -q 'desktop_keeper\.exe'; then
  echo "the desktop keeper does not run (pid '${keeper}'): figures would include Wine's desktop restarts" >&2
  exit 1
fi

# What the installer puts under C:\ProgramData: the start screen's source folder, so that every
# start prepares a complete workspace, rewrites the parameter file and starts the start screen.
all_users="$WINEPREFIX/drive_c/ProgramData/Velmora Sample Works/Velmora 25.2"
mkdir -p "$all_users" && cp -r "$build/sample-installation/AllUsers/." "$all_users/"
users=("$WINEPREFIX"/drive_c/users/*/AppData/Roaming)
per_user="${users[0]}/Velmora Sample Works/Velmora 25.2"

# What the baselines are given: the main module, the identity module, and the start screen with the
# parameter file that the starter prepares for the default profile.
main_module=$(windows_path "$bin/x64/$name.dll")
identity_module=$(windows_path "$bin/oeminfo.dll")
start_screen=$(windows_path "$bin/vuvevorodidaviz.exe")
parameter_file=$(windows_path "$per_user/ss20/profiles/\$\$Default\$\$/ini.xml")

# The start screen a start launched, and the desktop's work after a program ends, must not compete
# with the next start for the processor: every start is followed by an untimed pause.
settle() { sleep 0.3; }

stop_wine() { "$wineserver" -k 2>/dev/null || true; }
trap stop_wine EXIT
trap 'exit 130' INT TERM
