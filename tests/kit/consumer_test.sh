#!/usr/bin/env bash
# The module kit as a writer outside this repository uses it: the build installed into a staging
# folder, the folder moved, a separate CMake project (consumer/) configured against it with
# find_package and built, and the installed starter run under Wine with the modules it built.
# Then a second compiler (clang) reads every installed header, as C and as C++.
#   consumer_test.sh <work folder> <build folder> <consumer project> <toolchain file> <wine-run>
#                    <wine prefix> <cmake> <objdump> <clang or empty> <clang's C++ include folders>
# Every Wine program runs bounded (timeout) with its output in a file, never on a pipe.
set -u
work=$1 build=$2 project=$3 toolchain=$4 wine_run=$5 prefix=$6 cmake=$7 objdump=$8 clang=$9
cxx_includes=${10}

failures=0
pass() { echo "ok - $1"; }
fail() { echo "not ok - $1"; failures=$((failures + 1)); }
check() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; fi; }
finish() {
  echo "$failures check(s) failed; logs in $work"
  [ "$failures" -eq 0 ] && exit 0
  exit 1
}
# A step the rest depends on: without it, what follows would only report consequences.
require() { local what=$1; shift; if "$@"; then pass "$what"; else fail "$what"; finish; fi; }
same() {
  [ "$1" = "$2" ] && return 0
  printf '  expected: %s\n  found:    %s\n' "$2" "$1"
  return 1
}
windows_path() { printf 'Z:%s' "${1//\//\\}"; }
logged() {  # <log file> <command...>: the command's output in the log file
  local log=$1
  shift
  "$@" >"$log" 2>&1
}

rm -rf "$work"
mkdir -p "$work"
kit=$work/moved/kit

# --- Installed, then moved: nothing in the package may name the folder it was installed to ----
require "cmake --install into an empty folder" \
  logged "$work/install.log" "$cmake" --install "$build" --prefix "$work/staging"
mkdir -p "$work/moved"
require "the installed folder moves" mv "$work/staging" "$kit"
for file in bin/velmora.exe lib/libvelmora.exe.a include/velmora/modules.h include/velmora/localization.def \
  lib/cmake/VelmoraStarter/VelmoraStarterConfig.cmake lib/cmake/VelmoraStarter/VelmoraStarterConfigVersion.cmake; do
  check "installed $file" test -f "$kit/$file"
done
check "no installed file names the staging folder" \
  test -z "$(grep -rlF -e "$work/staging" -e "$build" "$kit" 2>/dev/null)"

# A module built against major version 1 works with any 1.x starter, with no other.
cat >"$work/compatible.cmake" <<'EOF'
string(REPLACE "." ";" parts "${PACKAGE_FIND_VERSION}")
list(GET parts 0 PACKAGE_FIND_VERSION_MAJOR)
set(CMAKE_SIZEOF_VOID_P 8)
include("${VERSION_FILE}")
message("${PACKAGE_VERSION_COMPATIBLE}")
EOF
compatible_with() {
  "$cmake" -DPACKAGE_FIND_VERSION="$1" -DVERSION_FILE="$kit/lib/cmake/VelmoraStarter/VelmoraStarterConfigVersion.cmake" \
    -P "$work/compatible.cmake" 2>&1
}
check "the package answers a request for 1.0" same "$(compatible_with 1.0)" TRUE
check "the package refuses a request for 2.0" same "$(compatible_with 2.0)" FALSE

# --- The consumer project: found through CMAKE_PREFIX_PATH, built warning-free -----------------
require "consumer project configures with find_package(VelmoraStarter)" logged "$work/configure.log" \
  "$cmake" -S "$project" -B "$work/consumer" -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_PREFIX_PATH="$work/moved/kit" -DCMAKE_FIND_ROOT_PATH_MODE_PACKAGE=BOTH
require "consumer modules build" logged "$work/build.log" "$cmake" --build "$work/consumer"

exports_of() { "$objdump" -p "$1" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk '/\[/ && NR > 1 { print $3 }'; }
check "localization.def exports the decorated names only" \
  same "$(exports_of "$work/consumer/strata.dll" | tr '\n' ' ')" '?Supp_Init@@YAHPEB_W@Z ?Supp_Translate@@YAPEB_WPEB_W@Z '
