#!/usr/bin/env bash
# Start-up benchmark: times the starter with the sample installation against bare_loader.exe, which
# only checks the display, loads the same main module and calls its RunAppW. The two alternate in
# one series, each start pinned to processor 0 like the Wine server. See README.md.
#
#   bench/startup.sh [-n STARTS] [BUILD_DIR]     defaults: 30 starts of each, build/mingw
set -euo pipefail

starts=30

[ -x /usr/bin/time ] || { apt-get update && apt-get install -y time; } >/dev/null
source "$(dirname "$0")/setup.sh" "$@"

rss_file=$(mktemp)
declare -A wall peak

# One start: its whole wall time (process creation to exit, in microseconds) and its peak resident
# memory (KiB). wine64 runs the Windows program in its own process (it may re-exec itself, but the
# pid stays), so the maximum RSS that /usr/bin/time gets from the kernel for its child is the VmHWM
# of the Windows process, Wine's own libraries included. The wineserver and the desktop process are not
# children of the run and are counted for neither program.
measure() {
  local label=$1 begin end
  shift
  begin=${EPOCHREALTIME/./}
  taskset -c 0 /usr/bin/time -f %M -o "$rss_file" "$wine" "$@" </dev/null >/dev/null 2>&1 ||
    { echo "$label failed (exit $?): $*" >&2; exit 1; }
  end=${EPOCHREALTIME/./}
  end_start_screens
  wall[$label]+=" $((end - begin))"
  peak[$label]+=" $(tail -n 1 "$rss_file")"
}

main_module=$(windows_path "$bin/x64/$name.dll")
start_starter() { measure "$1" "$name.exe"; }
start_bare() { measure "$1" "$tools/bare_loader.exe" "$main_module"; }

cd "$bin"
for _ in 1 2 3; do start_starter warm-up; start_bare warm-up; done
for ((i = 0; i < starts; i++)); do start_starter starter; start_bare bare; done
rm -f "$rss_file"

median() { printf '%s\n' $1 | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { printf '%s\n' $1 | sort -n | awk 'NR == 1 { lo = $1 } END { printf "%.1f-%.1f", lo / 1000, $1 / 1000 }'; }

echo "Start-up of $name.exe against bare_loader.exe: $starts alternating starts each, on processor 0"
echo "(build: $build)"
awk -v ts="$(median "${wall[starter]}")" -v tb="$(median "${wall[bare]}")" \
    -v ms="$(median "${peak[starter]}")" -v mb="$(median "${peak[bare]}")" \
    -v rs="$(range "${wall[starter]}")" -v rb="$(range "${wall[bare]}")" '
  function row(what, unit, s, b, target,   ratio) {
    ratio = s / b
    printf "%-18s %9.1f %-3s %9.1f %-3s %7.2f   <= %.1f  %s\n", what, s, unit, b, unit, ratio, target,
           ratio <= target ? "PASS" : "FAIL"
    if (ratio > target) failed = 1
  }
  BEGIN {
    printf "%-18s %13s %13s %7s   %s\n", "", "starter", "bare loader", "ratio", "target"
    row("median wall time", "ms", ts / 1000, tb / 1000, 1.6)
    row("median peak RSS", "MiB", ms / 1024, mb / 1024, 2.0)
    printf "%-18s %13s %13s\n", "wall time range", rs, rb
    exit failed
  }'
