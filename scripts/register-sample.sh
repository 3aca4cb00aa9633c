#!/usr/bin/env bash
# Registers and then unregisters the sample installation's self-registering modules the way an
# installer does: "velmora.exe -register" after copying the files, "velmora.exe -unregister" before
# removing them. Installs what is missing and builds the sample installation first. Each run ends
# with exit code 0 whatever the modules answer; the sample module says what it was asked.
set -euo pipefail
source "$(dirname "$0")/sample-setup.sh"
cd build/mingw/sample-installation/Bin
status=0
for switch in -register -unregister; do
  echo "Running: velmora.exe $switch"
  set +e
  ../../wine-run velmora.exe "$switch"
  code=$?
  set -e
  echo "velmora.exe $switch ended with exit code $code"
  [ "$code" -eq 0 ] || status=$code
done
exit $status
