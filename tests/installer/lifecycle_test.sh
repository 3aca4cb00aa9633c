#!/usr/bin/env bash
# The sample's installer life cycle under Wine's msiexec: the two packages' own tables read back
# with msiinfo, then install, first start, upgrade (the question kept), a refused downgrade and
# uninstall, and a second round in which a new user's upgrade question is answered with a reset.
# Runs in a Wine prefix of its own with the X11 driver on a virtual display (Xvfb), where the
# starter's question is a real window that xdotool answers.
#   lifecycle_test.sh <work folder> <staged installation> <package> <next package> <version>
#                     <next version> <company> <product> <key version> <starter file> <wine64>
#                     <wineserver>
# Every Wine program runs bounded (timeout) with its output in a file, never on a pipe; the test
# ends only what it started: its Xvfb by pid and its own prefix's server.
set -u
work=$1 stage=$2 old_msi=$3 new_msi=$4 old_version=$5 new_version=$6
company=$7 product=$8 key_version=$9 starter=${10} wine=${11} wineserver=${12}
title="$product $key_version"

failures=0
pass() { echo "ok - $1"; }
fail() { echo "not ok - $1"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
# A step the rest depends on: without it, what follows would only report consequences.
require() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; finish; fi; }
finish() {
  echo "$failures check(s) failed; logs in $work"
  [ "$failures" -eq 0 ] && exit 0
  exit 1
}

for tool in Xvfb xdotool msiinfo timeout; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/install-tools.sh installs it)"; exit 1; }
done

