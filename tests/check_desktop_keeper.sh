#!/bin/sh
# The build's wine-run starts the desktop keeper, records the keeper's own pid, and does not start
# a second one while it runs.
#   check_desktop_keeper.sh <wine-run> <wine prefix>
set -eu
wine_run=$1
prefix=$2
is_keeper() {
  case $1 in '' | 0* | *[!0-9]*) return 1 ;; esac
  tr '\0' ' ' <"/proc/$1/cmdline" 2>/dev/null | grep -q 'desktop_keeper\.exe'
}
"$wine_run" cmd /c exit 0 </dev/null >/dev/null 2>&1
keeper=$(cat "$prefix/.keeper" 2>/dev/null || true)
is_keeper "$keeper" || { echo "the recorded pid '$keeper' is not a running desktop keeper"; exit 1; }
"$wine_run" cmd /c exit 0 </dev/null >/dev/null 2>&1
again=$(cat "$prefix/.keeper")
[ "$again" = "$keeper" ] || { echo "a second keeper ($again) was started beside $keeper"; exit 1; }
