#!/usr/bin/env bash
# Builds the Debian package from a release build in build-pkg/ and prints where it is.
# Usage: scripts/build-deb.sh       then: sudo apt-get install ./build-pkg/ktr_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh dpkg-dev file

# Debian's usual compiler and linker flags (hardening included), as a Debian build would use.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

cmake -S . -B build-pkg -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
  "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" >/dev/null
cmake --build build-pkg
rm -f build-pkg/ktr_*.deb
(cd build-pkg && cpack -G DEB >/dev/null)
ls "$PWD"/build-pkg/ktr_*.deb
