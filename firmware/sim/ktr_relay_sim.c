/* Runs the built sketch on simavr's ATmega328P at 16 MHz, feeds its serial line the frames KTR's
 * generic output sends (header KTR) and reads the relay pins back: the channel-to-pin table, a
 * step held by the 500 ms resend, and the two-second fail-safe.
 * Usage: ktr_relay_sim build/ktr_relay.elf      (exit status 0 when every check holds) */
#include <avr_uart.h>
#include <sim_avr.h>
#include <sim_elf.h>

#include <stdio.h>
#include <string.h>

enum { PORTB = 0x25, PORTD = 0x2B }; /* data-space addresses; each DDRx sits just below */

static avr_t* avr;
static int failures;

static void run_for(double seconds) {
    const avr_cycle_count_t end = avr->cycle + (avr_cycle_count_t)(seconds * avr->frequency);
    while (avr->cycle < end) {
        const int state = avr_run(avr);
        if (state == cpu_Done || state == cpu_Crashed) {
            fprintf(stderr, "ktr_relay_sim: the sketch stopped (state %d)\n", state);
            failures++;
            return;
        }
    }
}

/* A frame as KTR sends it for a row of "x"/"0", and the time the line takes for it at 115200 baud. */
static void send_frame(const char* row) {
    avr_irq_t* line = avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    for (int i = 0; i < 15; ++i)
        avr_raise_irq(line, i < 3 ? "KTR"[i] : row[i - 3] == 'x' ? 0xFF : 0x00);
    run_for(15 * 10 / 115200.0 + 0.0005);
}

/* The relays as "x"/"0", channel 1 (D2) first, active low; "-" for a pin that is no output. */
static void expect(const char* what, const char* wanted) {
    char got[13] = {0};
    for (int k = 0; k < 12; ++k) {
        const int port = k < 6 ? PORTD : PORTB, bit = k < 6 ? k + 2 : k - 6;
        got[k] = !((avr->data[port - 1] >> bit) & 1) ? '-' : ((avr->data[port] >> bit) & 1) ? '0' : 'x';
    }
    if (strcmp(got, wanted) != 0) {
        fprintf(stderr, "ktr_relay_sim: %s: relays %s, expected %s\n", what, got, wanted);
        failures++;
    }
}

int main(int argc, char** argv) {
    elf_firmware_t firmware;
    memset(&firmware, 0, sizeof firmware);
    if (argc != 2 || elf_read_firmware(argv[1], &firmware) != 0 ||
        !(avr = avr_make_mcu_by_name("atmega328p"))) {
        fprintf(stderr, "usage: ktr_relay_sim FIRMWARE.elf\n");
        return 2;
    }
    avr_init(avr);
    avr->frequency = 16000000;
    avr_load_firmware(avr, &firmware);
    /* simavr otherwise sleeps in real time whenever the sketch polls an empty line. */
    uint32_t flags = 0;
    avr_ioctl(avr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
    flags &= ~(uint32_t)AVR_UART_FLAG_POLL_SLEEP;
    avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);

    run_for(0.01);
    expect("after power-on", "000000000000");
    const char* rows[] = {"x0000000x000", "0x00000000xx", "xxxxxxxxxxxx"};
    for (int i = 0; i < 3; ++i) {
        send_frame(rows[i]);
        expect("a frame", rows[i]);
    }
    for (int i = 0; i < 6; ++i) { /* a held step: KTR resends every 500 ms */
        run_for(0.5);
        send_frame("00000x000000");
    }
    expect("held for three seconds", "00000x000000");
    run_for(1.9);
    expect("1.9 s without a frame", "00000x000000");
    run_for(0.2);
    expect("2.1 s without a frame: the fail-safe", "000000000000");
    send_frame("x00000000000");
    expect("a frame after the fail-safe", "x00000000000");
    avr_terminate(avr);
    return failures ? 1 : 0;
}
