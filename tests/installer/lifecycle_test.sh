#!/usr/bin/env bash
# The sample's installer life cycle under Wine's msiexec: the packages' own tables read back with
# msiinfo, then install, first start, upgrade (the question kept, by the installing user and by a
# second user through Active Setup), a refused downgrade, a same-version rebuild, uninstall, and a
# second round in which a new user's upgrade question is answered with a reset and a newer
# package whose -register fails is installed the way a management tool does, on a window station
# nobody sees. Runs in a Wine prefix of its own with the X11 driver on a virtual display (Xvfb),
# where the starter's question is a real window that xdotool answers.
#   lifecycle_test.sh <work folder> <staged installation> <package> <next package> <version>
#                     <next version> <company> <product> <key version> <starter file> <wine64>
#                     <wineserver> <station_run.exe> <cmake> <sample/installer folder> <wixl>
#                     <wixl-heat>
# The rebuild and the failing package are built here from the staged installation with the
# product's own build script.
# Every Wine program runs bounded (timeout) with its output in a file, never on a pipe; the test
# ends only what it started: its Xvfb by pid and its own prefix's server.
set -u
work=$1 stage=$2 old_msi=$3 new_msi=$4 old_version=$5 new_version=$6
company=$7 product=$8 key_version=$9 starter=${10} wine=${11} wineserver=${12}
station_run=${13} cmake=${14} installer_source=${15} wixl=${16} wixl_heat=${17}
title="$product $key_version"
product_key="SOFTWARE\\$company\\$product\\$key_version"
active_setup_guid="{526FC2B7-C5DF-4EE1-BC0E-AD2F2019529F}"
# The next patch after the newer package: a version that upgrades every package built here.
failing_version="${new_version%.*}.$(( ${new_version##*.} + 1 ))"

failures=0
# The time since the test began, at the end of each part, in durations.txt.
phase() { echo "$1: at $SECONDS s" >>"$work/durations.txt"; }
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

# --- A rebuild of the newer version and a newer package whose -register fails ---------------------
# Built with the product's own script, in the background while the tables are read and the prefix
# boots: the rebuild from the same staged installation (another product code, the same version);
# the failing package from a copy without the identity module, so that the starter's -register
# ends with its fatal report and 255.
mkdir -p "$work"
rm -rf "$work/packages" "$work/tables"
rebuild_msi="$work/packages/rebuild/rebuild.msi"
failing_msi="$work/packages/failing/failing.msi"
build_package() {
  # <staged installation> <output folder> <version> <package name>
  "$cmake" -DSTAGE="$1" -DOUTPUT_DIR="$2" -DWXS="$installer_source/sample.wxs" -DWIXL="$wixl" \
    -DWIXL_HEAT="$wixl_heat" -DSTARTER="$starter" -DCOMPANY="$company" -DPRODUCT="$product" \
    -DKEY_VERSION="$key_version" -DTITLE="$title" -DVERSIONS="$3" -DNAMES="$4" \
    -P "$installer_source/build_msi.cmake" >"$work/build-$4.txt" 2>&1
}
{
  mkdir -p "$work/packages" && cp -r "$stage" "$work/packages/failing-stage" &&
    rm "$work/packages/failing-stage/Bin/oeminfo.dll" &&
    build_package "$stage" "$work/packages/rebuild" "$new_version" rebuild.msi &&
    build_package "$work/packages/failing-stage" "$work/packages/failing" "$failing_version" failing.msi
} &
builder=$!
extra_packages_built() {
  wait "$builder"
  local code=$?
  builder=
  return $code
}

