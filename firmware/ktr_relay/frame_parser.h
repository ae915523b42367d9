/* The frames KTR's serial output sends with the "generic" protocol: a header, twelve channel
 * bytes (0x00 off, 0xFF on, channel 1 first), a footer. Plain C99, header only: the sketch
 * (avr-gcc) and the host-side test include the same code.
 *
 * Bytes are fed one at a time. A byte that cannot continue the frame does not throw away what
 * came before it: the parser keeps the longest tail of the received bytes that can still begin a
 * frame, so it finds the next header even inside a broken frame, and a lost byte costs only the
 * frame it belonged to. Channel bytes other than 0x00 and 0xFF break the frame (KTR sends no
 * others), which catches most misalignments. */
#ifndef KTR_FRAME_PARSER_H
#define KTR_FRAME_PARSER_H

#include <stdint.h>
#include <string.h>

#define KTR_CHANNELS 12
#define KTR_MAX_FRAME_TEXT 16 /* bytes of the header, and of the footer */
#define KTR_MAX_FRAME (KTR_MAX_FRAME_TEXT + KTR_CHANNELS + KTR_MAX_FRAME_TEXT)

struct ktr_parser {
    const uint8_t* header;
    uint8_t header_length;
    const uint8_t* footer;
    uint8_t footer_length;
    uint8_t length; /* bytes of the frame received so far */
    uint8_t bytes[KTR_MAX_FRAME];
};

/* header and footer must outlive the parser; each at most KTR_MAX_FRAME_TEXT bytes. */
static inline void ktr_parser_init(struct ktr_parser* parser, const uint8_t* header, uint8_t header_length,
                                   const uint8_t* footer, uint8_t footer_length) {
    parser->header = header;
    parser->header_length = header_length;
    parser->footer = footer;
    parser->footer_length = footer_length;
    parser->length = 0;
}

/* Whether byte may stand at position at of a frame. */
static inline int ktr_parser_fits(const struct ktr_parser* parser, uint8_t at, uint8_t byte) {
    if (at < parser->header_length)
        return byte == parser->header[at];
    at = (uint8_t)(at - parser->header_length);
    if (at < KTR_CHANNELS)
        return byte == 0x00 || byte == 0xFF;
    return byte == parser->footer[at - KTR_CHANNELS];
}

/* Feeds one byte. Returns 1 when it completed a frame; its channels are then in on (1 on, 0 off,
 * channel 1 first). */
static inline int ktr_parser_feed(struct ktr_parser* parser, uint8_t byte, uint8_t on[KTR_CHANNELS]) {
    const uint8_t frame_length = (uint8_t)(parser->header_length + KTR_CHANNELS + parser->footer_length);
    parser->bytes[parser->length++] = byte;
    if (!ktr_parser_fits(parser, (uint8_t)(parser->length - 1), byte)) {
        /* The bytes before this one fitted from position 0; find the next start they all fit from. */
        uint8_t start = 1;
        for (; start < parser->length; ++start) {
            uint8_t i = start;
            while (i < parser->length && ktr_parser_fits(parser, (uint8_t)(i - start), parser->bytes[i]))
                ++i;
            if (i == parser->length)
                break;
        }
        parser->length = (uint8_t)(parser->length - start);
        memmove(parser->bytes, parser->bytes + start, parser->length);
    }
    if (parser->length < frame_length)
        return 0;
    for (uint8_t k = 0; k < KTR_CHANNELS; ++k)
        on[k] = parser->bytes[parser->header_length + k] == 0xFF;
    parser->length = 0;
    return 1;
}

#endif
