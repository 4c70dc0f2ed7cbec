#!/usr/bin/env bash
# The Windows tessaly-cli.exe, run under Wine, against the Linux tessaly-cli on the same
# project: new, set and build give the same bank1.bin and bankg.c apart from the build
# time and date; compose gives the same New_sx48316.sx from the same bank1.bin; and
# update --port COM1 --wait sends that firmware through the Windows FlashWrite.exe to a
# pseudo-terminal that Wine maps as COM1.
#   usage: cli_matches_linux.sh WINE_RUN WINEPREFIX WINDOWS_PROGRAM_DIR LINUX_CLI
# Exit status 77 (skipped) when there is no Linux build to compare with.
set -euo pipefail
wine_run=$1 prefix=$2 windows_dir=$3 linux_cli=$4
[ -x "$linux_cli" ] || { echo "No Linux build at $linux_cli to compare with"; exit 77; }
work=$(mktemp -d)
relay=""
trap '[ -z "$relay" ] || kill "$relay" 2>/dev/null; rm -rf "$work"; rm -f "$prefix/dosdevices/com1"' EXIT

for side in linux windows; do
  mkdir -p "$work/$side/MASTER"
  cp "$windows_dir/MASTER/sx48316.sx" "$work/$side/MASTER/"
done
cp "$windows_dir/FlashWrite.exe" "$work/windows/"
windows_form() { local path=$1; printf 'Z:%s' "${path//\//\\}"; }
linux() { "$linux_cli" --program-dir "$work/linux" "$@"; }
windows() { "$wine_run" "$windows_dir/tessaly-cli.exe" --program-dir "$(windows_form "$work/windows")" "$@"; }

for run in linux windows; do
  $run new Plant2 >/dev/null
  $run set --project Plant2 ip=192.168.7.10 mask=255.255.255.0 gateway=192.168.7.1 port=1502 \
    baud=19200 parity=even timeout=250 offset=12 public=Public7 private=Private7 >/dev/null
  $run build --project Plant2 >/dev/null
done
linux_bin=$work/linux/PROJECTS/Plant2/bin windows_bin=$work/windows/PROJECTS/Plant2/bin

# bank1.bin: every byte but the build time and date (offsets 15049 to 15052).
differing=$(cmp -l "$linux_bin/bank1.bin" "$windows_bin/bank1.bin" | awk '$1 < 15050 || $1 > 15053' | wc -l)
[ "$(stat -c %s "$linux_bin/bank1.bin")" = "$(stat -c %s "$windows_bin/bank1.bin")" ] && [ "$differing" = 0 ] ||
  { echo "bank1.bin differs beyond the build time and date"; exit 1; }
# bankg.c: the same lines but the one or two that hold the time and date bytes.
[ "$(wc -l <"$linux_bin/bankg.c")" = "$(wc -l <"$windows_bin/bankg.c")" ] &&
  [ "$(diff "$linux_bin/bankg.c" "$windows_bin/bankg.c" | grep -c '^<' || true)" -le 2 ] ||
  { echo "bankg.c differs beyond the build time and date"; diff "$linux_bin/bankg.c" "$windows_bin/bankg.c" | head; exit 1; }

# compose from the same bank1.bin: the same firmware, byte for byte.
cp "$linux_bin/bank1.bin" "$windows_bin/bank1.bin"
linux compose --project Plant2 >/dev/null
windows compose --project Plant2 >/dev/null
cmp "$work/linux/PROJECTS/Plant2/New_sx48316.sx" "$work/windows/PROJECTS/Plant2/New_sx48316.sx"
echo "bank1.bin, bankg.c and New_sx48316.sx match the Linux build"

# update through the stand-in: COM1 is a pseudo-terminal whose other end is recorded.
command -v python3 >/dev/null || { echo "No python3 for the pseudo-terminal: update not tried"; exit 0; }
python3 - "$work/pty" "$work/received" <<'PY' &
import os, pty, select, sys, time, tty
master, slave = pty.openpty()
tty.setraw(slave)  # no line discipline between the port and the recording
os.symlink(os.ttyname(slave), sys.argv[1])
with open(sys.argv[2], "wb") as out:
    idle = time.monotonic()
    while time.monotonic() - idle < 60:
        if select.select([master], [], [], 0.2)[0]:
            out.write(os.read(master, 65536)); out.flush(); idle = time.monotonic()
PY
relay=$!
for _ in $(seq 100); do [ -e "$work/pty" ] && break; sleep 0.1; done
ln -sfn "$(readlink "$work/pty")" "$prefix/dosdevices/com1"
FLASHWRITE_EXIT_WHEN_DONE=1 windows update --project Plant2 --port COM1 --wait >/dev/null
sleep 1
python3 - "$work/windows/PROJECTS/Plant2/New_sx48316.sx" "$work/received" <<'PY'
import sys
records = [line for line in open(sys.argv[1], "rb").read().splitlines() if line]
expected = b"".join(record + b"\r\n" for record in records)
received = open(sys.argv[2], "rb").read()
if received != expected:
    sys.exit(f"COM1 received {len(received)} bytes, not the {len(expected)} of the firmware")
print(f"update --port COM1: {len(received)} bytes reached the pseudo-terminal")
PY