# --- The packages' own tables -------------------------------------------------------------------
# A table's rows, exported once per package and table.
rows() {
  local cache
  cache="$work/tables/$(basename "$1").$2"
  if [ ! -f "$cache" ]; then
    mkdir -p "$work/tables"
    msiinfo export "$1" "$2" | tail -n +4 | tr -d '\r' >"$cache.part" && mv "$cache.part" "$cache"
  fi
  cat "$cache"
}
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
  # [<terminal-server aware 0|1>]
  local type
  type=$(column "$1" CustomAction "$2" 2)
  [ -n "$type" ] || return 1
  (( (type & 63) == $3 && ((type >> 10) & 1) == $4 && ((type >> 11) & 1) == $5 &&
     ((type >> 6) & 1) == $6 && ((type >> 14) & 1) == ${7:-0} && (type & 0x300) == 0 )) ||
    { echo "  $2 has type $type"; return 1; }
}
# Upgrade rows: <msi> <action property> <minimum> <maximum> <attributes>.
upgrade_row_is() {
  local row
  row=$(awk -F'\t' -v property="$2" '$7 == property { print $2 "|" $3 "|" $5 }' <(rows "$1" Upgrade))
  [ "$row" = "$3|$4|$5" ] || { echo "  $2: '$row'"; return 1; }
}
# What ICE43 checks: a component with a non-advertised shortcut (its target names no feature) has a
# registry key path of its own under HKCU or HKMU (root 1 or -1, RegistryKeyPath attribute 4).
shortcut_components_keyed_per_user() {
  local msi=$1 shortcut component target attributes keypath root owner bad=0
  while IFS=$'\t' read -r shortcut _ _ component target _; do
    [ -n "$(column "$msi" Feature "$target" 1)" ] && continue
    attributes=$(column "$msi" Component "$component" 4)
    keypath=$(column "$msi" Component "$component" 6)
    root=$(column "$msi" Registry "$keypath" 2)
    owner=$(column "$msi" Registry "$keypath" 6)
    if (( (attributes & 4) == 0 )) || [ "$owner" != "$component" ] || { [ "$root" != 1 ] && [ "$root" != -1 ]; }; then
      echo "  $shortcut: component $component, attributes $attributes, key path '$keypath' (root '$root', of '$owner')"
      bad=1
    fi
  done < <(rows "$msi" Shortcut)
  return $bad
}
# What ICE69 checks: a formatted [#file] or [$component] in a shortcut or a registry value names a
# file or a component of the row's own component.
no_cross_component_references() {
  local msi=$1 table key component text reference referenced bad=0
  while IFS='|' read -r table key component text; do
    while read -r reference; do
      [ -n "$reference" ] || continue
      if [ "${reference:1:1}" = '#' ]; then
        referenced=$(column "$msi" File "${reference:2:-1}" 2)
      else
        referenced=${reference:2:-1}
      fi
      [ "$referenced" = "$component" ] || { echo "  $table $key ($component) names $reference of '$referenced'"; bad=1; }
    done < <(grep -o '\[[#$][^]]*\]' <<<"$text")
  done < <(awk -F'\t' '{ print "Shortcut|" $1 "|" $4 "|" $5 " " $6 " " $12 }' <(rows "$msi" Shortcut)
           awk -F'\t' '{ print "Registry|" $1 "|" $6 "|" $3 " " $4 " " $5 }' <(rows "$msi" Registry))
  return $bad
}
# The Active Setup component's rows: <msi> <value name> -> "<root>|<key>|<value>".
active_setup_row() {
  awk -F'\t' -v name="$2" '$6 == "ActiveSetup" && $4 == name { print $2 "|" $3 "|" $5 }' <(rows "$1" Registry)
}
condition_of() { column "$1" InstallExecuteSequence "$2" 2; }

