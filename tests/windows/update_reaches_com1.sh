#!/usr/bin/env bash
# tessaly-cli.exe new, set and update --port COM1 --wait under Wine, with COM1 a
# pseudo-terminal: what arrives at its master is every record of the composed firmware,
# each followed by CR LF, and nothing else. The program directory holds the stand-in
# alone, without the DLLs it needs, as a per-user folder does: tessaly-cli.exe has to
# start it so that it finds them (Wine's own search path for them is switched off).
#   usage: update_reaches_com1.sh WINE_RUN WINDOWS_PROGRAM_DIR WINEPREFIX WINESERVER
# Wine's mount manager rebuilds dosdevices/com1 from HKLM\Software\Wine\Ports whenever
# the Wine server starts (falling back to /dev/ttyS0, where writes never drain), so the
# port is named there as well as linked. Both are undone at the end.
# Exit status 77 (skipped) without python3, which makes the pseudo-terminal.
set -euo pipefail
wine_run=$1 windows_dir=$2 prefix=$3 wineserver=$4
command -v python3 >/dev/null || { echo "python3 is needed for the pseudo-terminal"; exit 77; }
work=$(mktemp -d)
reader=""
ports_key='HKLM\Software\Wine\Ports'
cleanup() {
  [ -z "$reader" ] || kill "$reader" 2>/dev/null || true
  timeout 60 "$wine_run" reg delete "$ports_key" /v COM1 /f >/dev/null 2>&1 || true
  rm -f "$prefix/dosdevices/com1"
  rm -rf "$work"
}
trap cleanup EXIT

# The pseudo-terminal: its slave's name goes to slave.txt, everything that reaches the
# master to received.bin, until "stop" exists (and nothing more came for half a second)
# or three minutes have passed. The slave stays open here too, so that the tool closing
# its end loses nothing.
python3 - "$work" <<'EOF' &
import os, select, sys, time
work = sys.argv[1]
master, slave = os.openpty()
with open(os.path.join(work, "slave.tmp"), "w") as f:
    f.write(os.ttyname(slave))
os.rename(os.path.join(work, "slave.tmp"), os.path.join(work, "slave.txt"))
deadline = time.monotonic() + 180
with open(os.path.join(work, "received.bin"), "wb") as out:
    while time.monotonic() < deadline:
        ready, _, _ = select.select([master], [], [], 0.5)
        if ready:
            out.write(os.read(master, 65536))
        elif os.path.exists(os.path.join(work, "stop")):
            break
EOF
reader=$!
for _ in $(seq 100); do [ -f "$work/slave.txt" ] && break; sleep 0.1; done
slave=$(cat "$work/slave.txt")

# wine-run makes the prefix on first use, so the registry goes first, then the link.
timeout 120 "$wine_run" reg add "$ports_key" /v COM1 /d "$slave" /f >/dev/null 2>&1
ln -sfn "$slave" "$prefix/dosdevices/com1"

mkdir -p "$work/program/MASTER"
cp "$windows_dir/MASTER/sx48316.sx" "$work/program/MASTER/"
cp "$windows_dir/FlashWrite.exe" "$work/program/"
program="Z:${work//\//\\}\\program"
status=0
cli() {
  [ "$status" = 0 ] || return 0
  WINE_RUN_OWN_DLLS_ONLY=1 timeout 150 "$wine_run" "$windows_dir/tessaly-cli.exe" --program-dir "$program" "$@" ||
    status=$?
}
cli new Plant2 >/dev/null
cli set --project Plant2 ip=192.168.7.10 port=1502 baud=19200 parity=even >/dev/null
# A Wine server started since the link was made has made it again from the registry.
[ "$(readlink "$prefix/dosdevices/com1")" = "$slave" ] || { echo "COM1 does not lead to $slave"; exit 1; }
cli update --project Plant2 --port COM1 --wait >"$work/update.txt" 2>&1
if [ "$status" = 124 ]; then
  # Only this test runs in the prefix (RUN_SERIAL): end what the timeout left behind.
  WINEPREFIX=$prefix "$wineserver" -k || true
  echo "tessaly-cli.exe did not end within its time"
fi
touch "$work/stop"
wait "$reader" || true
reader=""
cat "$work/update.txt"
[ "$status" = 0 ] || { echo "tessaly-cli.exe ended with status $status"; exit 1; }

firmware=$work/program/PROJECTS/Plant2/New_sx48316.sx
records=$(grep -c '^S' "$firmware")
grep -q "^$records records sent to COM1" "$work/update.txt" || { echo "no report of $records records sent"; exit 1; }
# The records as the tool puts them on the wire: each one followed by CR LF.
tr -d '\r' <"$firmware" | grep '^S' | sed 's/$/\r/' >"$work/expected.bin"
cmp "$work/expected.bin" "$work/received.bin" || { echo "COM1 received other bytes than the firmware's records"; exit 1; }
echo "COM1 received the $records records of New_sx48316.sx, byte for byte"
