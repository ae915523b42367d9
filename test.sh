#!/usr/bin/env bash
# Installs what is missing, builds and runs every test offscreen.
# Usage: ./test.sh            the normal build
#        KTR_SANITIZE=1 ./test.sh   the same suite under AddressSanitizer + UBSan
#        KTR_SANITIZE=thread ./test.sh   the same suite under ThreadSanitizer
set -euo pipefail
cd "$(dirname "$0")"
# The tests' own tools: faketime for the schedule's preview, Debian's chromium driven through
# chromium-driver and python3-selenium for the web page.
./scripts/install-deps.sh faketime chromium chromium-driver python3-selenium

build=build
options=(-DCMAKE_BUILD_TYPE=Debug -DKTR_BUILD_BENCH=ON)
case "${KTR_SANITIZE:-0}" in
  1)
    build=build-asan
    options+=(-DKTR_SANITIZE=ON)
    # OLA's own leak when a request to olad is given up; see the file.
    export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp print_suppressions=0 ${LSAN_OPTIONS:-}"
    ;;
  thread)
    build=build-tsan
    options+=(-DKTR_SANITIZE=thread)
    # Qt's own libraries are not instrumented; see the file for what that hides and why.
    export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1 die_after_fork=0 suppressions=$PWD/tests/tsan.supp ${TSAN_OPTIONS:-}"
    ;;
esac
cmake -S . -B "$build" -G Ninja "${options[@]}" >/dev/null
cmake --build "$build"
export QT_QPA_PLATFORM=offscreen
ctest --test-dir "$build" --output-on-failure
