#!/bin/sh
# Shows the starter's upgrade question on a virtual display (Xvfb, a Wine prefix of its own with
# the X11 driver) and saves a screenshot of it: scripts/upgrade-dialog-screenshot.sh <build> <png>.
# Needs xvfb, xdotool and imagemagick; not part of CTest (the e2e tests answer the same dialog
# under the null driver).
set -eu
build=$(realpath "$1"); out=$2
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null || ! command -v import >/dev/null; then
  apt-get update -q && apt-get install -y -q xvfb xdotool imagemagick
fi
export WINEPREFIX=/tmp/upg-shot-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
Xvfb :97 -screen 0 1280x900x24 >/dev/null 2>&1 & xvfb=$!
export DISPLAY=:97
starter=
# Ends only what this script started: its own prefix's server, its Xvfb and its starter, by pid.
stop_own() {
  /usr/lib/wine/wineserver -k
  if [ -n "$starter" ]; then kill "$starter" 2>/dev/null || true; fi
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX"
}
trap stop_own EXIT INT TERM
$wine wineboot -i </dev/null >/dev/null 2>&1
inst=$WINEPREFIX/drive_c/velmora-shot/Bin
mkdir -p "$inst/x64"
cp "$build/tests/bin/variants/standard/velmora.exe" "$inst/"
cp "$build/tests/bin/test_identity.dll" "$inst/oeminfo.dll"
cp "$build/tests/bin/test_main.dll" "$inst/velmora.dll"
printf '[Identity]\nCompany=Velmora Shot\nProduct=Velmora\nVersion=0x00020019\n' >"$inst/identity.ini"
printf '[Starter]\n\n[\\Configuration]\nnPlat=sx64\n[\\Configuration\\nPlat\\x64]\nDir=sx64\n' >"$inst/velmora.ini"
user="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Velmora Shot/Velmora 25.2/Config"
mkdir -p "$user"; printf '[Options]\n' >"$user/cfg.ini"
$wine reg add 'HKCU\SOFTWARE\Velmora Shot\Velmora\25.2' /v JustUpgraded /d 1 /f </dev/null >/dev/null 2>&1
$wine 'C:\velmora-shot\Bin\velmora.exe' </dev/null >/dev/null 2>&1 & starter=$!
for i in $(seq 1 60); do
  win=$(xdotool search --name '^Velmora 25.2$' 2>/dev/null | head -1) && [ -n "$win" ] && break; sleep 0.5
done
sleep 1
[ -n "${win:-}" ] || { echo "the dialog did not appear" >&2; exit 1; }
import -window "$win" "$out"