# --- The packages' own tables -------------------------------------------------------------------
rows() { msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r'; }
column() { awk -F'\t' -v key="$3" -v col="$4" '$1 == key { print $col }' <(rows "$1" "$2"); }
sequence_of() { column "$1" InstallExecuteSequence "$2" 3; }

sequence_in_order() {
  local msi=$1 previous=-1 action number
  shift
  for action in "$@"; do
    number=$(sequence_of "$msi" "$action")
    if [ -z "$number" ] || [ "$number" -le "$previous" ]; then
      echo "  $action at '${number}' does not follow $previous"
      return 1
    fi
    previous=$number
  done
}
every_component_64bit() {
  # msidbComponentAttributes64bit (256): without it the registry values land in Wow6432Node.
  awk -F'\t' '{ if (int($4 / 256) % 2 != 1) { print "  32-bit component " $1; bad = 1 } } END { exit bad }' \
    <(rows "$1" Component)
}
action_type_is() {
  # <msi> <action> <base type> <deferred 0|1> <system account 0|1> <return ignored 0|1>
  local type
  type=$(column "$1" CustomAction "$2" 2)
  [ -n "$type" ] || return 1
  (( (type & 63) == $3 && ((type >> 10) & 1) == $4 && ((type >> 11) & 1) == $5 &&
     ((type >> 6) & 1) == $6 && (type & 0x300) == 0 )) || { echo "  $2 has type $type"; return 1; }
}
condition_of() { column "$1" InstallExecuteSequence "$2" 2; }

check_tables() {
  local msi=$1 version=$2 name
  name=$(basename "$msi")
  check "$name: actions in life-cycle order" sequence_in_order "$msi" FindRelatedProducts LaunchConditions \
    InstallValidate RemoveExistingProducts SetMarkerTool InstallInitialize UnregisterModules \
    RemoveRegistryValues RemoveShortcuts RemoveFiles InstallFiles CreateShortcuts WriteRegistryValues \
    RegisterModules MarkUpgrade RegisterProduct InstallFinalize
  check "$name: every component is 64-bit" every_component_64bit "$msi"
  check "$name: -register deferred, as the system account, checked" action_type_is "$msi" RegisterModules 18 1 1 0
  check "$name: -unregister deferred, as the system account, not checked" \
    action_type_is "$msi" UnregisterModules 18 1 1 1
  check "$name: the upgrade marker written deferred, impersonated" action_type_is "$msi" MarkUpgrade 50 1 0 0
  check "$name: the marker's tool named by an immediate action" action_type_is "$msi" SetMarkerTool 51 0 0 0
  check "$name: -register runs the starter with -register" \
    test "$(column "$msi" CustomAction RegisterModules 3):$(column "$msi" CustomAction RegisterModules 4)" = \
    "StarterFile:-register"
  check "$name: -unregister runs on uninstall, not while an upgrade removes" \
    test "$(condition_of "$msi" UnregisterModules)" = 'REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE'
  check "$name: the marker only on an upgrade" \
    test "$(condition_of "$msi" MarkUpgrade)" = 'WIX_UPGRADE_DETECTED AND NOT REMOVE~="ALL"'
  check "$name: the starter file is $starter" test "$(column "$msi" File StarterFile 3)" = "$starter"
  # An advertised shortcut names a feature as its target; this one names the starter's file.
  check "$name: the shortcut is not advertised" test "$(column "$msi" Shortcut StarterShortcut 5)" = "[#StarterFile]"
  check "$name: InstallerBuild $version under HKLM" test \
    "$(awk -F'\t' '$4 == "InstallerBuild" { print $2 "|" $3 "|" $5 }' <(rows "$msi" Registry))" = \
    "2|SOFTWARE\\$company\\$product\\$key_version|$version"
  check "$name: product version $version" test "$(column "$msi" Property ProductVersion 2)" = "$version"
  check "$name: per-machine" test "$(column "$msi" Property ALLUSERS 2)" = 1
  check "$name: x64 package" grep -q '^Template: x64;' <(msiinfo suminfo "$msi")
  check "$name: a newer version refuses to be replaced" \
    test "$(column "$msi" LaunchCondition 'NOT WIX_DOWNGRADE_DETECTED' 1)" = 'NOT WIX_DOWNGRADE_DETECTED'
}

check "the packages' names sort as their versions" test "$(basename "$old_msi")" \< "$(basename "$new_msi")"
check_tables "$old_msi" "$old_version"
check_tables "$new_msi" "$new_version"
old_code=$(column "$old_msi" Property ProductCode 2)
new_code=$(column "$new_msi" Property ProductCode 2)
check "the two packages are different products" test -n "$old_code" -a "$old_code" != "$new_code"

# --- A Wine prefix of its own on a virtual display ---------------------------------------------
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A run that was killed may have left its prefix's server running: end it with the prefix.
if [ -d "$WINEPREFIX" ]; then "$wineserver" -k 2>/dev/null; fi
rm -rf "$WINEPREFIX" "$work"/*.log
xvfb=
start_pid=
stop_own() {
  if [ -n "$start_pid" ]; then kill "$start_pid" 2>/dev/null; fi
  "$wineserver" -k 2>/dev/null
  if [ -n "$xvfb" ]; then kill "$xvfb" 2>/dev/null; fi
  rm -rf "$WINEPREFIX"
}
trap stop_own EXIT
trap 'exit 1' INT TERM

: >"$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 40); do [ -s "$work/display" ] && break; sleep 0.25; done
require "a virtual display" test -s "$work/display"
export DISPLAY=":$(head -1 "$work/display")"
# The server and the services of the boot get no standard handles, so no later pipe can hang.
mkdir -p "$WINEPREFIX"
"$wineserver" -p </dev/null >/dev/null 2>&1
timeout -k 5 180 "$wine" wineboot -i </dev/null >/dev/null 2>&1
require "the prefix boots" test -d "$WINEPREFIX/drive_c/users"

drive="$WINEPREFIX/drive_c"
user_home=$(find "$drive/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
program="$drive/Program Files/$company/$title"
all_users="$drive/ProgramData/$company/$title"
user_folder="$user_home/AppData/Roaming/$company/$title"
# Wine's msiexec puts a per-machine package's ProgramMenuFolder in the user's Start menu.
shortcut="$user_home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$title.lnk"
starter_path="C:\\Program Files\\$company\\$title\\Bin\\$starter"
product_key="SOFTWARE\\$company\\$product\\$key_version"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
dialog_title="^${title//./\\.}\$"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# The Windows name of a path inside the prefix's C: drive.
drive_path() { local path="C:${1#"$drive"}"; printf '%s' "${path//\//\\}"; }
# msiexec's exit code as Linux sees it: modulo 256 (1603 arrives as 67).
msiexec_exit() {
  local log=$1
  shift
  timeout -k 5 180 "$wine" msiexec "$@" /qn </dev/null >"$work/$log" 2>&1
  echo $?
}
# A registry value, or "<none>"; <view> is /reg:64 or /reg:32.
reg_value() {
  local key=$1 name=$2 view=${3:-/reg:64} out="$work/reg.out"
  if timeout -k 5 60 "$wine" reg query "$key" /v "$name" "$view" </dev/null >"$out" 2>/dev/null; then
    tr -d '\r' <"$out" | sed -n "s/^ *$name *REG_[A-Z_]* *//p"
  else
    echo "<none>"
  fi
}
key_exists() { timeout -k 5 60 "$wine" reg query "$1" "${2:-/reg:64}" </dev/null >/dev/null 2>&1; }
no_key() { ! key_exists "$@"; }
same_tree() { diff -r "$1" "$2" >/dev/null; }
missing() {
  [ ! -e "$1" ] && return 0
  find "$1" | sed 's/^/  left: /' | head -20
  return 1
}
log_has() { grep -qF "$2" "$work/$1"; }
log_lacks() { ! log_has "$@"; }
registered_line="VmSampleReg.dll: registered for $starter_path"
unregistered_line="VmSampleReg.dll: unregistered for $starter_path"
# -unregister, then -register: the old version's modules go before the new version's come.
unregistered_then_registered() {
  local first second
  first=$(grep -nF "$unregistered_line" "$work/$1" | head -1 | cut -d: -f1)
  second=$(grep -nF "$registered_line" "$work/$1" | head -1 | cut -d: -f1)
  [ -n "$first" ] && [ -n "$second" ] && [ "$first" -lt "$second" ]
}