check "the main module imports the starter's exports from velmora.exe" \
  grep -q 'DLL Name: velmora.exe' <("$objdump" -p "$work/consumer/velmora.dll")

# --- The installed starter with the modules -----------------------------------------------------
bin=$work/application/Bin
mkdir -p "$bin/x64"
cp "$kit/bin/velmora.exe" "$work/consumer/"*.dll "$bin/"
printf '[\\Configuration]\r\nnPlat=sx64\r\n[\\Configuration\\nPlat\\x64]\r\nDir=sx64\r\n[\\SelfRegModules]\r\nKitSelfReg.dll\r\n' \
  >"$bin/velmora.ini"

run_starter() {  # <output file> <arguments...>
  local output=$1
  shift
  timeout 120 "$wine_run" "$bin/velmora.exe" "$@" </dev/null >"$output" 2>"$output.err"
}
company="Velmora Kit Consumer"
per_user="$prefix/drive_c/users/$(id -un)/AppData/Roaming/$company"
forget_state() {
  rm -rf "$per_user"
  timeout 60 "$wine_run" reg delete "HKCU\\Software\\$company" /f </dev/null >/dev/null 2>&1
  return 0
}
forget_state

run_starter "$work/start.out" a.dwg -p
code=$?
check "RunAppW's answer is the exit code" same "$code" 7
line() { sed -n "s/^$1=//p" "$work/start.out" | tr -d '\r'; }
check "RunAppW received the arguments and the settings file" \
  same "$(line commandLine)" "\"a.dwg\" \"-p\"  /_VxIniFileName_:\"$(windows_path "$bin/velmora.ini")\""
check "GetMainDllNameW answered the main module's path through the import library" \
  same "$(line GetMainDllNameW)" "$(windows_path "$bin/velmora.dll")"
check "GetMainDllInstance answered the main module" same "$(line GetMainDllInstance)" "this module"
check "SetStartScreenThreadId received 0 (no start screen)" same "$(line startScreenThreadId)" 0
check "the crash-report module installed its handlers, process first" \
  same "$(grep '^crash report:' "$work/start.out" | tr '\n' ' ')" \
  "crash report: SetProcessHandlers crash report: SetThreadHandlers "
check "the C identity module named the per-user folder (company, product 3.1)" test -d "$per_user/Kit Product 3.1"

run_starter "$work/register.out" -register
code=$?
check "-register ends with 0" same "$code" 0
host=$(windows_path "$bin/velmora.exe")
check "-register asked the module to install, all five times with the starter as host" \
  same "$(tr -d '\r' <"$work/register.out" | tr '\n' '|')" \
  "install scope=[user] host=$host|uninstall scope=[] host=$host|uninstall scope=[] host=$host|install scope=[] host=$host|install scope=[user] host=$host|"
forget_state

# --- A second compiler reads every installed header ---------------------------------------------
if [ -z "$clang" ]; then
  fail "clang reads the installed headers (clang not found; scripts/install-tools.sh installs it)"
else
  clang_check() {  # <language> <standard> <extra flags...>
    local language=$1 standard=$2
    shift 2
    local includes=()
    if [ "$language" = c++ ]; then
      local folder
      IFS=';' read -ra folders <<<"$cxx_includes"
      for folder in "${folders[@]}"; do includes+=(-isystem "$folder"); done
    fi
    "$clang" --target=x86_64-w64-mingw32 -x "$language" -std="$standard" -Wall -Wextra -Wpedantic -Werror \
      "${includes[@]}" -I "$kit/include" "$@" -fsyntax-only "$kit/include/velmora/modules.h" \
      >>"$work/clang.log" 2>&1
  }
  check "clang: modules.h as C11" clang_check c c11
  check "clang: modules.h as C11, entry points declared for export" clang_check c c11 -DVELMORA_EXPORT_ENTRY_POINTS
  check "clang: modules.h as C++17" clang_check c++ c++17
  check "clang: modules.h as C++20" clang_check c++ c++20
fi

finish
