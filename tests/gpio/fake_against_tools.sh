#!/bin/sh
# Checks the fake GPIO chip against libgpiod's own tools (gpioinfo, gpioset), whose options differ
# between libgpiod 1.6 and 2.x: what they print and request must be what a real chip would give.
# Usage: fake_against_tools.sh PRELOAD GPIOINFO GPIOSET
set -eu
preload=$1 gpioinfo=$2 gpioset=$3
sysfs=$(mktemp -d)
trap 'rm -rf "$sysfs"' EXIT
export KTR_FAKE_GPIO="gpiochip0,8,fake-label" KTR_FAKE_GPIO_SYSFS="$sysfs" KTR_FAKE_GPIO_BUSY="5=spi0"
fail() { echo "FAIL: $*" >&2; exit 1; }

case $("$gpioinfo" --version | head -n1) in
*" v1."*) v=1 ;;
*) v=2 ;;
esac
echo "libgpiod tools version $v"

if [ $v = 1 ]; then
    info=$(LD_PRELOAD=$preload "$gpioinfo" gpiochip0)
    set_high=$(LD_PRELOAD=$preload KTR_FAKE_GPIO_TRACE=1 "$gpioset" gpiochip0 3=1 4=0 2>&1)
    set_low=$(LD_PRELOAD=$preload KTR_FAKE_GPIO_TRACE=1 "$gpioset" -l gpiochip0 3=1 4=0 2>&1)
    busy=$(LD_PRELOAD=$preload "$gpioset" gpiochip0 5=1 2>&1) && fail "gpioset took a busy line"
else
    info=$(LD_PRELOAD=$preload "$gpioinfo" -c gpiochip0)
    set_high=$(LD_PRELOAD=$preload KTR_FAKE_GPIO_TRACE=1 "$gpioset" -c gpiochip0 -t 0 3=1 4=0 2>&1)
    set_low=$(LD_PRELOAD=$preload KTR_FAKE_GPIO_TRACE=1 "$gpioset" -l -c gpiochip0 -t 0 3=1 4=0 2>&1)
    busy=$(LD_PRELOAD=$preload "$gpioset" -c gpiochip0 -t 0 5=1 2>&1) && fail "gpioset took a busy line"
fi
# Without the sysfs attribute libgpiod must refuse the chip.
if [ $v = 1 ]; then
    KTR_FAKE_GPIO_NO_SYSFS=1 LD_PRELOAD=$preload "$gpioinfo" gpiochip0 >/dev/null 2>&1 && fail "chip without sysfs"
else
    KTR_FAKE_GPIO_NO_SYSFS=1 LD_PRELOAD=$preload "$gpioinfo" -c gpiochip0 >/dev/null 2>&1 && fail "chip without sysfs"
fi
printf '%s\n%s\n%s\n%s\n' "$info" "$set_high" "$set_low" "$busy"

echo "$info" | grep -q "gpiochip0 .*8 lines" || fail "chip info"
echo "$info" | grep "line *5:" | grep -q '"spi0"' || fail "busy line's consumer"
echo "$info" | grep "line *7:" | grep -q '"GPIO7"' || fail "line name"
[ "$(echo "$info" | grep -c "line ")" = 8 ] || fail "line count"
echo "$set_high" | grep -q "fake gpio: request 3=1 4=0" || fail "values of a plain request"
# Active-low: the kernel inverts the request's values, so 3=1 drives the line low.
echo "$set_low" | grep -q "fake gpio: request 3=0 4=1" || fail "values of an active-low request"
echo "$busy" | grep -qi "busy" || fail "busy line"
echo "fake chip agrees with libgpiod $v tools"
