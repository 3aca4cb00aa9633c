#!/usr/bin/env bash
# The run command: installs what is missing, builds the starter and the sample installation, and
# starts the sample application through the starter under Wine, as a user opening a drawing would,
# with the sample furniture package. The start screen starts beside it (its window is invisible
# under the build's Wine prefix); the sample main module prints what the starter prepared for it;
# afterwards the per-user folder the starter provisioned is listed. It runs the installation where it
# was laid out, in the build's own prefix; scripts/installer-lifecycle.sh installs it through its
# Windows Installer package instead.
set -euo pipefail
source "$(dirname "$0")/sample-setup.sh"

installation="$PWD/build/mingw/sample-installation"
# What the installer puts under C:\ProgramData: the start screen's source folder.
all_users="$WINEPREFIX/drive_c/ProgramData/Velmora Sample Works/Velmora 25.2"
mkdir -p "$all_users" && cp -r "$installation/AllUsers/." "$all_users/"

package="Z:${installation//\//\\}\\Packages\\Furniture\\furniture.package"
cd "$installation/Bin"
echo "Starting: velmora.exe \"Sample Drawing.dwg\" -p Sample -g <sample furniture package> $*"
set +e
../../wine-run velmora.exe "Sample Drawing.dwg" -p Sample -g "$package" "$@"
status=$?
set -e
echo "velmora.exe ended with exit code $status"

echo "The per-user folder it provisioned (C:\\users\\<user>\\AppData\\Roaming\\...):"
for folder in "$WINEPREFIX"/drive_c/users/*/AppData/Roaming/"Velmora Sample Works"; do
  [ -d "$folder" ] && (cd "$folder" && find . -type f | sed 's|^\./|  |' | sort)
done
echo "The same installation as a Windows Installer package, installed, upgraded and removed step by"
echo "step in a Wine prefix of its own: scripts/installer-lifecycle.sh"
exit $status
