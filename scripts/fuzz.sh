#!/usr/bin/env bash
# Builds the effect-file fuzzer with clang (libFuzzer + ASan + UBSan) and runs it for a bounded
# time on a copy of the seed corpus. Usage: scripts/fuzz.sh [SECONDS]   (default 60)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

missing=()
for p in clang libclang-rt-14-dev; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKTR_FUZZ=ON -DBUILD_TESTING=OFF >/dev/null
cmake --build build-fuzz --target fuzz_effect

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp fuzz/corpus/* "$work/"
# Inputs up to 128 KiB, past the reader's 64 KiB limit; memory and time per input are capped.
./build-fuzz/fuzz/fuzz_effect -max_total_time="$seconds" -max_len=131072 -rss_limit_mb=512 \
  -timeout=5 -print_final_stats=1 "$work" 2>&1 | tail -n 25
