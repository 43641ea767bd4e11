/*
 * board_model.h - the behaviour of one Velnor board as its kernel driver
 * serves it, written once for every host: the user-mode virtual platform and
 * the kernel-mode virtual board driver.
 *
 * The wire facts (requests, lengths, values, status words, the image
 * container, CRC-32) are the protocol header's; this header adds only the
 * board's state and the calls a host makes on it.
 *
 * Freestanding C11: no allocation, no globals, no OS calls, no locks. All
 * state lives in a vlbm_board that the host provides and serialises access
 * to. Requests come in as bytes and replies go out as bytes, in the driver's
 * wire format: a little-endian 32-bit status word followed by the payload.
 * The only library functions used are memcpy, memset and memcmp (the kernel
 * exports them too).
 */
#ifndef VELNOR_BOARD_MODEL_H
#define VELNOR_BOARD_MODEL_H

#include "velnor_board_protocol.h"

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Outcome of vlbm_request at the transport level (not the status word). */
enum vlbm_outcome {
    VLBM_DONE = 0,             /* reply written; bytes_returned set */
    VLBM_UNKNOWN_REQUEST = 1,  /* ERROR_INVALID_FUNCTION / STATUS_INVALID_DEVICE_REQUEST */
    VLBM_BUFFER_TOO_SMALL = 2, /* ERROR_INSUFFICIENT_BUFFER / STATUS_BUFFER_TOO_SMALL */
    VLBM_INVALID_PARAMETER = 3 /* input shorter than the request needs: ERROR_INVALID_PARAMETER */
};

#define VLBM_ERASE_POLLS 3 /* status polls an erase lasts */

/* What a board is made with. serial: up to 32 characters, no terminator needed. */
typedef struct vlbm_config {
    char serial[VLB_TEXT_SIZE];
    vlb_version driver_version;
    vlb_version firmware_version;
} vlbm_config;

/* The whole state of one board. Hosts treat it as opaque. */
typedef struct vlbm_board {
    vlbm_config config;
    uint32_t led;
    uint32_t trigger_polarity;
    uint32_t trigger_status;
    uint8_t clock[VLB_CLOCK_RECORD_SIZE]; /* the record last set, reserved bytes as received */
    uint8_t registers[VLB_REGISTER_COUNT];
    uint32_t update_state;
    uint32_t update_received;
    uint32_t erase_polls_left;
    uint32_t crc_running;
    uint8_t image_header[VLB_IMAGE_HEADER_SIZE];
} vlbm_board;

/* Fills config with defaults: serial "VLN-SIM-0000", driver 2.4.1, firmware 1.3.0. */
void vlbm_default_config(vlbm_config* config);

/* Powers the board on: power-on register file, clock mode 0 at 100 MHz, LED off. */
void vlbm_init(vlbm_board* board, const vlbm_config* config);

/*
 * Serves request fn. in/in_len: the request's input bytes. out/out_len: the
 * reply buffer; the board writes the status word and the payload (4 + L
 * bytes for the request's payload length L) and sets *bytes_returned.
 * Returns VLBM_DONE, or a transport-level refusal without touching out.
 */
int vlbm_request(vlbm_board* board, uint32_t fn, const void* in, uint32_t in_len, void* out,
                 uint32_t out_len, uint32_t* bytes_returned);

/* An armed trigger fires: trigger status becomes 2 (triggered). */
void vlbm_fire_trigger(vlbm_board* board);

/*
 * Finds VCO frequency (10 MHz grid, 1.8-2.2 GHz), VCO divider (2-6) and
 * channel divider (1-32) producing frequency_hz exactly. Returns 1 and fills
 * the outputs if found, else 0. Lowest VCO frequency first, then the lowest
 * VCO divider.
 */
int vlbm_find_dividers(int64_t frequency_hz, int64_t* vco_hz, uint32_t* vco_divider,
                       uint32_t* channel_divider);

#ifdef __cplusplus
}
#endif

#endif /* VELNOR_BOARD_MODEL_H */
