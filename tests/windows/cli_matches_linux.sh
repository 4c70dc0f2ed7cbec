#!/usr/bin/env bash
# The Windows tessaly-cli.exe, run under Wine, against the Linux tessaly-cli on the same
# project: new, set and build give the same bank1.bin and bankg.c apart from the build
# time and date; compose gives the same New_sx48316.sx from the same bank1.bin.
#   usage: cli_matches_linux.sh WINE_RUN WINDOWS_PROGRAM_DIR LINUX_CLI
# Exit status 77 (skipped) when there is no Linux build to compare with.
set -euo pipefail
wine_run=$1 windows_dir=$2 linux_cli=$3
[ -x "$linux_cli" ] || { echo "No Linux build at $linux_cli to compare with"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

for side in linux windows; do
  mkdir -p "$work/$side/MASTER"
  cp "$windows_dir/MASTER/sx48316.sx" "$work/$side/MASTER/"
done
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
differing=$({ cmp -l "$linux_bin/bank1.bin" "$windows_bin/bank1.bin" || true; } | awk '$1 < 15050 || $1 > 15053' | wc -l)
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

