#!/usr/bin/env bash
# Checks the package against what Debian users and packagers check first: lintian
# without errors or warnings, AppStream metainfo and desktop entry accepted by their
# validators without a remark, manual pages that render, and a page of tessaly-cli
# that names every command the program's help lists.
#   usage: conventions.sh PACKAGE_DIR
# Exit 77 (skipped) without the package or the checking tools.
set -euo pipefail
source "$(dirname "$0")/package_of.sh"
for tool in lintian appstreamcli desktop-file-validate man; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not available; scripts/setup installs it"
    exit 77
  fi
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

echo "== lintian $(basename "$deb")"
status=0
lintian --fail-on error,warning --display-info "$deb" >"$work/lintian.txt" 2>&1 || status=$?
grep -v '^running with root privileges' "$work/lintian.txt" || true
[ "$status" -eq 0 ] || fail "lintian found errors or warnings (status $status)"

root=$work/root
dpkg-deb -x "$deb" "$root"

echo "== appstreamcli validate --no-net"
for metainfo in "$root"/usr/share/metainfo/*.metainfo.xml; do
  appstreamcli validate --no-net "$metainfo" || fail "appstreamcli refuses $metainfo"
done

echo "== desktop-file-validate"
remarks=$(desktop-file-validate "$root/usr/share/applications/tessaly.desktop" 2>&1) ||
  fail "desktop-file-validate refuses the entry: $remarks"
[ -z "$remarks" ] || fail "desktop-file-validate has remarks: $remarks"

echo "== man -l"
for page in "$root"/usr/share/man/man1/*.1.gz; do
  name=$(basename "$page" .1.gz)
  # ASCII and wide lines: no hyphenation or line breaks inside what is looked for.
  LC_ALL=C MANWIDTH=1000 man -l "$page" 2>"$work/$name.err" | col -b >"$work/$name.txt" ||
    fail "man cannot render $name(1): $(cat "$work/$name.err")"
  [ ! -s "$work/$name.err" ] || fail "man warns about $name(1): $(cat "$work/$name.err")"
  grep -q "^NAME" "$work/$name.txt" && grep -q "^ *$name - " "$work/$name.txt" ||
    fail "$name(1) has no NAME section naming $name"
  echo "$name(1): $(wc -l <"$work/$name.txt") lines"
done
for program in "$root"/usr/bin/*; do
  [ -f "$work/$(basename "$program").txt" ] || fail "$(basename "$program") has no manual page"
done

echo "== every command of tessaly-cli help in tessaly-cli(1)"
# The installed program, on a program directory of the test's own.
env HOME="$work/home" XDG_DATA_HOME="$work/data" "$root/usr/bin/tessaly-cli" help >"$work/help.txt"
squeeze() { tr -s ' \t' '  ' | sed 's/^ //; s/ $//'; }
squeeze <"$work/tessaly-cli.txt" >"$work/page.txt"
count=0
while IFS= read -r line; do
  entry=$(squeeze <<<"$line")
  # The entry's line begins with it (a short one shares its line with the summary).
  awk -v e="$entry" 'index($0, e) == 1 && (length($0) == length(e) || substr($0, length(e) + 1, 1) == " ") { found = 1 }
    END { exit !found }' "$work/page.txt" || fail "tessaly-cli(1) lacks the command line \"$entry\""
  count=$((count + 1))
done < <(sed -n '/^Commands:/,/^$/s/^  \([a-z]\)/\1/p' "$work/help.txt")
[ "$count" -ge 10 ] || fail "tessaly-cli help listed only $count commands: $(cat "$work/help.txt")"
echo "tessaly-cli(1) has all $count commands of tessaly-cli help"
echo "PASS"
