/* KTR relay sketch for an Arduino Uno or Nano (ATmega328P, 16 MHz), in plain C for avr-gcc and
 * avr-libc. It drives up to twelve relays from the "generic" frames of KTR's serial output
 * (ktr --output serial:DEVICE:generic --serial-header KTR):
 *
 *   channel    1  2  3  4  5  6  7  8  9  10  11  12
 *   pin        D2 D3 D4 D5 D6 D7 D8 D9 D10 D11 D12 D13 (D13 is also the board's LED)
 *
 * Fail-safe: when no whole frame has come for two seconds, every relay is switched off. KTR sends
 * its frame again every 500 ms while a step is held, so only an ended program, a pulled cable or
 * a crashed computer lets the relays drop out. Until the first frame all relays are off.
 *
 * Build options (make VARIABLE=value): BAUD (115200), RELAY_ACTIVE_LOW (1: a relay pulls in while
 * its input is low, as on most relay modules; 0 for boards that switch on a high input). */
#include "frame_parser.h"

#include <avr/io.h>
#include <stdint.h>

#ifndef BAUD
#define BAUD 115200
#endif
/* 115200 baud from 16 MHz is 2.1 % fast, as on every Arduino; the computer's side is exact. */
#define BAUD_TOL 3
#include <util/setbaud.h>

#ifndef RELAY_ACTIVE_LOW
#define RELAY_ACTIVE_LOW 1
#endif

/* Timer 1 runs at F_CPU / 1024 (15625 Hz at 16 MHz): two seconds fit its 16 bits. */
#define FAILSAFE_TICKS ((uint16_t)(2UL * F_CPU / 1024UL))

static const uint8_t header[] = {'K', 'T', 'R'};

/* Both ports are written back to back, so the twelve relays switch together. */
static void set_relays(const uint8_t on[KTR_CHANNELS]) {
    uint8_t d = 0;
    uint8_t b = 0;
    for (uint8_t k = 0; k < 6; ++k) {
        if (on[k] != RELAY_ACTIVE_LOW)
            d |= (uint8_t)(1u << (k + 2)); /* D2..D7: PD2..PD7 */
        if (on[k + 6] != RELAY_ACTIVE_LOW)
            b |= (uint8_t)(1u << k); /* D8..D13: PB0..PB5 */
    }
    PORTD = (uint8_t)((PORTD & 0x03) | d); /* PD0, PD1: the serial line */
    PORTB = (uint8_t)((PORTB & 0xC0) | b);
}

int main(void) {
    static const uint8_t all_off[KTR_CHANNELS] = {0};
    uint8_t on[KTR_CHANNELS];
    uint8_t live = 0; /* a frame came less than two seconds ago */
    struct ktr_parser parser;

    /* The off levels first, then outputs: no relay clicks at power-on. */
    set_relays(all_off);
    DDRD |= 0xFC;
    DDRB |= 0x3F;

    UBRR0H = UBRRH_VALUE;
    UBRR0L = UBRRL_VALUE;
#if USE_2X
    UCSR0A |= (1 << U2X0);
#else
    UCSR0A &= (uint8_t) ~(1 << U2X0);
#endif
    UCSR0C = (1 << UCSZ01) | (1 << UCSZ00); /* 8N1 */
    UCSR0B = (1 << RXEN0);

    TCCR1A = 0;
    TCCR1B = (1 << CS12) | (1 << CS10); /* F_CPU / 1024 */

    ktr_parser_init(&parser, header, sizeof header, 0, 0);
    for (;;) {
        if (UCSR0A & (1 << RXC0)) {
            /* A byte with a framing error or after an overrun is fed as it is: the parser drops
             * the frame it breaks. */
            if (ktr_parser_feed(&parser, UDR0, on)) {
                set_relays(on);
                TCNT1 = 0;
                live = 1;
            }
        }
        if (live && TCNT1 >= FAILSAFE_TICKS) {
            set_relays(all_off);
            live = 0;
        }
    }
}
