#!/usr/bin/env bash
# Start-up benchmark: a user's second start (nothing to provision) of the starter with the sample
# installation, in two series, each pinned to processor 0 like the Wine server. See README.md.
#
#  - with the start screen: against floor.exe, which only checks the display, splits its command
#    line, starts the same start screen on the same parameter file without waiting for it, loads the
#    same main module and calls its RunAppW; and in the same turns against floor.exe ... identity,
#    which also loads the identity module, calls its factory and rewrites the parameter file through
#    the starter's XML library;
#  - without a start screen (no start-screen files installed): against bare_loader.exe, which only
#    checks the display, loads the main module and calls its RunAppW.
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
# of the Windows process, Wine's own libraries included. The wineserver, the desktop process and the
# start screen are not children of the run and are counted for no program.
measure() {
  local label=$1 begin end
  shift
  begin=${EPOCHREALTIME/./}
  taskset -c 0 /usr/bin/time -f %M -o "$rss_file" "$wine" "$@" </dev/null >/dev/null 2>&1 ||
    { echo "$label failed (exit $?): $*" >&2; exit 1; }
  end=${EPOCHREALTIME/./}
  settle
  wall[$label]+=" $((end - begin))"
  peak[$label]+=" $(tail -n 1 "$rss_file")"
}

start_starter() { measure "$1" "$name.exe"; }
start_floor() { measure "$1" "$tools/floor.exe" "$main_module" "$start_screen" "$parameter_file"; }
start_floor_identity() {
  measure "$1" "$tools/floor.exe" "$main_module" "$start_screen" "$parameter_file" identity "$identity_module"
}
start_bare() { measure "$1" "$tools/bare_loader.exe" "$main_module"; }

# alternate STARTER_LABEL BASELINE_LABEL START_BASELINE [LABEL START]: three warm-up starts of
# each, then the series, the programs in turn.
alternate() {
  for _ in 1 2 3; do start_starter warm-up; "$3" warm-up; [ $# -lt 5 ] || "$5" warm-up; done
  for ((i = 0; i < starts; i++)); do start_starter "$1"; "$3" "$2"; [ $# -lt 5 ] || "$5" "$4"; done
}

cd "$bin"
# The starter's first start here prepares the start screen's workspace that floor.exe points to.
alternate starter-screen floor start_floor floor-identity start_floor_identity
[ -f "$per_user/ss20/profiles/\$\$Default\$\$/ini.xml" ] || { echo "no start-screen parameter file" >&2; exit 1; }
# Without the start screen's source files no workspace is prepared and no start screen starts.
rm -rf "$all_users/ss20" "$per_user/ss20"
alternate starter-bare bare start_bare
rm -f "$rss_file"

median() { printf '%s\n' $1 | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
range() { printf '%s\n' $1 | sort -n | awk 'NR == 1 { lo = $1 } END { printf "%.1f-%.1f", lo / 1000, $1 / 1000 }'; }

# table TITLE STARTER_LABEL BASELINE_LABEL BASELINE_NAME WALL_TARGET PEAK_TARGET ("-": none)
table() {
  local s=$2 b=$3
  awk -v title="$1" -v baseline="$4" -v wall_target="$5" -v peak_target="$6" \
      -v ts="$(median "${wall[$s]}")" -v tb="$(median "${wall[$b]}")" \
      -v ms="$(median "${peak[$s]}")" -v mb="$(median "${peak[$b]}")" \
      -v rs="$(range "${wall[$s]}")" -v rb="$(range "${wall[$b]}")" '
    function row(what, unit, s, b, target,   ratio) {
      ratio = s / b
      if (target == "-") {
        printf "%-18s %9.1f %-3s %9.1f %-3s %7.2f\n", what, s, unit, b, unit, ratio
        return
      }
      printf "%-18s %9.1f %-3s %9.1f %-3s %7.2f   <= %.2f  %s\n", what, s, unit, b, unit, ratio, target,
             ratio <= target + 0 ? "PASS" : "FAIL"
      if (ratio > target + 0) failed = 1
    }
    BEGIN {
      print title
      printf "%-18s %13s %13s %7s   %s\n", "", "starter", baseline, "ratio", "target"
      row("median wall time", "ms", ts / 1000, tb / 1000, wall_target)
      row("median peak RSS", "MiB", ms / 1024, mb / 1024, peak_target)
      printf "%-18s %13s %13s\n", "wall time range", rs, rb
      exit failed
    }'
}

echo "Second start of $name.exe, $starts alternating starts against each baseline, on processor 0"
echo "(build: $build)"
failed=0
table "With the start screen, against floor.exe:" starter-screen floor floor 1.15 1.10 || failed=1
table "The same starts, against floor.exe loading the identity module and rewriting the parameter file too:" \
  starter-screen floor-identity "floor+id+xml" 1.05 1.05 || failed=1
table "Without a start screen, against bare_loader.exe:" starter-bare bare "bare loader" 1.15 - || failed=1
exit $failed
