#!/usr/bin/env bash
# Installs what is missing, builds and runs every test offscreen.
# Usage: ./test.sh            the normal build
#        KTR_SANITIZE=1 ./test.sh   the same suite under AddressSanitizer + UBSan
set -euo pipefail
cd "$(dirname "$0")"
./scripts/install-deps.sh

build=build
options=(-DCMAKE_BUILD_TYPE=Debug)
if [ "${KTR_SANITIZE:-0}" = 1 ]; then
  build=build-asan
  options+=(-DKTR_SANITIZE=ON)
fi
cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure
