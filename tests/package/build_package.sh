#!/usr/bin/env bash
# Builds the Debian package with scripts/package and leaves it in OUT_DIR for the
# other package tests, which skip when it is not there.
#   usage: build_package.sh SOURCE_DIR OUT_DIR
# Exit 77 (skipped) when dpkg-buildpackage is missing.
set -euo pipefail
source_dir=$1 out=$2
rm -rf "$out"
if ! command -v dpkg-buildpackage >/dev/null; then
  echo "SKIP: dpkg-buildpackage is not available; scripts/setup installs it"
  exit 77
fi
mkdir -p "$out"
start=$(date +%s)
"$source_dir/scripts/package" >"$out/build.log" 2>&1 || { tail -n 40 "$out/build.log"; exit 1; }
deb=$(tail -n 1 "$out/build.log")
[ -f "$deb" ] || { tail -n 40 "$out/build.log"; echo "FAIL: scripts/package did not end with the package's path"; exit 1; }
cp "$deb" "$out/"
echo "built $(basename "$deb") in $(($(date +%s) - start)) s"
