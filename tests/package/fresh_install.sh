#!/usr/bin/env bash
# Installs the package in a fresh Debian 12 chroot with apt, as on a new machine, and
# uses it there as new non-root users: tessaly-cli new, set, build and compose in the
# per-user program directory, and the bash completion. Then it replays an upgrade
# from the package of version 1.1, which installed under /opt/tessaly: the old
# directory goes, the machine's FlashWrite.ini moves to /etc/tessaly, and a user's
# per-user folder keeps its projects and gets its FlashWrite.exe link renewed.
#   usage: fresh_install.sh PACKAGE_DIR
#
# The chroot's base system (debootstrap --variant=minbase bookworm, from the mirror
# this machine's apt uses) and the packages apt downloads for it are kept in
# $TESSALY_CHROOT_CACHE (default /var/tmp/tessaly-package-test) and shared by the
# checkouts of this machine; the first run makes them (about a minute, 150 MB). Only
# apt's download step reaches the network; installing and running the package in
# the chroot happen without one (unshare --net).
# Exit 77 (skipped) when not root, without debootstrap, or without the mirror.
set -eEuo pipefail
# A command that fails says where, rather than ending the test without a word.
trap 'echo "FAIL: line $LINENO: $BASH_COMMAND" >&2' ERR
source "$(dirname "$0")/package_of.sh"
if [ "$(id -u)" -ne 0 ]; then
  echo "SKIP: making and entering a chroot needs root"
  exit 77
fi
for tool in debootstrap unshare flock dpkg-deb; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIP: $tool is not available; scripts/setup installs it"
    exit 77
  fi
done
# A mount namespace of this script's own: the mounts below end with it.
if [ -z "${TESSALY_PACKAGE_TEST_NAMESPACE:-}" ]; then
  exec unshare --mount --propagation private env TESSALY_PACKAGE_TEST_NAMESPACE=1 "$0" "$@"
fi
fail() { echo "FAIL: $*" >&2; exit 1; }

