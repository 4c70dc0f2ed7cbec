#!/usr/bin/env bash
# Builds the Windows installer from the build directory and runs it silently under
# Wine in a throw-away prefix: a 64-bit installer; the program laid out with its Start-
# menu entry and without the flashing tool stand-in (off by default); its uninstaller
# removes the program and the entry but keeps the users' folders and a FlashWrite.exe
# that the user put beside the program.
#   usage: installer_under_wine.sh BUILD_DIR WINE WINESERVER
# Exit status 77 (skipped) without makensis.
set -euo pipefail
build=$1 wine=$2 wineserver=$3
command -v makensis >/dev/null || { echo "makensis is needed for the installer"; exit 77; }
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' WINEARCH=win64
cleanup() {
  [ ! -d "$WINEPREFIX" ] || "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G NSIS --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack could not build the installer"; }
installer=$(ls "$work"/package/*.exe)
# The PE header's machine field: 0x8664 for x86-64.
pe=$(od -An -tu4 -j60 -N4 "$installer" | tr -d ' ')
[ "$(od -An -tx2 -j$((pe + 4)) -N2 "$installer" | tr -d ' ')" = 8664 ] || fail "the installer is no 64-bit program"

timeout 120 "$wine" wineboot --init >/dev/null 2>&1
timeout 120 "$wine" "$installer" /S '/D=C:\Tessaly' >/dev/null 2>&1 || fail "the installer failed"
drive=$WINEPREFIX/drive_c
program=$drive/Tessaly
for f in tessaly.exe tessaly-cli.exe tessaly-probe.exe Qt6Core.dll libstdc++-6.dll platforms/qwindows.dll MASTER/sx48316.sx Uninstall.exe; do
  [ -f "$program/$f" ] || fail "missing $f"
done
[ ! -e "$program/FlashWrite.exe" ] && [ ! -e "$program/stand-in" ] || fail "the stand-in was installed by default"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaly configurator/Tessaly configurator.lnk"
[ -f "$shortcut" ] || fail "no Start-menu entry"

# What the users made and the real flashing tool beside the program stay.
local_data=$(ls -d "$drive"/users/*/AppData/Local | grep -v /Public/ | head -1)
mkdir -p "$local_data/tessaly/PROJECTS/Site1"
echo project >"$local_data/tessaly/PROJECTS/Site1/pargen.xml"
echo tool >"$program/FlashWrite.exe"
# "_?=" keeps the uninstaller in place, so that it has finished when it returns.
timeout 120 "$wine" 'C:\Tessaly\Uninstall.exe' /S '_?=C:\Tessaly' >/dev/null 2>&1 || fail "the uninstaller failed"
[ ! -e "$program/tessaly.exe" ] && [ ! -e "$program/Qt6Core.dll" ] && [ ! -e "$program/MASTER" ] ||
  fail "the uninstaller left the program behind"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
[ "$(cat "$local_data/tessaly/PROJECTS/Site1/pargen.xml")" = project ] || fail "the uninstaller removed a user's project"
[ "$(cat "$program/FlashWrite.exe")" = tool ] || fail "the uninstaller removed the FlashWrite.exe put beside the program"
echo "$(basename "$installer"): installed, uninstalled, the users' folders and FlashWrite.exe kept"
