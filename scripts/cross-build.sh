#!/usr/bin/env bash
# Cross-builds KTR for 64-bit ARM (Raspberry Pi OS, Debian arm64) in build-arm64/, runs the test
# suite there under qemu-user and makes the arm64 .deb. Installs what it lacks: the arm64
# architecture in dpkg, the cross compiler, qemu-user and the arm64 development packages.
# Usage: scripts/cross-build.sh arm64
set -euo pipefail
cd "$(dirname "$0")/.."
fail() {
  echo "cross-build: $*" >&2
  exit 1
}
[ "${1:-}" = arm64 ] || fail "usage: $0 arm64 (the one target so far)"
arch=arm64
triplet=aarch64-linux-gnu
build=build-$arch
sysroot=$PWD/$build/sysroot
sudo=""
[ "$(id -u)" -ne 0 ] && sudo=sudo

dpkg --print-foreign-architectures | grep -qx "$arch" || {
  echo "cross-build: adding the $arch architecture to dpkg"
  $sudo dpkg --add-architecture "$arch"
  $sudo apt-get update -qq
}
# OLA's client library installs beside the host's; not its development package, which needs the
# daemon of the same architecture, and the daemon cannot sit beside the host's own. Its files are
# unpacked into the sysroot below instead.
./scripts/install-deps.sh crossbuild-essential-$arch qemu-user-static dpkg-dev file \
  qt6-base-dev:$arch libgl-dev:$arch libxcb1-dev:$arch libprotobuf-dev:$arch libola1:$arch libgpiod-dev:$arch \
  qt6-httpserver-dev:$arch qt6-websockets-dev:$arch libqrencode-dev:$arch

# Unpacked again whenever the version apt has differs from the one unpacked.
version=$(dpkg-query -W -f='${Version}' "libola1:$arch")
if [ "$(cat "$sysroot/version" 2>/dev/null)" != "$version" ]; then
  rm -rf "$sysroot"
  mkdir -p "$sysroot/debs"
  (cd "$sysroot/debs" && apt-get download -qq -o APT::Sandbox::User=root "libola-dev:$arch=$version" "libola1:$arch=$version")
  for deb in "$sysroot"/debs/*.deb; do dpkg-deb -x "$deb" "$sysroot"; done
  sed -i "s|^prefix=.*|prefix=$sysroot/usr|" "$sysroot/usr/lib/$triplet/pkgconfig/libola.pc"
  echo "$version" >"$sysroot/version"
fi
export PKG_CONFIG_PATH=$sysroot/usr/lib/$triplet/pkgconfig

# One release build with Debian's arm64 compiler and linker flags (hardening included), as a
# Debian build for the board would use: the suite tests the very binary that is packaged.
start=$SECONDS
export DEB_HOST_ARCH=$arch DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} # a fresh clone elsewhere still finds its objects
fi
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE=cmake/$triplet.cmake \
  "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "${launcher[@]}" >/dev/null
cmake --build "$build" | tee "$build/build.log"
if grep -q ': warning: ' "$build/build.log"; then
  grep ': warning: ' "$build/build.log" >&2
  fail "the arm64 build gives warnings"
fi
built=$((SECONDS - start))

# qemu-user runs each test program. It refuses the clone() through which QProcess starts another
# program (with CLONE_PIDFD: EINVAL), so the tests that start ktr or olad skip themselves, saying so.
start=$SECONDS
export KTR_TEST_NO_CHILD_PROCESSES="qemu-user refuses the clone() QProcess starts programs with (CLONE_PIDFD)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build" --output-on-failure
tested=$((SECONDS - start))
echo "cross-build: skipped under qemu-user:"
grep -h '^SKIP   :' "$build"/Testing/Temporary/LastTest*.log | sed -E 's/^SKIP   : ([^( ]*)(\([^)]*\))? /  \1: /' | sort -u

# The package as Debian would name it for the board; dpkg-shlibdeps reads the arm64 libraries'
# package information through the cross tools.
start=$SECONDS
rm -f "$build"/ktr_*.deb
(cd "$build" && cpack -G DEB -D CPACK_DEBIAN_PACKAGE_ARCHITECTURE=$arch >/dev/null)
deb=$(echo "$PWD/$build"/ktr_*_$arch.deb)
[ -f "$deb" ] || fail "cpack made no $arch package"
[ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$deb is not for $arch"
unpacked=$(mktemp -d)
trap 'rm -rf "$unpacked"' EXIT
dpkg-deb -x "$deb" "$unpacked"
programs=$(find "$unpacked" -type f -exec file {} + | grep ' ELF ')
[ -n "$programs" ] || fail "the package holds no program"
! grep -v 'ARM aarch64' <<<"$programs" || fail "the package holds programs that are not for arm64"
echo "cross-build: $deb ($(dpkg-deb -f "$deb" Depends))"
echo "cross-build: built in ${built} s, tested under qemu-user in ${tested} s, packaged in $((SECONDS - start)) s"