cache=${TESSALY_CHROOT_CACHE:-/var/tmp/tessaly-package-test}
base=$cache/bookworm
archives=$cache/archives
mkdir -p "$archives/partial"
(
  flock 9
  if [ ! -x "$base/bin/bash" ]; then
    # Either file may be missing (a minimal system has only sources.list).
    mirror=$(grep -hoE '^URIs: *[^ ]+' /etc/apt/sources.list.d/*.sources 2>/dev/null | head -n 1 | awk '{print $2}' || true)
    [ -n "$mirror" ] || mirror=$(grep -hoE '^deb +[^ ]+' /etc/apt/sources.list 2>/dev/null | head -n 1 | awk '{print $2}' || true)
    echo "making the Debian 12 base system in $base from ${mirror:-the default mirror}"
    rm -rf "$base.new"
    if ! debootstrap --variant=minbase bookworm "$base.new" ${mirror:+"$mirror"} >"$cache/debootstrap.log" 2>&1; then
      rm -rf "$base.new"
      echo "SKIP: debootstrap could not make a Debian 12 base system (see $cache/debootstrap.log)"
      exit 77
    fi
    cp /etc/resolv.conf "$base.new/etc/resolv.conf"
    chroot "$base.new" apt-get update -q >>"$cache/debootstrap.log" 2>&1 || true
    mv "$base.new" "$base"
  fi
) 9>"$cache/lock"

work=$(mktemp -d)
root=$work/root
# Unmounted before anything is removed, and nothing removed across a mount.
trap 'umount -R "$root" 2>/dev/null || true; rm -rf --one-file-system "$work"' EXIT
mkdir -p "$root" "$work/upper" "$work/overlay-work"
if ! mount -t overlay overlay -o "lowerdir=$base,upperdir=$work/upper,workdir=$work/overlay-work" "$root" 2>/dev/null; then
  cp -a "$base/." "$root"
fi
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
mount --bind "$archives" "$root/var/cache/apt/archives"
cp /etc/resolv.conf "$root/etc/resolv.conf"

# The package, and the one of version 1.1 it replaces: the same programs, laid out as
# CPack laid them out under /opt/tessaly, with the link /usr/bin/tessaly-cli.
packages=$root/tmp/packages
mkdir -p "$packages"
cp "$deb" "$packages/"
new=/tmp/packages/$(basename "$deb")
unpacked=$work/unpacked
dpkg-deb -x "$deb" "$unpacked"
old=$work/old
mkdir -p "$old/DEBIAN" "$old/opt/tessaly/MASTER" "$old/usr/bin" "$old/usr/share/applications"
for f in tessaly tessaly-cli tessaly-probe FlashWrite.exe shared-install MASTER/sx48316.sx; do
  cp -a "$unpacked/usr/lib/tessaly/$f" "$old/opt/tessaly/$f"
done
ln -s /opt/tessaly/tessaly-cli "$old/usr/bin/tessaly-cli"
sed 's|^Exec=.*|Exec=/opt/tessaly/tessaly|; s|^TryExec=.*|TryExec=/opt/tessaly/tessaly|' \
  "$unpacked/usr/share/applications/tessaly.desktop" >"$old/usr/share/applications/tessaly.desktop"
cp -a "$unpacked/usr/share/icons" "$old/usr/share/"
cat >"$old/DEBIAN/control" <<EOF
Package: tessaly
Version: 1.1
Architecture: $(dpkg-deb -f "$deb" Architecture)
Maintainer: Tessaly configurator developers <tessaly@localhost>
Depends: $(dpkg-deb -f "$deb" Depends)
Section: electronics
Priority: optional
Description: Configurator for Tessaly Modbus TCP to Modbus RTU gateways
 Installs under /opt/tessaly.
EOF
dpkg-deb --root-owner-group -b "$old" "$packages/tessaly_1.1_old.deb" >/dev/null
chmod -R a+rX "$packages"

# apt's download step, the one that needs the network: once, then from the cache.
download() { chroot "$root" apt-get install --download-only -y -q "$new" >"$work/download.log" 2>&1; }
if ! download; then
  chroot "$root" apt-get update -q >"$work/update.log" 2>&1 ||
    { cat "$work/update.log"; echo "SKIP: the chroot's apt cannot reach the mirror"; exit 77; }
  download || { cat "$work/download.log"; fail "apt cannot get what the package depends on"; }
fi

cat >"$root/tmp/steps.sh" <<'STEPS'
set -euo pipefail
new=$1
fail() { echo "FAIL: $*" >&2; exit 1; }
apt_install() { DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$@" >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "apt-get install $*"; }; }
as() { local user=$1; shift; su - "$user" -c "$*"; }

echo "== fresh install: apt-get install $new"
apt_install "$new"
[ "$(readlink -f /usr/bin/tessaly-cli)" = /usr/lib/tessaly/tessaly-cli ] || fail "/usr/bin/tessaly-cli leads elsewhere"
[ "$(readlink -f /usr/bin/tessaly)" = /usr/lib/tessaly/tessaly ] || fail "/usr/bin/tessaly leads elsewhere"
tessaly --help | grep -q '^Usage: tessaly' || fail "tessaly --help without a display"

echo "== a new user: tessaly-cli new, set, build, compose"
useradd --create-home --shell /bin/bash alice
as alice 'set -e
  tessaly-cli new Plant1
  tessaly-cli set --project Plant1 ip=192.168.1.50
  tessaly-cli build --project Plant1
  tessaly-cli compose --project Plant1
  tessaly-cli inspect .local/share/tessaly/PROJECTS/Plant1/New_sx48316.sx' >/tmp/alice.txt ||
  { cat /tmp/alice.txt; fail "tessaly-cli as alice"; }
data=/home/alice/.local/share/tessaly
grep -qx 'ip=192.168.1.50' /tmp/alice.txt || fail "the new firmware lacks the address: $(cat /tmp/alice.txt)"
[ "$(stat -c %s "$data/PROJECTS/Plant1/bin/bank1.bin")" -eq 16384 ] || fail "no 16384-byte bank1.bin"
[ "$(stat -c %U "$data/PROJECTS/Plant1/New_sx48316.sx")" = alice ] || fail "the new firmware is not alice's"
cmp -s "$data/MASTER/sx48316.sx" /usr/lib/tessaly/MASTER/sx48316.sx || fail "MASTER was not copied to $data"
[ "$(readlink "$data/FlashWrite.exe")" = /usr/lib/tessaly/FlashWrite.exe ] || fail "FlashWrite.exe is not linked to the installed one"
[ ! -e /usr/lib/tessaly/PROJECTS ] || fail "the shared program directory got a PROJECTS folder"

echo "== bash completion of tessaly-cli"
cat >/tmp/complete.bash <<'EOF'
source /usr/share/bash-completion/completions/tessaly-cli
# The completions bash would offer for LINE, the cursor at its end.
complete_line() {
  read -r -a COMP_WORDS <<<"$1"
  [[ $1 == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _tessaly_cli
  echo "${COMPREPLY[*]}"
}
EOF
as alice 'source /tmp/complete.bash; complete_line "tessaly-cli bu"; complete_line "tessaly-cli compose --project Pl"' >/tmp/completions.txt ||
  fail "the completion script as alice"
[ "$(sed -n 1p /tmp/completions.txt)" = build ] || fail "tessaly-cli bu<Tab>: $(sed -n 1p /tmp/completions.txt)"
[ "$(sed -n 2p /tmp/completions.txt)" = Plant1 ] || fail "compose --project Pl<Tab>: $(sed -n 2p /tmp/completions.txt)"

echo "== purge: the users' folders stay"
DEBIAN_FRONTEND=noninteractive apt-get purge -y -q tessaly >/tmp/apt.log 2>&1 || { cat /tmp/apt.log; fail "apt-get purge"; }
[ ! -e /usr/lib/tessaly ] && [ ! -e /etc/tessaly ] && [ ! -e /usr/bin/tessaly-cli ] || fail "purge left files of the package"
[ -f "$data/PROJECTS/Plant1/New_sx48316.sx" ] || fail "purge touched alice's projects"

echo "== upgrade from version 1.1 in /opt/tessaly"
apt_install /tmp/packages/tessaly_1.1_old.deb
useradd --create-home --shell /bin/bash bob
as bob 'tessaly-cli new Plant2' >/dev/null
[ "$(readlink /home/bob/.local/share/tessaly/FlashWrite.exe)" = /opt/tessaly/FlashWrite.exe ] || fail "1.1 did not link FlashWrite.exe"
printf '[ports]\nCOM2=/dev/ttyUSB7\n' >/opt/tessaly/FlashWrite.ini
apt_install "$new"
[ "$(dpkg-query -W -f '${Version}' tessaly)" = "$(dpkg-deb -f "$new" Version)" ] || fail "the upgrade did not take place"
[ ! -e /opt/tessaly ] || fail "the upgrade left /opt/tessaly: $(ls -lR /opt/tessaly)"
grep -qx 'COM2=/dev/ttyUSB7' /etc/tessaly/FlashWrite.ini || fail "the machine's FlashWrite.ini was not moved to /etc/tessaly"
[ "$(readlink -f /usr/lib/tessaly/FlashWrite.ini)" = /etc/tessaly/FlashWrite.ini ] || fail "the tool does not read /etc/tessaly/FlashWrite.ini"
as bob 'tessaly-cli build --project Plant2 && tessaly-cli compose --project Plant2' >/dev/null ||
  fail "tessaly-cli as bob after the upgrade"
[ "$(readlink /home/bob/.local/share/tessaly/FlashWrite.exe)" = /usr/lib/tessaly/FlashWrite.exe ] ||
  fail "bob's FlashWrite.exe still leads to $(readlink /home/bob/.local/share/tessaly/FlashWrite.exe)"
[ -f /home/bob/.local/share/tessaly/PROJECTS/Plant2/New_sx48316.sx ] || fail "bob's project after the upgrade"
echo "PASS"
STEPS

# Everything that installs and runs the package: without a network.
unshare --net chroot "$root" /bin/bash /tmp/steps.sh "$new"
