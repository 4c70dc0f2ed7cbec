#!/usr/bin/env bash
# Unpacks the Debian package that package_build made into a throw-away root, checks
# its layout and desktop entry, then starts the installed configurator the way its
# menu entry does (under Xvfb when there is one) for a walk through the three steps,
# as a new user on a fresh account, and checks what it left behind.
#
# usage: install_package.sh PACKAGE_DIR
# Exit 77 (skipped) without the package or dpkg-deb.
set -euo pipefail
source "$(dirname "$0")/package_of.sh"
if ! command -v dpkg-deb >/dev/null; then
  echo "SKIP: dpkg-deb is not available; the Debian package cannot be unpacked here"
  exit 77
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
check_file() { [ -f "$1" ] || fail "missing $1"; }

# --- package ---------------------------------------------------------------
echo "package: $(basename "$deb")"
depends=$(dpkg-deb -f "$deb" Depends)
echo "depends: $depends"
[[ $depends == *libqt6widgets6* ]] || fail "the package does not depend on the Qt widgets library"

root="$work/root"
dpkg-deb -x "$deb" "$root"
program="$root/usr/lib/tessaly"
for f in tessaly tessaly-cli tessaly-probe tessaly-gateway FlashWrite.exe; do
  [ -x "$program/$f" ] || fail "missing program $program/$f"
done
check_file "$program/MASTER/sx48316.sx"
check_file "$program/shared-install"
check_file "$root/usr/share/icons/hicolor/scalable/apps/tessaly.svg"
check_file "$root/usr/share/icons/hicolor/48x48/apps/tessaly.png"
for f in tessaly tessaly-cli tessaly-gateway; do
  [ "$(readlink -f "$root/usr/bin/$f")" = "$program/$f" ] || fail "/usr/bin/$f does not lead to $program/$f"
done
desktop="$root/usr/share/applications/tessaly.desktop"
check_file "$desktop"
grep -qx 'Icon=tessaly' "$desktop" || fail "the desktop entry names no icon"
if command -v desktop-file-validate >/dev/null; then desktop-file-validate "$desktop"; fi

# --- start it from its desktop entry -----------------------------------------
# The entry starts tessaly from the PATH, /usr/bin; here the package lies below $root.
exec_line=$(sed -n 's/^Exec=//p' "$desktop")
[ "$exec_line" = tessaly ] || fail "unexpected Exec line: $exec_line"
command_line=("$root/usr/bin/$exec_line")

home="$work/home"
mkdir -p "$home"
# A new user: an empty home, no XDG folders of their own.
user_env=(env -u XDG_DATA_HOME -u XDG_CONFIG_HOME -u QT_QPA_PLATFORM HOME="$home" TESSALY_WALKTHROUGH="$work/pictures"
  FLASHWRITE_EXIT_WHEN_DONE=1)
# The walk flashes on COM3; here that port leads nowhere, so the tool's answer is known.
# (The package's FlashWrite.ini is a link to this machine's /etc/tessaly/FlashWrite.ini.)
rm "$program/FlashWrite.ini"
printf '[ports]\nCOM3=%s\n' "$work/no-such-port" >"$program/FlashWrite.ini"
if command -v xvfb-run >/dev/null; then
  display=(xvfb-run -a -s "-screen 0 1280x800x24")
else
  echo "note: no xvfb-run, the configurator runs on the offscreen platform"
  display=()
  user_env+=(QT_QPA_PLATFORM=offscreen)
fi
status=0
timeout 120 "${display[@]}" "${user_env[@]}" "${command_line[@]}" >"$work/gui.log" 2>&1 || status=$?
cat "$work/gui.log"
[ "$status" -eq 0 ] || fail "the installed configurator ended with status $status"
grep -q 'walkthrough: done' "$work/gui.log" || fail "the walk through the three steps did not end"

# --- what the first start and the three steps left ---------------------------
data="$home/.local/share/tessaly"
cmp -s "$data/MASTER/sx48316.sx" "$program/MASTER/sx48316.sx" ||
  fail "the first start did not copy MASTER to $data"
[ "$(readlink "$data/FlashWrite.exe")" = "$program/FlashWrite.exe" ] ||
  fail "FlashWrite.exe in $data does not lead to the installed one"
[ ! -e "$program/PROJECTS" ] || fail "the shared program directory got a PROJECTS folder"
project="$data/PROJECTS/Plant1"
grep -q '<TCP_IP1>192</TCP_IP1><TCP_IP2>168</TCP_IP2><TCP_IP3>1</TCP_IP3><TCP_IP4>50</TCP_IP4>' "$project/pargen.xml" ||
  fail "General Parameter did not write the IP address: $(cat "$project/pargen.xml")"
check_file "$project/var.xml"
[ "$(stat -c %s "$project/bin/bank1.bin")" -eq 16384 ] || fail "Update Device wrote no 16384-byte bank1.bin"
check_file "$project/bin/bankg.c"
grep -q 'Plant1' "$data/Tessaly.ini" || fail "closing did not keep the last project"
for picture in main-window new-project general-parameter about; do
  check_file "$work/pictures/$picture.png"
done

# Update Device ended in "Execute update firmware": the new firmware carries the
# project's address, and the flashing tool was started on it for COM3.
check_file "$project/New_sx48316.sx"
"$program/tessaly-cli" inspect "$project/New_sx48316.sx" | grep -qx 'ip=192.168.1.50' ||
  fail "New_sx48316.sx does not carry the project's address"
# The installed gateway boots it, served on loopback, and ends on SIGTERM.
"$program/tessaly-gateway" --firmware "$project/New_sx48316.sx" --listen 127.0.0.1:0 --simulate 1 \
  >"$work/gateway.log" 2>&1 &
gateway=$!
for _ in $(seq 50); do grep -q 'Modbus TCP at 127.0.0.1:' "$work/gateway.log" && break; sleep 0.2; done
kill -TERM "$gateway"; wait "$gateway" || fail "tessaly-gateway did not end cleanly: $(cat "$work/gateway.log")"
grep -qx '  ip=192.168.1.50' "$work/gateway.log" || fail "tessaly-gateway did not boot: $(cat "$work/gateway.log")"
for _ in $(seq 50); do grep -q 'Cannot open COM3' "$work/gui.log" && break; sleep 0.2; done
grep -q "Cannot open COM3 ($work/no-such-port)" "$work/gui.log" ||
  fail "the flashing tool did not run on COM3: $(cat "$work/gui.log")"
check_file "$work/pictures/update-device.png"

# --- the command-line tool of the package, on the same per-user directory ---------
cli=(env -u XDG_DATA_HOME HOME="$home" "$program/tessaly-cli")
"${cli[@]}" show --project Plant1 >"$work/show.txt"
grep -qx 'TCP_IP4=50' "$work/show.txt" || fail "tessaly-cli does not see the project: $(cat "$work/show.txt")"
"${cli[@]}" new Plant2 >/dev/null
[ -d "$data/PROJECTS/Plant2/bin" ] || fail "tessaly-cli new did not create the project in $data"

echo "PASS: package $(basename "$deb") installs, starts from its desktop entry and completes the steps"
