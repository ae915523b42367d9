/* Runs the built sketch on simavr's ATmega328P at 16 MHz, feeds its serial line the frames KTR's
 * generic output sends (header KTR) and reads the relay pins back: the channel-to-pin table, a
 * frame found again after noise, a step held by the 500 ms resend, and the two-second fail-safe.
 * Usage: ktr_relay_sim build/ktr_relay.elf      (exit status 0 when every check holds) */
#include <sim_avr.h>
#include <sim_elf.h>
#include <avr_uart.h>

#include <stdint.h>
#include <stdio.h>
#include <string.h>

/* Data-space addresses of the ATmega328P's port registers. */
enum { DDRB = 0x24, PORTB = 0x25, DDRD = 0x2A, PORTD = 0x2B };

static avr_t* avr;
static avr_irq_t* uart_in;
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

/* One generic frame for a row of "x"/"0", as KTR sends it, and the time the line takes for it. */
static void send_frame(const char* row) {
    uint8_t frame[15] = {'K', 'T', 'R'};
    for (int k = 0; k < 12; ++k)
        frame[3 + k] = row[k] == 'x' ? 0xFF : 0x00;
    for (int i = 0; i < 15; ++i)
        avr_raise_irq(uart_in, frame[i]);
    run_for(15 * 10 / 115200.0 + 0.0005);
}

static void send_bytes(const uint8_t* bytes, int count) {
    for (int i = 0; i < count; ++i)
        avr_raise_irq(uart_in, bytes[i]);
    run_for(count * 10 / 115200.0 + 0.0005);
}

/* The relays as "x"/"0", channel 1 first: D2..D13, active low; "-" for a pin that is no output. */
static void relays(char out[13]) {
    for (int k = 0; k < 12; ++k) {
        const int port = k < 6 ? PORTD : PORTB;
        const int bit = k < 6 ? k + 2 : k - 6;
        const int output = (avr->data[port - 1] >> bit) & 1; /* DDRx sits just below PORTx */
        out[k] = !output ? '-' : ((avr->data[port] >> bit) & 1) ? '0' : 'x';
    }
    out[12] = 0;
}

static void expect(const char* what, const char* wanted) {
    char got[13];
    relays(got);
    if (strcmp(got, wanted) != 0) {
        fprintf(stderr, "ktr_relay_sim: %s: relays %s, expected %s\n", what, got, wanted);
        failures++;
    } else {
        printf("ktr_relay_sim: %s: %s\n", what, got);
    }
}

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: ktr_relay_sim FIRMWARE.elf\n");
        return 2;
    }
    elf_firmware_t firmware;
    memset(&firmware, 0, sizeof firmware);
    if (elf_read_firmware(argv[1], &firmware) != 0) {
        fprintf(stderr, "ktr_relay_sim: cannot read %s\n", argv[1]);
        return 2;
    }
    avr = avr_make_mcu_by_name("atmega328p");
    if (!avr)
        return 2;
    avr_init(avr);
    avr->frequency = 16000000;
    avr->log = 0;
    avr_load_firmware(avr, &firmware);
    uart_in = avr_io_getirq(avr, AVR_IOCTL_UART_GETIRQ('0'), UART_IRQ_INPUT);
    /* simavr otherwise sleeps a microsecond of real time whenever the sketch polls an empty line:
     * time here is the simulated clock alone. */
    uint32_t flags = 0;
    avr_ioctl(avr, AVR_IOCTL_UART_GET_FLAGS('0'), &flags);
    flags &= ~(uint32_t)AVR_UART_FLAG_POLL_SLEEP;
    avr_ioctl(avr, AVR_IOCTL_UART_SET_FLAGS('0'), &flags);

    run_for(0.01);
    expect("after power-on", "000000000000");

    send_frame("x0000000x000");
    expect("channels 1 and 9", "x0000000x000");
    send_frame("0x00000000xx");
    expect("channels 2, 11, 12", "0x00000000xx");
    send_frame("xxxxxxxxxxxx");
    expect("all twelve", "xxxxxxxxxxxx");

    /* Noise, a broken frame (a byte lost), and a header found inside it. */
    const uint8_t noise[] = {0x4B, 0x54, 0x4B, 0x54, 0x52, 0xFF, 0x00, 0x13, 0x4B, 0x54};
    send_bytes(noise, (int)sizeof noise);
    expect("noise changes nothing", "xxxxxxxxxxxx");
    const uint8_t lost[] = {'K', 'T', 'R', 0xFF, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    send_bytes(lost, (int)sizeof lost);
    send_frame("00000x000000");
    expect("the frame after a short one", "00000x000000");

    /* A held step: KTR resends every 500 ms, the relays stay. */
    for (int i = 0; i < 6; ++i) {
        run_for(0.5);
        send_frame("00000x000000");
    }
    expect("held for three seconds", "00000x000000");

    run_for(1.9);
    expect("1.9 s without a frame", "00000x000000");
    run_for(0.2);
    expect("2.1 s without a frame: fail-safe", "000000000000");
    send_frame("x00000000000");
    expect("a frame after the fail-safe", "x00000000000");

    avr_terminate(avr);
    return failures ? 1 : 0;
}
