#!/usr/bin/env bash
# Builds the Windows packages from the build directory and runs the installer silently
# under Wine in a throw-away prefix: a 64-bit installer; the program laid out with the
# shared-install marker (which the ZIP, used in place, lacks), a Start-menu entry whose
# target is tessaly.exe, and without the flashing tool stand-in (off by default). The
# installed tessaly-cli.exe keeps the user's projects in %LOCALAPPDATA%\tessaly and
# starts the flashing tool linked there, which finds its DLLs in the install folder.
# The uninstaller removes the program and the entry but keeps the users' folders and a
# FlashWrite.exe that the user put beside the program.
#   usage: installer_under_wine.sh BUILD_DIR WINE WINESERVER
# Exit status 77 (skipped) without makensis or python3.
set -euo pipefail
build=$1 wine=$2 wineserver=$3
here=$(dirname "$0")
command -v makensis >/dev/null || { echo "makensis is needed for the installer"; exit 77; }
command -v python3 >/dev/null || { echo "python3 is needed to read the packages"; exit 77; }
work=$(mktemp -d)
export WINEPREFIX=$work/prefix WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml=' WINEARCH=win64
cleanup() {
  [ ! -d "$WINEPREFIX" ] || "$wineserver" -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

cpack -G 'ZIP;NSIS' --config "$build/CPackConfig.cmake" -B "$work/package" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log"; fail "cpack could not build the packages"; }
installer=$(ls "$work"/package/*.exe)
# The PE header's machine field: 0x8664 for x86-64.
pe=$(od -An -tu4 -j60 -N4 "$installer" | tr -d ' ')
[ "$(od -An -tx2 -j$((pe + 4)) -N2 "$installer" | tr -d ' ')" = 8664 ] || fail "the installer is no 64-bit program"
# The ZIP is a program directory used in place: no marker.
zip_files=$(python3 -m zipfile -l "$work"/package/*.zip)
grep -q '/tessaly-cli.exe ' <<<"$zip_files" || fail "the ZIP holds no tessaly-cli.exe"
! grep -q '/shared-install ' <<<"$zip_files" || fail "the ZIP holds the shared-install marker"

timeout 120 "$wine" wineboot --init >/dev/null 2>&1
timeout 120 "$wine" "$installer" /S '/D=C:\Tessaly' >/dev/null 2>&1 || fail "the installer failed"
drive=$WINEPREFIX/drive_c
program=$drive/Tessaly
for f in tessaly.exe tessaly-cli.exe tessaly-probe.exe Qt6Core.dll libstdc++-6.dll platforms/qwindows.dll \
  MASTER/sx48316.sx Uninstall.exe shared-install; do
  [ -f "$program/$f" ] || fail "missing $f"
done
[ ! -e "$program/FlashWrite.exe" ] && [ ! -e "$program/stand-in" ] || fail "the stand-in was installed by default"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Tessaly configurator/Tessaly configurator.lnk"
[ -f "$shortcut" ] || fail "no Start-menu entry"
target=$(python3 "$here/shell_link_target.py" "$shortcut") || fail "the Start-menu entry cannot be read"
target=${target//\\.\\/\\}
[ "${target,,}" = 'c:\tessaly\tessaly.exe' ] || fail "the Start-menu entry leads to $target, not C:\\Tessaly\\tessaly.exe"

# The installed copy is shared: the user's projects go to %LOCALAPPDATA%\tessaly, and the
# tool the user put beside the program (here the stand-in) is linked there and started
# from there: it runs to its own end (status 4, no such port), not to a missing DLL.
local_data=$(ls -d "$drive"/users/*/AppData/Local | grep -v /Public/ | head -1)
cp "$build/FlashWrite.exe" "$program/FlashWrite.exe"
cli() { timeout 120 "$wine" 'C:\Tessaly\tessaly-cli.exe' "$@"; }
cli new Site1 >"$work/new.txt" 2>&1 || { cat "$work/new.txt"; fail "tessaly-cli.exe new failed"; }
[ -d "$local_data/tessaly/PROJECTS/Site1/bin" ] && [ ! -e "$program/PROJECTS" ] ||
  fail "the project was not made in %LOCALAPPDATA%\\tessaly: $(cat "$work/new.txt")"
status=0
cli update --project Site1 --port COM200 --wait >"$work/update.txt" 2>&1 || status=$?
[ -f "$local_data/tessaly/FlashWrite.exe" ] || fail "no FlashWrite.exe in %LOCALAPPDATA%\\tessaly"
[ "$status" = 4 ] && grep -q 'COM200' "$work/update.txt" ||
  { cat "$work/update.txt"; fail "the flashing tool did not run from %LOCALAPPDATA%\\tessaly (status $status)"; }

# What the users made and the real flashing tool beside the program stay.
echo project >"$local_data/tessaly/PROJECTS/Site1/pargen.xml"
# "_?=" keeps the uninstaller in place, so that it has finished when it returns.
timeout 120 "$wine" 'C:\Tessaly\Uninstall.exe' /S '_?=C:\Tessaly' >/dev/null 2>&1 || fail "the uninstaller failed"
# The uninstaller itself stays where "_?=" kept it.
rm -f "$program/Uninstall.exe"
[ "$(ls -A "$program")" = FlashWrite.exe ] || fail "the uninstaller left $(ls -A "$program" | tr '\n' ' ')"
[ ! -e "$shortcut" ] || fail "the uninstaller left the Start-menu entry"
[ "$(cat "$local_data/tessaly/PROJECTS/Site1/pargen.xml")" = project ] || fail "the uninstaller removed a user's project"
cmp -s "$build/FlashWrite.exe" "$program/FlashWrite.exe" ||
  fail "the uninstaller removed the FlashWrite.exe put beside the program"
echo "$(basename "$installer"): installed, uninstalled, the users' folders and FlashWrite.exe kept"
