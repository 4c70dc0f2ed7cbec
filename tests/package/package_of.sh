# Sourced by the package tests: $deb, the package that package_build left in the
# directory $1, or exit 77 (skipped) when there is none.
[ -d "$1" ] || { echo "usage: $0 PACKAGE_DIR" >&2; exit 2; }
deb=$(find "$1" -maxdepth 1 -name 'tessaly_*.deb' | head -n 1)
if [ -z "$deb" ]; then
  echo "SKIP: no package in $1 (package_build was skipped)"
  exit 77
fi
