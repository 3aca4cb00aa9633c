#!/usr/bin/env bash
# Shows the sample's installer life cycle step by step, as an integrator would try it: installs
# what is missing, builds the sample's two Windows Installer packages (this version and the next)
# and, in a Wine prefix of its own on a virtual display, installs the first, starts the starter,
# upgrades to the second, starts again (the starter asks whether to keep the custom settings; the
# script answers "keep"), tries the refused downgrade and uninstalls. After each step it shows
# what changed: msiexec's exit code, what the custom actions printed, files and registry values.
# The prefix stays in build/mingw/installer-prefix for a look afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-tools.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw --target sample_msi >/dev/null

packages=(build/mingw/sample-msi/*.msi)
[ ${#packages[@]} -eq 2 ] || { echo "expected two packages in build/mingw/sample-msi" >&2; exit 1; }
old_msi=$PWD/${packages[0]} new_msi=$PWD/${packages[1]}
company="Velmora Sample Works" title="Velmora 25.2"
product_key="SOFTWARE\\$company\\Velmora\\25.2"
active_setup="SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\{526FC2B7-C5DF-4EE1-BC0E-AD2F2019529F}"
starter="C:\\Program Files\\$company\\$title\\Bin\\velmora.exe"
wine=/usr/lib/wine/wine64 wineserver=/usr/lib/wine/wineserver

export WINEPREFIX=$PWD/build/mingw/installer-prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
display_file=$(mktemp)
xvfb=
stop_own() {
  "$wineserver" -k 2>/dev/null || true
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null || true; fi
  rm -f "$display_file"
}
trap stop_own EXIT
[ -d "$WINEPREFIX" ] && { WINEPREFIX=$WINEPREFIX "$wineserver" -k 2>/dev/null || true; rm -rf "$WINEPREFIX"; }
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$display_file" </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 40); do [ -s "$display_file" ] && break; sleep 0.25; done
export DISPLAY=":$(head -1 "$display_file")"
echo "== A Wine prefix of its own ($WINEPREFIX) on the virtual display $DISPLAY"
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
timeout -k 5 180 "$wine" wineboot -i </dev/null >/dev/null 2>&1

drive=$WINEPREFIX/drive_c
step() { echo; echo "== $*"; }
run_msiexec() {
  echo "\$ msiexec $* /qn"
  set +e
  timeout -k 5 180 "$wine" msiexec "$@" /qn </dev/null >"$WINEPREFIX/msiexec.out" 2>&1
  local code=$?
  set -e
  sed 's/^/  printed: /' "$WINEPREFIX/msiexec.out"
  if [ "$code" -eq 67 ]; then
    echo "  exit code 67: Windows Installer's 1603 (a fatal error), modulo 256"
  else
    echo "  exit code $code"
  fi
}
# The start screen stays open a second after the starter ends; a user closes the application
# before changing its installation.
wait_for_start_screen() {
  for _ in $(seq 1 60); do
    [ -z "$(xdotool search --name '^Velmora start screen$' 2>/dev/null)" ] && break
    sleep 0.25
  done
  sleep 0.5
}
show_keys() {
  local key out=$WINEPREFIX/reg.out
  for key in "HKLM\\$product_key" "HKCU\\$product_key" "HKLM\\$active_setup" "HKCU\\$active_setup"; do
    if timeout -k 5 60 "$wine" reg query "$key" /reg:64 </dev/null >"$out" 2>/dev/null; then
      tr -d '\r' <"$out" | sed -n 's/^ \+//p' >"$out.values"
      [ -s "$out.values" ] || echo "(no values)" >"$out.values"
      while read -r line; do echo "  $key: $line"; done <"$out.values"
    else
      echo "  $key: (none)"
    fi
  done
}
show_folders() {
  local folder
  for folder in "$drive/Program Files/$company" "$drive/ProgramData/$company"; do
    if [ -d "$folder" ]; then
      echo "  ${folder#"$drive/"}: $(find "$folder" -type f | wc -l) files"
    else
      echo "  ${folder#"$drive/"}: (none)"
    fi
  done
}
start_starter() {
  echo "\$ velmora.exe -p Sample   (as the Start-menu shortcut would, with a profile)"
  set +e
  VELMORA_SAMPLE_START_SCREEN_MS=1000 timeout -k 5 60 "$wine" "$starter" -p Sample \
    </dev/null >"$WINEPREFIX/start.out" 2>&1 &
  local pid=$! window= code
  if [ "${1:-}" = answer ]; then
    for _ in $(seq 1 120); do
      window=$(xdotool search --name '^Velmora 25\.2$' 2>/dev/null | head -1)
      [ -n "$window" ] && break
      sleep 0.25
    done
    if [ -n "$window" ]; then
      echo "  the starter asks whether to keep the custom settings; answering: keep (the upper command link)"
      sleep 0.5
      eval "$(xdotool getwindowgeometry --shell "$window")"
      xdotool mousemove --window "$window" $((WIDTH / 2)) $((HEIGHT * 35 / 100)) click 1
    fi
  fi
  wait "$pid"
  code=$?
  set -e
  echo "  exit code $code; the start screen's status line: $(grep -o '<String>[^<]*</String>' \
    "$drive"/users/*/AppData/Roaming/"$company/$title/ss20/profiles/Sample/ini.xml" 2>/dev/null | sed 's/<[^>]*>//g')"
}

step "1. Install $(basename "$old_msi"): files, the product key with InstallerBuild, the shortcut, then -register"
run_msiexec /i "Z:${old_msi//\//\\}"
show_folders
show_keys

step "2. First start: the starter provisions the user's folder and shows the installer's build"
start_starter
show_keys

wait_for_start_screen
step "3. Upgrade to $(basename "$new_msi"): the old version goes (its -unregister runs: Wine sets no UPGRADINGPRODUCTCODE), the new one comes, JustUpgraded is left for this user, Active Setup's version rises (every other user is marked at their next logon) and this user's record with it"
run_msiexec /i "Z:${new_msi//\//\\}"
show_keys

step "4. First start after the upgrade: the question, asked once"
start_starter answer
show_keys

step "5. A downgrade to $(basename "$old_msi") is refused; the newer version stays"
run_msiexec /i "Z:${old_msi//\//\\}"
show_keys

wait_for_start_screen
step "6. Uninstall: -unregister, then files, folders, key and shortcut go"
run_msiexec /x "Z:${new_msi//\//\\}"
show_folders
show_keys
