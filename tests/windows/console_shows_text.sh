#!/usr/bin/env bash
# tessaly-cli.exe on a Windows console shows its text as written: Wine makes a console
# of the pseudo-terminal it runs on, and "Crème" must arrive there as such, not as its
# UTF-8 bytes read in the console's OEM code page ("CrÞme", "Caf├⌐"). Through a pipe the
# output stays UTF-8, byte for byte.
#   usage: console_shows_text.sh WINE_RUN WINDOWS_PROGRAM_DIR
# Exit status 77 (skipped) without python3, which makes the pseudo-terminal.
set -euo pipefail
wine_run=$1 windows_dir=$2
command -v python3 >/dev/null || { echo "python3 is needed for the pseudo-terminal"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
program="Z:${work//\//\\}"
fail() { echo "FAIL: $*"; exit 1; }

piped=$("$wine_run" "$windows_dir/tessaly-cli.exe" --program-dir "$program" new Café)
[ "$piped" = "$program\\PROJECTS\\Café" ] || fail "through a pipe: $piped"

# On a console: standard input, output and error on a pseudo-terminal, whose other end
# is read to the end.
LC_ALL=C.UTF-8 python3 - "$wine_run" "$windows_dir/tessaly-cli.exe" "$program" >"$work/console.bin" <<'EOF'
import os, pty, sys
wine_run, cli, program = sys.argv[1:4]
pid, master = pty.fork()
if pid == 0:
    os.execv(wine_run, [wine_run, cli, "--program-dir", program, "new", "Crème"])
received = b""
while True:
    try:
        chunk = os.read(master, 4096)
    except OSError:
        break
    if not chunk:
        break
    received += chunk
os.waitpid(pid, 0)
sys.stdout.buffer.write(received)
EOF
# Wine's console draws on the terminal with escape sequences (cursor, title) between
# the characters: what it shows is the rest.
shown=$(sed -e 's/\x1b\[[0-9;?]*[A-Za-z]//g' -e 's/\x1b\][^\x07]*\x07//g' "$work/console.bin" | tr -d '\r')
grep -q 'PROJECTS\\Crème' <<<"$shown" || fail "on a console: $shown"
echo "Café through a pipe and Crème on a console, as written"