check_tables() {
  local msi=$1 version=$2 name
  name=$(basename "$msi")
  # RemoveExistingProducts inside the transaction: after InstallInitialize, before the first
  # action that writes to the script (ProcessComponents).
  check "$name: actions in life-cycle order" sequence_in_order "$msi" FindRelatedProducts LaunchConditions \
    InstallValidate SetMarkerTool InstallInitialize RemoveExistingProducts ProcessComponents UnregisterModules \
    RemoveRegistryValues RemoveShortcuts RemoveFiles InstallFiles CreateShortcuts WriteRegistryValues \
    RegisterModules MarkUpgrade RecordActiveSetup RegisterProduct InstallFinalize
  check "$name: every component is 64-bit" every_component_64bit "$msi"
  check "$name: -register deferred, as the system account, checked" action_type_is "$msi" RegisterModules 18 1 1 0
  check "$name: -unregister deferred, as the system account, not checked" \
    action_type_is "$msi" UnregisterModules 18 1 1 1
  check "$name: the upgrade marker written deferred, impersonated, terminal-server aware, not checked" \
    action_type_is "$msi" MarkUpgrade 50 1 0 1 1
  check "$name: the installing user's Active Setup record written the same way" \
    action_type_is "$msi" RecordActiveSetup 50 1 0 1 1
  check "$name: the marker's tool named by an immediate action" action_type_is "$msi" SetMarkerTool 51 0 0 0
  check "$name: -register runs the starter with -register" \
    test "$(column "$msi" CustomAction RegisterModules 3):$(column "$msi" CustomAction RegisterModules 4)" = \
    "StarterFile:-register"
  check "$name: -unregister runs on uninstall, not while an upgrade removes" \
    test "$(condition_of "$msi" UnregisterModules)" = 'REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE'
  check "$name: the marker only on an upgrade" \
    test "$(condition_of "$msi" MarkUpgrade)" = 'WIX_UPGRADE_DETECTED AND NOT REMOVE~="ALL"'
  check "$name: the Active Setup record on every installation, not on removal" \
    test "$(condition_of "$msi" RecordActiveSetup)" = 'NOT REMOVE~="ALL"'
  check "$name: the record names this version" grep -qF "/v Version /t REG_SZ /d ${version//./,} /f" \
    <(column "$msi" CustomAction RecordActiveSetup 4)
  # Upgrade attributes: 2 only detect, 256 minimum included, 512 maximum included.
  check "$name: older versions are upgraded" upgrade_row_is "$msi" WIX_UPGRADE_DETECTED 0.0.0 "$version" 256
  check "$name: a rebuild of this version replaces it" \
    upgrade_row_is "$msi" SAMEVERSION_DETECTED "$version" "$version" 768
  check "$name: newer versions are only detected" upgrade_row_is "$msi" WIX_DOWNGRADE_DETECTED "$version" "" 2
  check "$name: the detected products reach the installation's server side" test \
    "$(tr ';' '\n' <<<"$(column "$msi" Property SecureCustomProperties 2)" | sort | tr '\n' ' ')" = \
    "SAMEVERSION_DETECTED WIX_DOWNGRADE_DETECTED WIX_UPGRADE_DETECTED "
  local active_setup_key="SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\$active_setup_guid\\"
  check "$name: Active Setup's version is the package's" \
    test "$(active_setup_row "$msi" Version)" = "2|$active_setup_key|${version//./,}"
  check "$name: Active Setup's stub leaves JustUpgraded in the user's product key" \
    test "$(active_setup_row "$msi" StubPath)" = \
    "2|$active_setup_key|\"[System64Folder]reg.exe\" add \"HKCU\\$product_key\" /v JustUpgraded /t REG_SZ /d 1 /f"
  check "$name: the Active Setup key goes whole on uninstall" test "$(active_setup_row "$msi" -)" = "2|$active_setup_key|"
  check "$name: shortcuts keyed per user or per scope (ICE43)" shortcut_components_keyed_per_user "$msi"
  check "$name: no formatted reference crosses components (ICE69)" no_cross_component_references "$msi"
  check "$name: the starter file is $starter" test "$(column "$msi" File StarterFile 3)" = "$starter"
  # An advertised shortcut names a feature as its target; this one names the starter's path.
  check "$name: the shortcut is not advertised" \
    test "$(column "$msi" Shortcut StarterShortcut 5)" = "[BINDIR]$starter"
  check "$name: InstallerBuild $version under HKLM" test \
    "$(awk -F'\t' '$4 == "InstallerBuild" { print $2 "|" $3 "|" $5 }' <(rows "$msi" Registry))" = \
    "2|SOFTWARE\\$company\\$product\\$key_version|$version"
  check "$name: product version $version" test "$(column "$msi" Property ProductVersion 2)" = "$version"
  check "$name: per-machine" test "$(column "$msi" Property ALLUSERS 2)" = 1
  check "$name: x64 package" grep -q '^Template: x64;' <(msiinfo suminfo "$msi")
  check "$name: a newer version refuses to be replaced" \
    test "$(column "$msi" LaunchCondition 'NOT WIX_DOWNGRADE_DETECTED' 1)" = 'NOT WIX_DOWNGRADE_DETECTED'
}