# The Start-menu shortcut's way: the starter, started in the background and bounded.
start() {
  VELMORA_SAMPLE_START_SCREEN_MS=200 timeout -k 5 "$2" "$wine" "$starter_path" -p Sample \
    </dev/null >"$work/$1" 2>&1 &
  start_pid=$!
}
ended_with_zero() {
  wait "$start_pid"
  local code=$?
  start_pid=
  [ "$code" -eq 0 ] || { echo "  the start ended with $code"; return 1; }
}
dialog=
dialog_appears() {
  for _ in $(seq 1 120); do
    dialog=$(xdotool search --name "$dialog_title" 2>/dev/null | head -1)
    [ -n "$dialog" ] && return 0
    kill -0 "$start_pid" 2>/dev/null || return 1
    sleep 0.25
  done
  return 1
}
no_dialog() { [ -z "$(xdotool search --name "$dialog_title" 2>/dev/null)" ]; }
never_asks() {
  while kill -0 "$start_pid" 2>/dev/null; do
    no_dialog || return 1
    sleep 0.25
  done
}
# The dialog sizes itself to its texts: the first command link, keep, fills most of its upper
# half, the second, reset, most of its lower half. A click needs no keyboard focus, which a window
# without a window manager gets only late.
answer() {
  local width height share=35
  eval "$(xdotool getwindowgeometry --shell "$dialog")"
  width=$WIDTH height=$HEIGHT
  [ "$1" = reset ] && share=75
  sleep 0.5
  xdotool mousemove --window "$dialog" $((width / 2)) $((height * share / 100)) click 1
}
# The start screen outlives the starter by its display time; an installer that removes its file
# meanwhile finds it in use. The user closes it first: wait for those of this prefix to end.
start_screens_of_prefix() {
  local proc
  for proc in /proc/[0-9]*; do
    # A process may end between the listing and the reading: its files are gone then.
    { tr '\0' ' ' <"$proc/cmdline"; } 2>/dev/null | grep -q '^vuvevorodidaviz\.exe ' || continue
    { tr '\0' '\n' <"$proc/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "${proc#/proc/}"
  done
}
start_screens_closed() {
  for _ in $(seq 1 120); do
    [ -z "$(start_screens_of_prefix)" ] && return 0
    sleep 0.25
  done
  return 1
}
status_line() { grep -o '<String>[^<]*</String>' "$user_folder/ss20/profiles/Sample/ini.xml" 2>/dev/null; }

# First start of a user after an installation of <version>.
first_start() {
  local version=$1 round=$2
  start "start-$round.log" 60
  check "$round: the first start ends with 0" ended_with_zero
  check "$round: it provisioned the per-user folder" test \
    "$(reg_value "HKCU\\$product_key" UserDataDir)" = "$(drive_path "$user_folder")"
  check "$round: the default user data was copied" test -f "$user_folder/Templates/A3 Landscape.dwt"
  check "$round: the start screen's status line shows the installer's build" \
    test "$(status_line)" = "<String>Ready ($version)</String>"
}

# Upgrade to the next version and answer the question with <answer>.
upgrade_and_answer() {
  local answer=$1 round=$2
  check "$round: the start screen has closed" start_screens_closed
  require "$round: the upgrade ends with 0" test "$(msiexec_exit "upgrade-$round.log" /i "$(windows_path "$new_msi")")" = 0
  check "$round: InstallerBuild is the new version's" \
    test "$(reg_value "HKLM\\$product_key" InstallerBuild)" = "$new_version"
  check "$round: the upgrade left JustUpgraded for the user" test "$(reg_value "HKCU\\$product_key" JustUpgraded)" = 1
  check "$round: the old version's modules unregistered before the new version's registered" \
    unregistered_then_registered "upgrade-$round.log"
  # Wine's msiexec does not set UPGRADINGPRODUCTCODE while it removes the old version, so
  # -unregister runs then too: the untouched default data and the provisioning record go.
  check "$round: under Wine -unregister also ran while the old version was removed" \
    test "$(reg_value "HKCU\\$product_key" UserDataDir)" = "<none>"
  check "$round: the old version's product registration is gone" no_key "$uninstall_key\\$old_code"
  check "$round: the new version is registered" key_exists "$uninstall_key\\$new_code"

  start "upgraded-start-$round.log" 60
  require "$round: the first start after the upgrade asks the question" dialog_appears
  answer "$answer"
  check "$round: the start ends with 0 once answered ($answer)" ended_with_zero
  check "$round: the marker is gone" test "$(reg_value "HKCU\\$product_key" JustUpgraded)" = "<none>"
  check "$round: the status line shows the new build" test "$(status_line)" = "<String>Ready ($new_version)</String>"
}

# --- First round: install, start, upgrade (keep), downgrade, uninstall ---------------------------
require "the installation ends with 0" test "$(msiexec_exit install.log /i "$(windows_path "$old_msi")")" = 0
check "the program files are the staged installation's" same_tree "$stage/Bin" "$program/Bin"
check "the packages are the staged installation's" same_tree "$stage/Packages" "$program/Packages"
check "the all-users start-screen source is under ProgramData" same_tree "$stage/AllUsers" "$all_users"
check "InstallerBuild in the 64-bit view" test "$(reg_value "HKLM\\$product_key" InstallerBuild)" = "$old_version"
check "nothing in the 32-bit view (Wow6432Node)" no_key "HKLM\\$product_key" /reg:32
check "the Start-menu shortcut exists" test -f "$shortcut"
check "the shortcut points at the starter" grep -qF "Bin\\$starter" <(strings -a -el "$shortcut"; strings -a "$shortcut")
check "the product is registered" key_exists "$uninstall_key\\$old_code"
check "-register ran after the files were installed" log_has install.log "$registered_line"
check "nothing was unregistered" log_lacks install.log "$unregistered_line"
check "a fresh installation leaves no upgrade marker" test "$(reg_value "HKCU\\$product_key" JustUpgraded)" = "<none>"

first_start "$old_version" keep
mkdir -p "$user_folder/Config" && echo "the user's own" >"$user_folder/Config/custom.cfg"
upgrade_and_answer keep keep
check "keep: the user's settings stay" test -f "$user_folder/Config/custom.cfg"
check "keep: nothing was backed up" missing "$user_folder/Config/BackUpCfg01"
check "keep: the per-user folder is recorded again" \
  test "$(reg_value "HKCU\\$product_key" UserDataDir)" = "$(drive_path "$user_folder")"
start again.log 30
check "the question is asked once: no dialog on the next start" never_asks
check "the question is asked once: the next start ends with 0" ended_with_zero

code=$(msiexec_exit downgrade.log /i "$(windows_path "$old_msi")")
check "the downgrade is refused with 1603 (67 modulo 256)" test "$code" = 67
check "the newer version's InstallerBuild stays" test "$(reg_value "HKLM\\$product_key" InstallerBuild)" = "$new_version"
check "the newer version's files stay" same_tree "$stage/Bin" "$program/Bin"
check "the newer version stays registered" key_exists "$uninstall_key\\$new_code"
check "the older version was not registered" no_key "$uninstall_key\\$old_code"
check "the refused downgrade ran neither -register nor -unregister" \
  test "$(grep -c 'VmSampleReg.dll' "$work/downgrade.log")" = 0

check "the start screens have closed" start_screens_closed
require "the uninstallation ends with 0" test "$(msiexec_exit uninstall.log /x "$(windows_path "$new_msi")")" = 0
check "-unregister ran before the files went" log_has uninstall.log "$unregistered_line"
check "-unregister took the provisioning record" test "$(reg_value "HKCU\\$product_key" UserDataDir)" = "<none>"
check "the program folders are gone, the company's too" missing "$drive/Program Files/$company"
check "the all-users folders are gone, the company's too" missing "$drive/ProgramData/$company"
check "the product key is gone (64-bit view)" no_key "HKLM\\SOFTWARE\\$company"
check "nothing in the 32-bit view" no_key "HKLM\\SOFTWARE\\$company" /reg:32
check "the shortcut is gone" missing "$shortcut"
check "the product registration is gone" no_key "$uninstall_key\\$new_code"
check "the user's own settings stay after uninstalling" test -f "$user_folder/Config/custom.cfg"

# --- Second round: a new user upgrades and resets ------------------------------------------------
rm -rf "$user_home/AppData/Roaming/$company"
timeout -k 5 60 "$wine" reg delete "HKCU\\SOFTWARE\\$company" /f </dev/null >/dev/null 2>&1
require "reset: the installation ends with 0" test "$(msiexec_exit install-reset.log /i "$(windows_path "$old_msi")")" = 0
first_start "$old_version" reset
echo "the user's own" >"$user_folder/Config/custom.cfg"
upgrade_and_answer reset reset
check "reset: the user's settings moved to the backup" test -f "$user_folder/Config/BackUpCfg01/custom.cfg"
check "reset: and left the settings folder" missing "$user_folder/Config/custom.cfg"

finish
