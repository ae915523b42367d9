#!/usr/bin/env bash
# Runs the whole suite (./test.sh) on Debian 13 "trixie": Qt 6.8, gcc 14, libgpiod 2, OLA as
# Debian 13 ships them. The system is a minimal one made with debootstrap from the Debian mirror
# this machine's apt uses, kept in KTR_DEBIAN13_ROOT and reused by the next run; KTR's
# dependencies come from its own install script. Needs root (debootstrap, mounts, chroot).
# Usage: scripts/debian13.sh              (KTR_DEBIAN13_ROOT=DIR to choose where the system lives)
set -euo pipefail
cd "$(dirname "$0")/.."
source=$PWD
root=${KTR_DEBIAN13_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/ktr/debian13}
suite=trixie

fail() {
  echo "debian13: $*" >&2
  exit 1
}
[ "$(id -u)" -eq 0 ] || fail "needs root for debootstrap, mount and chroot (sudo $0)"
./scripts/install-deps.sh debootstrap debian-archive-keyring

source scripts/debian-mirror.sh

mkdir -p "$(dirname "$root")"
# One run at a time per system: a second one waits rather than sharing the mounts.
exec 9>"$root.lock"
flock 9

if [ ! -x "$root/usr/bin/apt-get" ]; then
  # Made aside and moved in place when complete, so that an interrupted run leaves nothing to reuse.
  rm -rf "$root.new"
  echo "debian13: making a minimal Debian 13 in $root from $mirror"
  start=$SECONDS
  debootstrap --variant=minbase --keyring=/usr/share/keyrings/debian-archive-keyring.gpg \
    "$suite" "$root.new" "$mirror" >"$root.log" 2>&1 || { tail -20 "$root.log"; fail "debootstrap failed"; }
  rm -rf "$root"
  mv "$root.new" "$root"
  echo "debian13: made in $((SECONDS - start)) s"
fi

mounted=()
cleanup() {
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}"
  done
}
trap cleanup EXIT
mountin() { # TYPE-OR-BIND SOURCE TARGET-IN-ROOT [OPTIONS]
  mkdir -p "$root$3"
  if [ "$1" = bind ]; then
    mount --bind "$2" "$root$3"
  else
    mount -t "$1" ${4:+-o "$4"} "$2" "$root$3"
  fi
  mounted+=("$root$3")
}
mountin proc proc /proc
mountin sysfs sysfs /sys
mountin bind /dev /dev
mountin bind /dev/pts /dev/pts
mountin tmpfs tmpfs /dev/shm mode=1777
# A fresh /tmp each run: the tests' temporary files, and olad's configuration, which olad reads
# as "nobody".
mountin tmpfs tmpfs /tmp mode=1777
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

# The source tree as it is here, tracked or not. The build folders in the copy are kept, but the
# files are copied with the time of the copy: kept times could be older than objects built from
# another tree before, which would then go stale unnoticed. The compiler cache keeps the rebuild
# short.
work=$root/ktr
mkdir -p "$work"
find "$work" -mindepth 1 -maxdepth 1 ! -name 'build*' -exec rm -rf {} +
tar -C "$source" --exclude-vcs --exclude='./build*' -cf - . | tar -C "$work" --touch -xf -

# The build must be as free of warnings there (Qt 6.8 deprecates more) as on Debian 12.
log=$root.test.log
start=$SECONDS
chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM="${TERM:-dumb}" \
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
  CMAKE_CXX_COMPILER_LAUNCHER=ccache CCACHE_DIR=/var/cache/ktr-ccache \
  /bin/bash -c 'set -e; cd /ktr; ./scripts/install-deps.sh ccache; . /etc/os-release
    echo "debian13: $PRETTY_NAME, $(g++ --version | head -1), Qt $(dpkg-query -W -f="\${Version}" qt6-base-dev)"
    ./test.sh' 2>&1 | tee "$log"
if grep -q ': warning: ' "$log"; then
  grep ': warning: ' "$log" >&2
  fail "the build on Debian 13 gives warnings"
fi
echo "debian13: the suite passed on Debian 13 in $((SECONDS - start)) s"
