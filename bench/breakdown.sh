#!/usr/bin/env bash
# Where a start spends its time: runs the starter with the sample installation, floor.exe with the
# same start screen and main module, and bare_loader.exe with the same main module, under a Wine
# trace of module loads and of the calls that mark the
# start-up steps, and prints the milestones of each. With several starts (-n) every milestone is
# the median over them. The traces stay in <build>/bench/trace. See README.md.
#
#   bench/breakdown.sh [-n STARTS] [BUILD_DIR]     defaults: 5 traced starts of each, build/mingw
set -euo pipefail

starts=5

here=$(cd "$(dirname "$0")" && pwd)
source "$here/setup.sh" "$@"
trace=$build/bench/trace
mkdir -p "$trace"

# Only these functions get relay thunks: tracing every call would slow the start many times over.
relayed='GetDC;ReleaseDC;LoadLibraryW;SHGetFolderPathW;RegOpenKeyExW;GetPrivateProfileSectionW;WriteFile;ExitProcess;CoInitializeEx;CoCreateInstance;CoUninitialize;CreateProcessW'
debug_key='HKCU\Software\Wine\Debug'
"$wine" reg add "$debug_key" /v RelayInclude /d "$relayed" /f </dev/null >/dev/null 2>&1
trap '"$wine" reg delete "$debug_key" /v RelayInclude /f </dev/null >/dev/null 2>&1; stop_wine' EXIT

# traced LABEL N COMMAND...: start N under the trace, into LABEL-N.txt; its wall time in ms goes to
# LABEL-N.wall and its milestones to LABEL-N.steps.
traced() {
  local label=$1 run=$2 begin end
  shift 2
  begin=${EPOCHREALTIME/./}
  WINEDEBUG=+timestamp,+loaddll,+relay taskset -c 0 "$wine" "$@" </dev/null >/dev/null 2>"$trace/$label-$run.txt"
  end=${EPOCHREALTIME/./}
  settle
  echo $(((end - begin) / 1000)) >"$trace/$label-$run.wall"
  awk -v main="$name.dll" -f "$here/timeline.awk" "$trace/$label-$run.txt" >"$trace/$label-$run.steps"
}

# Median milestone times over the starts of LABEL, with the step from the previous milestone.
report() {
  local label=$1
  echo "$2"
  awk -F'\t' '
    function median(list,   n, v, i, j, t) {
      n = split(list, v, " ")
      for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] + 0 > v[j] + 0; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
      return (n % 2) ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
    }
    FNR == 1 { files++ }
    FILENAME ~ /\.wall$/ { walls = walls " " $1; next }
    { at[FNR] = at[FNR] " " $1; if (files == 1) { what[FNR] = $2; rows = FNR } else if (what[FNR] != $2) differ = 1 }
    END {
      if (differ) { print "  the starts took different paths: see the traces"; exit 1 }
      printf "  %6s %6s  %s\n", "at ms", "step", "milestone"
      for (r = 1; r <= rows; r++) {
        m = median(at[r])
        step = r == 1 ? "" : sprintf("%.1f", m - previous)
        printf "  %6.1f %6s  %s\n", m, step, what[r]
        previous = m
      }
      wall = median(walls)
      printf "  whole start %.1f ms, of which %.1f ms before the image is mapped and after the last DLL detached\n", wall, wall - previous
      printf "  (process creation, Wine loader and ntdll, ending the threads and the process)\n"
    }' "$trace/$label"-*.steps "$trace/$label"-*.wall
}

cd "$bin"
rm -f "$trace"/*
for _ in 1 2; do   # warm the caches and the desktop; the first start prepares the workspace
  taskset -c 0 "$wine" "$name.exe" </dev/null >/dev/null 2>&1
  taskset -c 0 "$wine" "$tools/floor.exe" "$main_module" "$start_screen" "$parameter_file" </dev/null >/dev/null 2>&1
  taskset -c 0 "$wine" "$tools/bare_loader.exe" "$main_module" </dev/null >/dev/null 2>&1
  settle
done
for ((i = 1; i <= starts; i++)); do
  traced starter "$i" "$name.exe"
  traced floor "$i" "$tools/floor.exe" "$main_module" "$start_screen" "$parameter_file"
  traced bare "$i" "$tools/bare_loader.exe" "$main_module"
done

report starter "$name.exe with the sample installation, start screen shown ($starts traced starts, medians):"
echo
report floor "floor.exe with the same main module and start screen:"
echo
report bare "bare_loader.exe with the same main module:"