# --- A Wine prefix of its own on a virtual display ---------------------------------------------
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A run that was killed may have left its prefix's server running: end it with the prefix.
if [ -d "$WINEPREFIX" ]; then "$wineserver" -k 2>/dev/null; fi
rm -rf "$WINEPREFIX" "$work"/*.log "$work/durations.txt"
xvfb=
start_pid=
booter=
stop_own() {
  if [ -n "$builder" ]; then kill "$builder" 2>/dev/null; fi
  if [ -n "$booter" ]; then kill "$booter" 2>/dev/null; fi
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
# The prefix boots in the background while the tables are read.
timeout -k 5 180 "$wine" wineboot -i </dev/null >/dev/null 2>&1 &
booter=$!

check "the packages' names sort as their versions" test "$(basename "$old_msi")" \< "$(basename "$new_msi")"
check_tables "$old_msi" "$old_version"
check_tables "$new_msi" "$new_version"
old_code=$(column "$old_msi" Property ProductCode 2)
new_code=$(column "$new_msi" Property ProductCode 2)
check "the two packages are different products" test -n "$old_code" -a "$old_code" != "$new_code"

wait "$booter"
booter=
phase "tables read, packages built, prefix booted"
require "the prefix boots" test -d "$WINEPREFIX/drive_c/users"
require "a rebuild of $new_version and a package $failing_version without the identity module" extra_packages_built
rebuild_code=$(column "$rebuild_msi" Property ProductCode 2)
failing_code=$(column "$failing_msi" Property ProductCode 2)
check "the rebuild is another product" test -n "$rebuild_code" -a "$rebuild_code" != "$new_code"
check "the rebuild has the same version" test "$(column "$rebuild_msi" Property ProductVersion 2)" = "$new_version"

drive="$WINEPREFIX/drive_c"
user_home=$(find "$drive/users" -mindepth 1 -maxdepth 1 -type d ! -name Public | head -1)
program="$drive/Program Files/$company/$title"
all_users="$drive/ProgramData/$company/$title"
user_folder="$user_home/AppData/Roaming/$company/$title"
# Wine's msiexec puts a per-machine package's ProgramMenuFolder in the user's Start menu.
shortcut="$user_home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$title.lnk"
starter_path="C:\\Program Files\\$company\\$title\\Bin\\$starter"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
machine_active_setup="HKLM\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\$active_setup_guid"
user_active_setup="HKCU\\SOFTWARE\\Microsoft\\Active Setup\\Installed Components\\$active_setup_guid"
dialog_title="^${title//./\\.}\$"

windows_path() { printf 'Z:%s' "${1//\//\\}"; }
# The Windows name of a path inside the prefix's C: drive.
drive_path() { local path="C:${1#"$drive"}"; printf '%s' "${path//\//\\}"; }
# msiexec's exit code as Linux sees it: modulo 256 (1603 arrives as 67).
msiexec_exit() {
  local log=$1 began=$SECONDS
  shift
  timeout -k 5 180 "$wine" msiexec "$@" /qn </dev/null >"$work/$log" 2>&1
  echo $?
  echo "$log: $((SECONDS - began)) s" >>"$work/durations.txt"
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
# How many products of this sample Windows Installer has registered.
installed_products() {
  timeout -k 5 60 "$wine" reg query "$uninstall_key" /s /reg:64 </dev/null >"$work/products.out" 2>/dev/null
  tr -d '\r' <"$work/products.out" | grep -c "DisplayName *REG_SZ *$title Sample\$"
}
# Explorer's part at a user's logon, which Wine does not play: when the machine's Active Setup
# version is newer than the user's record, or the user has none, it runs StubPath as a command line
# and records the machine's version for the user. Sets stub_ran to yes or no.
stub_ran=
version_below() { [ "$1" != "$2" ] && [ "$(printf '%s\n%s\n' "${1//,/.}" "${2//,/.}" | sort -V | head -1)" = "${1//,/.}" ]; }
logon() {
  local machine user
  machine=$(reg_value "$machine_active_setup" Version)
  user=$(reg_value "$user_active_setup" Version)
  stub_ran=no
  [ "$machine" != "<none>" ] || return 0
  if [ "$user" = "<none>" ] || version_below "$user" "$machine"; then
    timeout -k 5 60 "$wine" "$station_run" here "$(reg_value "$machine_active_setup" StubPath)" \
      </dev/null >>"$work/logon.log" 2>&1
    timeout -k 5 60 "$wine" reg add "$user_active_setup" /v Version /t REG_SZ /d "$machine" /f \
      </dev/null >/dev/null 2>&1
    stub_ran=yes
  fi
}
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
  VELMORA_SAMPLE_START_SCREEN_MS=0 timeout -k 5 "$2" "$wine" "$starter_path" -p Sample \
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
# without a window manager gets only late. The geometry is read after a pause (the dialog may still
# be sizing itself) and the click repeated while the dialog stays: a click that came too early is lost.
answer() {
  local share=35
  [ "$1" = reset ] && share=75
  for _ in 1 2 3 4; do
    sleep 0.5
    eval "$(xdotool getwindowgeometry --shell "$dialog" 2>/dev/null)" || return 0
    xdotool mousemove --window "$dialog" $((WIDTH / 2)) $((HEIGHT * share / 100)) click 1
    for _ in $(seq 1 12); do
      kill -0 "$start_pid" 2>/dev/null || return 0
      xdotool search --name "$dialog_title" 2>/dev/null | grep -qx "$dialog" || return 0
      sleep 0.25
    done
  done
}
# The start screen outlives the starter by its display time; an installer that removes its file
# meanwhile finds it in use. The user closes it first: wait for those of this prefix to end.
start_screens_of_prefix() {
  local proc program
  for proc in /proc/[0-9]*; do
    # The program name read without a child process: the machine may run hundreds of processes.
    # A process may end between the listing and the reading: its files are gone then.
    program=
    { IFS= read -r -d '' program <"$proc/cmdline"; } 2>/dev/null
    [[ "$program" == *vuvevorodidaviz.exe* ]] || continue
    { tr '\0' '\n' <"$proc/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "${proc#/proc/}"
  done
}
start_screens_closed() {
  local began=$SECONDS
  for _ in $(seq 1 120); do
    if [ -z "$(start_screens_of_prefix)" ]; then
      echo "start screens closed: $((SECONDS - began)) s" >>"$work/durations.txt"
      return 0
    fi
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
  check "$round: Active Setup's version rose to the new version's" \
    test "$(reg_value "$machine_active_setup" Version)" = "${new_version//./,}"
  check "$round: the installing user's record rose with it" \
    test "$(reg_value "$user_active_setup" Version)" = "${new_version//./,}"
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
check "Active Setup's version is the package's" test "$(reg_value "$machine_active_setup" Version)" = "${old_version//./,}"
check "Active Setup's stub names reg.exe of the 64-bit system folder" \
  grep -qiF '"C:\windows\system32\reg.exe" add' <<<"$(reg_value "$machine_active_setup" StubPath)"
check "the installing user's Active Setup record is the package's version" \
  test "$(reg_value "$user_active_setup" Version)" = "${old_version//./,}"

first_start "$old_version" keep
phase "installed, first start"
mkdir -p "$user_folder/Config" && echo "the user's own" >"$user_folder/Config/custom.cfg"
upgrade_and_answer keep keep
phase "upgraded, asked"
check "keep: the user's settings stay" test -f "$user_folder/Config/custom.cfg"
check "keep: nothing was backed up" missing "$user_folder/Config/BackUpCfg01"
check "keep: the per-user folder is recorded again" \
  test "$(reg_value "HKCU\\$product_key" UserDataDir)" = "$(drive_path "$user_folder")"
start again.log 30
check "the question is asked once: no dialog on the next start" never_asks
check "the question is asked once: the next start ends with 0" ended_with_zero
logon
check "the question is asked once: the installing user's next logon runs no stub" test "$stub_ran" = no

# A second user who used this version: Wine has one user, so that user's product key and Active
# Setup record are cleared (the per-user folder with its settings stays, as another user's would)
# and logon() plays Explorer's part.
timeout -k 5 60 "$wine" reg delete "HKCU\\$product_key" /f </dev/null >/dev/null 2>&1
timeout -k 5 60 "$wine" reg delete "$user_active_setup" /f </dev/null >/dev/null 2>&1
logon
check "second user: the logon after the upgrade runs the stub" test "$stub_ran" = yes
check "second user: the stub left JustUpgraded" test "$(reg_value "HKCU\\$product_key" JustUpgraded)" = 1
start second-user.log 60
require "second user: the next start asks the question" dialog_appears
answer keep
check "second user: the start ends with 0 once answered" ended_with_zero
check "second user: the marker is gone" test "$(reg_value "HKCU\\$product_key" JustUpgraded)" = "<none>"
logon
check "second user: asked once, the next logon runs no stub" test "$stub_ran" = no
phase "second user asked"

code=$(msiexec_exit downgrade.log /i "$(windows_path "$old_msi")")
check "the downgrade is refused with 1603 (67 modulo 256)" test "$code" = 67
check "the newer version's InstallerBuild stays" test "$(reg_value "HKLM\\$product_key" InstallerBuild)" = "$new_version"
check "the newer version's files stay" same_tree "$stage/Bin" "$program/Bin"
check "the newer version stays registered" key_exists "$uninstall_key\\$new_code"
check "the older version was not registered" no_key "$uninstall_key\\$old_code"
check "the refused downgrade ran neither -register nor -unregister" \
  test "$(grep -c 'VmSampleReg.dll' "$work/downgrade.log")" = 0

check "the start screens have closed" start_screens_closed
require "the same-version rebuild ends with 0" \
  test "$(msiexec_exit rebuild.log /i "$(windows_path "$rebuild_msi")")" = 0
check "the rebuild replaced the installed product" no_key "$uninstall_key\\$new_code"
check "the rebuild is registered" key_exists "$uninstall_key\\$rebuild_code"
check "one product of the sample is installed" test "$(installed_products)" = 1
check "the rebuild's files are the staged installation's" same_tree "$stage/Bin" "$program/Bin"
check "a rebuild is no upgrade: nobody is asked" test "$(reg_value "HKCU\\$product_key" JustUpgraded)" = "<none>"
check "a rebuild keeps Active Setup's version" test "$(reg_value "$machine_active_setup" Version)" = "${new_version//./,}"
code=$(msiexec_exit downgrade-rebuild.log /i "$(windows_path "$old_msi")")
check "the rebuild refuses the downgrade too" test "$code" = 67

phase "downgrade refused, rebuild installed"
require "the uninstallation ends with 0" test "$(msiexec_exit uninstall.log /x "$(windows_path "$rebuild_msi")")" = 0
check "uninstalling removes the Active Setup component" no_key "$machine_active_setup"
check "-unregister ran before the files went" log_has uninstall.log "$unregistered_line"
check "-unregister took the provisioning record" test "$(reg_value "HKCU\\$product_key" UserDataDir)" = "<none>"
check "the program folders are gone, the company's too" missing "$drive/Program Files/$company"
check "the all-users folders are gone, the company's too" missing "$drive/ProgramData/$company"
check "the product key is gone (64-bit view)" no_key "HKLM\\SOFTWARE\\$company"
check "nothing in the 32-bit view" no_key "HKLM\\SOFTWARE\\$company" /reg:32
check "the shortcut is gone" missing "$shortcut"
check "the product registration is gone" no_key "$uninstall_key\\$rebuild_code"
check "the user's own settings stay after uninstalling" test -f "$user_folder/Config/custom.cfg"

phase "uninstalled"

# --- Second round: a new user upgrades and resets ------------------------------------------------
rm -rf "$user_home/AppData/Roaming/$company"
timeout -k 5 60 "$wine" reg delete "HKCU\\SOFTWARE\\$company" /f </dev/null >/dev/null 2>&1
require "reset: the installation ends with 0" test "$(msiexec_exit install-reset.log /i "$(windows_path "$old_msi")")" = 0
first_start "$old_version" reset
echo "the user's own" >"$user_folder/Config/custom.cfg"
upgrade_and_answer reset reset
check "reset: the user's settings moved to the backup" test -f "$user_folder/Config/BackUpCfg01/custom.cfg"
check "reset: and left the settings folder" missing "$user_folder/Config/custom.cfg"

phase "second round"

# --- A management tool's upgrade whose -register fails --------------------------------------------
# msiexec runs on a window station nobody sees, as under a management tool in session 0: the
# starter's fatal report must end -register at once instead of waiting on a box.
check "failing: the start screens have closed" start_screens_closed
began=$SECONDS
timeout -k 5 120 "$wine" "$station_run" hidden "msiexec /i \"$(windows_path "$failing_msi")\" /qn" \
  </dev/null >"$work/failing.log" 2>&1
code=$?
check "failing: the upgrade fails at once (1627 under Wine, 91 modulo 256)" test "$code" = 91
check "failing: within a minute" test $((SECONDS - began)) -lt 60
check "failing: the starter's report reached the installer's output" \
  log_has failing.log "Error: Some of application components are missing or corrupted"
check "failing: the newer version is not registered" no_key "$uninstall_key\\$failing_code"
check "failing: InstallerBuild is not the failing version's" \
  test "$(reg_value "HKLM\\$product_key" InstallerBuild)" != "$failing_version"
# On Windows the old version's removal rolls back with the failure and the old version stays,
# files and InstallerBuild included. Wine's msiexec removes it with a separate uninstallation when
# RemoveExistingProducts runs, outside the transaction, so here it is gone.
check "failing: under Wine the installed version went with the failure" no_key "$uninstall_key\\$new_code"
phase "failed upgrade"

finish
