#!/usr/bin/env bash
# Builds the relay sketch in firmware/ with Debian's AVR toolchain, checks that it fits an
# ATmega328P (Uno, Nano) beside its bootloader, and runs it on simavr against the frames KTR sends:
# the channel-to-pin table, noise on the line, a held step and the two-second fail-safe.
# Usage: scripts/build-firmware.sh [BUILD_DIR]      (default: build-firmware)
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/install-deps.sh gcc-avr avr-libc binutils-avr libsimavr-dev
out=$(realpath -m "${1:-build-firmware}")
fail() {
  echo "build-firmware: $*" >&2
  exit 1
}

make -s -C firmware BUILD="$out" >/dev/null
read -r text data bss _ < <(avr-size "$out/ktr_relay.elf" | tail -1)
# 32 KiB of flash less the 512-byte bootloader; of the 2 KiB of RAM most is left to the stack.
[ $((text + data)) -le 32256 ] || fail "the sketch takes $((text + data)) bytes of flash, more than 32256"
[ $((data + bss)) -le 512 ] || fail "the sketch takes $((data + bss)) bytes of RAM, more than 512"

cc -std=c99 -O2 -Wall -Wextra -Werror -I/usr/include/simavr firmware/sim/ktr_relay_sim.c -lsimavr \
  -o "$out/ktr_relay_sim"
"$out/ktr_relay_sim" "$out/ktr_relay.elf" >"$out/sim.log" 2>&1 || { cat "$out/sim.log"; fail "the sketch failed on simavr"; }
echo "build-firmware: $out/ktr_relay.hex, $((text + data)) bytes of flash, $((data + bss)) bytes of RAM; simavr checks passed"
