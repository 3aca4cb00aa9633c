#!/usr/bin/env bash
# Measures, one child process a document, where Wine's XmlLite stops reading right: UTF-16 files
# around its first read, single nodes of growing size, runs of characters beyond ASCII. Each read
# is bounded by `timeout`, which ends the Wine process it started (wine64 becomes the Windows
# program, so its pid is the program's). Run by hand: bench/xml_reader_limits.sh [build folder].
set -uo pipefail
cd "$(dirname "$0")/.."
build="${1:-build/mingw}"
cmake --build "$build" --target xml_reader_probe >/dev/null || exit 1
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all
probe="$build/bench/bin/xml_reader_probe.exe"
run() {
  printf '%-40s ' "$*"
  local output
  output=$(timeout 30 "$build/wine-run" "$probe" "$@" </dev/null 2>&1 | tr -d '\r' | grep -m1 -E '^(ok|refused|wrong)|Assertion|page fault')
  local status=${PIPESTATUS[0]}
  [ "$status" = 124 ] && output="no answer within 30 s"
  echo "${output:-ended with exit code $status}"
}
# UTF-16: the file is 16 bytes plus twice the count; the first read takes 8,188 bytes.
for count in 4086 4087 10000 15000 60000; do run utf16 text ascii $count; done
run utf16 elements ascii 2000
# Single nodes in UTF-8, ASCII only, with the starter's stream (reads end after an ASCII byte).
for node in text comment cdata attribute; do
  for count in 350000 400000 1000000; do run utf8 $node ascii $count ascii-ends; done
done
# Characters beyond ASCII at the ends of reads: cut in two by whole reads, kept by the starter's.
for unit in latin snowman emoji; do
  run utf8 text $unit 10000
  run utf8 elements $unit 10000
  run utf8 elements $unit 10000 ascii-ends
done
