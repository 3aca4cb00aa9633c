#!/usr/bin/env bash
# First-start benchmark: a user's first start provisions a generated tree of default user data
# (about 2,000 files, 60 MB) through the starter, against Wine's xcopy /E /I of the same tree, in
# alternating rounds of one series. Copy times drift with the shared disk, so the yardstick is
# always measured in the same rounds. See README.md.
#
#   bench/provisioning.sh [-n ROUNDS] [BUILD_DIR]     defaults: 5 rounds, build/mingw
set -euo pipefail

starts=5
source "$(dirname "$0")/setup.sh" "$@"

# A copy of the sample installation whose only default user data is the generated tree.
installation=$build/bench/provisioning
tree=$installation/Bin/UserData
if [ ! -f "$tree/.complete" ]; then
  rm -rf "$installation"
  mkdir -p "$installation/Bin/x64"
  cp "$bin/$name.exe" "$bin/oeminfo.dll" "$bin/$name.ini" "$installation/Bin/"
  cp "$bin/x64/$name.dll" "$installation/Bin/x64/"
  # 40 folders of 50 files, 1 to 59 KiB each (30 KiB on average), the same tree every time.
  RANDOM=7
  for ((folder = 0; folder < 40; folder++)); do
    mkdir -p "$tree/Group$folder/Parts"
    for ((file = 0; file < 50; file++)); do
      sub=$([ $((file % 5)) -eq 0 ] && echo "/Parts" || echo "")
      head -c $(((RANDOM % 59 + 1) * 1024)) /dev/urandom >"$tree/Group$folder$sub/item$file.dat"
    done
  done
  touch "$tree/.complete"
fi
echo "Tree: $(find "$tree" -type f -name '*.dat' | wc -l) files, $(du -sm "$tree" | cut -f1) MB"

target=$build/bench/xcopy-target
key='HKCU\Software\Velmora Sample Works\Velmora\25.2'

# With VX_BENCH_SCRATCH naming a folder in memory (for example /dev/shm/velmora-bench), the starter's
# and xcopy's copies land there through links: the shared disk's write-back, which can double a
# round, then takes no part in the figures, and what remains is the copying work itself.
scratch=${VX_BENCH_SCRATCH:-}

forget_user() {
  rm -rf "$per_user" "$target"
  if [ -n "$scratch" ]; then
    rm -rf "$scratch/per-user" "$scratch/xcopy-target"
    mkdir -p "$scratch/per-user" "$scratch/xcopy-target" "$(dirname "$per_user")"
    ln -s "$scratch/per-user" "$per_user"
    ln -s "$scratch/xcopy-target" "$target"
  fi
  "$wine" reg delete "$key" /v UserDataDir /f </dev/null >/dev/null 2>&1 || true
}

# Milliseconds of one command, pinned to processor 0 like the server; its output is discarded.
elapsed() {
  local begin end
  begin=${EPOCHREALTIME/./}
  taskset -c 0 "$@" </dev/null >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }
  end=${EPOCHREALTIME/./}
  echo $(((end - begin) / 1000))
}

cd "$installation/Bin"
starter_ms=() xcopy_ms=()
for ((round = 0; round <= starts; round++)); do
  forget_user
  s=$(elapsed "$wine" "$name.exe")
  settle
  x=$(elapsed "$wine" xcopy /E /I /Q "$(windows_path "$tree")" "$(windows_path "$target")")
  [ -f "$per_user/Group39/item49.dat" ] || { echo "the starter provisioned nothing" >&2; exit 1; }
  # The first round only warms the file cache.
  [ $round -gt 0 ] && starter_ms+=("$s") xcopy_ms+=("$x")
done
forget_user
[ -z "$scratch" ] || rm -rf "$per_user" "$target" "$scratch"

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
s=$(median "${starter_ms[@]}")
x=$(median "${xcopy_ms[@]}")
echo "First start with provisioning against xcopy /E /I of the same tree: $starts rounds, on processor 0"
echo "  starter rounds (ms): ${starter_ms[*]}"
echo "  xcopy rounds (ms):   ${xcopy_ms[*]}"
awk -v s="$s" -v x="$x" 'BEGIN {
  ratio = s / x
  printf "  median: starter %d ms, xcopy %d ms, ratio %.2f (target <= 0.9) %s\n", s, x, ratio, ratio <= 0.9 ? "PASS" : "FAIL"
  exit ratio > 0.9
}'
