#!/usr/bin/env bash
# Tries the player's service unit for real: a minimal Debian with systemd (debootstrap, from the
# mirror this machine's apt uses, kept and reused), the build installed into it, booted under
# systemd-nspawn. There: enable --now and an immediate reload leave the unit active with the file
# read again; a file with a UTF-8 byte-order mark and one without its last line end are taken at a
# reload; systemd-analyze security rates the unit; the player's peak memory is read. Slow (minutes
# the first time), so it is not part of ./test.sh or .ci/run. Needs root.
# Usage: scripts/unit-nspawn.sh [BUILD_DIR]      (default build-rel, else build;
#        KTR_NSPAWN_ROOT=DIR to choose where the system lives)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-$([ -x build-rel/ktr-play ] && echo build-rel || echo build)}
. /etc/os-release
suite=$VERSION_CODENAME
root=${KTR_NSPAWN_ROOT:-${XDG_CACHE_HOME:-$HOME/.cache}/ktr/nspawn-$suite}

fail() {
  echo "unit-nspawn: $*" >&2
  exit 1
}
say() { echo "unit-nspawn: $*"; }
[ "$(id -u)" -eq 0 ] || fail "needs root for debootstrap and systemd-nspawn (sudo $0)"
[ -x "$build/ktr-play" ] || fail "no $build/ktr-play: build first"
./scripts/install-deps.sh debootstrap debian-archive-keyring systemd-container

source scripts/debian-mirror.sh

mkdir -p "$(dirname "$root")"
exec 9>"$root.lock"
flock 9
if [ ! -x "$root/usr/bin/apt-get" ] || [ ! -x "$root/lib/systemd/systemd" ]; then
  rm -rf "$root.new"
  say "making a minimal Debian $suite with systemd in $root from $mirror"
  debootstrap --variant=minbase --include=systemd,systemd-sysv,dbus \
    --keyring=/usr/share/keyrings/debian-archive-keyring.gpg "$suite" "$root.new" "$mirror" >"$root.log" 2>&1 ||
    { tail -20 "$root.log"; fail "debootstrap failed"; }
  rm -rf "$root"
  mv "$root.new" "$root"
fi

# The libraries the player needs, as this machine's packages name them (those of the base system,
# under /lib, are not found and need not be), and the build installed.
packages=$(ldd "$build/ktr-play" | awk '$3 ~ /^\// { print $3 }' | xargs -r realpath |
  { xargs -r dpkg -S 2>/dev/null || true; } | cut -d: -f1 | sort -u | tr '\n' ' ')
say "installing the player's libraries: $packages"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
systemd-nspawn -q --register=no --keep-unit -D "$root" /bin/sh -c \
  "apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $packages" \
  >"$root.apt.log" 2>&1 || { tail -20 "$root.apt.log"; fail "apt-get in the container failed"; }
DESTDIR="$root" cmake --install "$build" --prefix /usr >/dev/null

# Step k lights the data bits of k; step 1 alone is on in the enable line.
effect() { # SPEED ENABLES
  local step bit row
  for step in $(seq 1 22); do
    row=
    for bit in 7 6 5 4 3 2 1 0; do row+=$([ $((step >> bit & 1)) = 1 ] && echo x || echo 0); done
    printf '%s0000\r\n' "$row"
  done
  printf '%s\r\n%s' "$1" "$2"
}
mkdir -p "$root/etc/ktr"
{ effect 100 "xxx0000000000000000000"; printf '\r\n'; } >"$root/etc/ktr/show.eff"
echo 'KTR_OPTIONS=--output screen' >"$root/etc/ktr/show.conf"

# Boot it in the background; commands run in it through nsenter into its PID 1.
log=$root.boot.log
systemd-nspawn --register=no --keep-unit -q -D "$root" -b >"$log" 2>&1 &
nspawn=$!
stop() {
  if [ -n "${leader:-}" ]; then
    nsenter -t "$leader" -a systemctl poweroff >/dev/null 2>&1 || true
  fi
  for _ in $(seq 1 100); do kill -0 "$nspawn" 2>/dev/null || return 0; sleep 0.1; done
  kill "$nspawn" 2>/dev/null || true
}
trap stop EXIT
leader=
for _ in $(seq 1 100); do
  leader=$(pgrep -P "$nspawn" -x systemd || true)
  [ -n "$leader" ] && break
  sleep 0.1
done
[ -n "$leader" ] || { cat "$log"; fail "the container did not boot"; }
inside() { nsenter -t "$leader" -a "$@"; }
for _ in $(seq 1 300); do
  state=$(inside systemctl is-system-running 2>/dev/null || true)
  case $state in running | degraded) break ;; esac
  sleep 0.1
done
say "booted: $(inside systemctl --version | head -1), system $state"

journal() { inside journalctl -q -o cat -u ktr-play@show --no-pager; }
reloaded() { # COUNT: waits until the journal has COUNT "Újraolvasva" lines
  for _ in $(seq 1 100); do
    [ "$(journal | grep -c 'Újraolvasva')" -ge "$1" ] && return 0
    sleep 0.1
  done
  return 1
}
verdict=0
check() { # WHAT CONDITION...
  local what=$1
  shift
  if "$@"; then say "ok: $what"; else
    say "FAILED: $what"
    verdict=1
  fi
}

inside systemctl enable --now ktr-play@show && inside systemctl reload ktr-play@show
check "enable --now, then reload at once: the unit is active" \
  test "$(inside systemctl is-active ktr-play@show)" = active
check "the reload read the file again" reloaded 1

{ printf '\xef\xbb\xbf'; effect 100 "xx00000000000000000000"; printf '\r\n'; } >"$root/etc/ktr/show.eff"
inside systemctl reload ktr-play@show
check "a file with a UTF-8 byte-order mark is taken at a reload" reloaded 2

effect 120 "x000000000000000000000" >"$root/etc/ktr/show.eff"
inside systemctl reload ktr-play@show
check "a file without its last line end is taken at a reload" reloaded 3
check "no file was refused" sh -c "! (nsenter -t $leader -a journalctl -q -o cat -u ktr-play@show --no-pager |
  grep -q 'Hibás effektfájl')"
check "still active, never restarted" test "$(inside systemctl show -p NRestarts --value ktr-play@show)" = 0

pid=$(inside systemctl show -p MainPID --value ktr-play@show)
say "the unit runs $(inside readlink "/proc/$pid/exe"); peak resident memory $(inside grep VmHWM "/proc/$pid/status" | tr -s ' \t' ' ')"
say "$(inside systemd-analyze security ktr-play@show.service 2>/dev/null | grep 'Overall exposure')"
echo "--- systemctl status ktr-play@show"
inside systemctl status --no-pager -n 20 ktr-play@show || true
[ $verdict = 0 ] || fail "the unit misbehaved (boot log: $log)"
say "the unit behaved"
