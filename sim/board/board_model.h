/*
 * board_model.h - the behaviour of one Velnor board as its kernel driver
 * serves it, written once for every host: the user-mode virtual platform and
 * the kernel-mode virtual board driver.
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

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Request numbers (function 0x800 + n, control code 0x222000 + 4 * n). */
enum vlbm_request {
    VLBM_REQ_GET_DRIVER_VERSION = 0,
    VLBM_REQ_GET_FIRMWARE_VERSION = 1,
    VLBM_REQ_UPDATE_START = 2,
    VLBM_REQ_UPDATE_STATUS = 3,
    VLBM_REQ_UPDATE_WRITE = 4,
    VLBM_REQ_UPDATE_COMPLETE = 5,
    VLBM_REQ_UPDATE_RESET = 6,
    VLBM_REQ_GET_LED = 7,
    VLBM_REQ_SET_LED = 8,
    VLBM_REQ_GET_TRIGGER_POLARITY = 9,
    VLBM_REQ_SET_TRIGGER_POLARITY = 10,
    VLBM_REQ_GET_TRIGGER_STATUS = 11,
    VLBM_REQ_SET_TRIGGER_STATUS = 12,
    VLBM_REQ_GET_CLOCK = 13,
    VLBM_REQ_SET_CLOCK = 14,
    VLBM_REQ_REG_WRITE = 15,
    VLBM_REQ_REG_READ = 16,
    VLBM_REQ_GET_SERIAL = 17,
    VLBM_REQUEST_COUNT = 18
};

#define VLBM_CTL_CODE(fn) (0x220000u | (0x2000u + 4u * (uint32_t)(fn)))

/* Status words the board answers (same values as the library's codes). */
#define VLBM_STATUS_OK 0
#define VLBM_STATUS_UPDATE_INVALID_STATUS (-8)
#define VLBM_STATUS_INVALID_DATA (-9)
#define VLBM_STATUS_PLL_NOT_LOCKED (-11)

/* Outcome of vlbm_request at the transport level (not the status word). */
enum vlbm_outcome {
    VLBM_DONE = 0,                /* reply written; bytes_returned set */
    VLBM_UNKNOWN_REQUEST = 1,     /* ERROR_INVALID_FUNCTION / STATUS_INVALID_DEVICE_REQUEST */
    VLBM_BUFFER_TOO_SMALL = 2,    /* ERROR_INSUFFICIENT_BUFFER / STATUS_BUFFER_TOO_SMALL */
    VLBM_INVALID_PARAMETER = 3    /* input shorter than the request needs: ERROR_INVALID_PARAMETER */
};

/* Board values. */
enum { VLBM_LED_OFF = 0, VLBM_LED_ON = 1, VLBM_LED_BLINK = 2 };
enum { VLBM_TRIGGER_RISING = 0, VLBM_TRIGGER_FALLING = 1 };
enum { VLBM_TRIGGER_DISARMED = 0, VLBM_TRIGGER_ARMED = 1, VLBM_TRIGGER_TRIGGERED = 2 };
enum { VLBM_CLOCK_INTERNAL = 0, VLBM_CLOCK_EXTERNAL = 1 };
enum {
    VLBM_UPDATE_IDLE = 0,
    VLBM_UPDATE_ERASING = 1,
    VLBM_UPDATE_READY = 2,
    VLBM_UPDATE_VERIFYING = 3,
    VLBM_UPDATE_DONE = 4,
    VLBM_UPDATE_FAILED = 5
};

#define VLBM_REGISTER_COUNT 0x233 /* AD9516 registers 0x000 to 0x232 */
#define VLBM_BLOCK_SIZE 1032      /* offset u32, length u32, 1024 data bytes */
#define VLBM_BLOCK_DATA_MAX 1024
#define VLBM_IMAGE_HEADER_SIZE 64
#define VLBM_IMAGE_MAX (16u * 1024u * 1024u)
#define VLBM_ERASE_POLLS 3 /* status polls an erase lasts */

/* A version as the driver reports it (same layout as vl_version). */
typedef struct vlbm_version {
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
    char text[32];
} vlbm_version;

/* What a board is made with. serial: up to 32 characters, no terminator needed. */
typedef struct vlbm_config {
    char serial[32];
    vlbm_version driver_version;
    vlbm_version firmware_version;
} vlbm_config;

/* Firmware image container ("VLFW"), little-endian, 64-byte header then payload. */
typedef struct vlbm_image_header {
    char magic[4];        /* "VLFW" */
    uint32_t header_version; /* 1 */
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
    char text[32];
    uint32_t payload_length;
    uint32_t payload_crc32; /* CRC-32 (IEEE, as zlib) of the payload */
    uint32_t zero;
} vlbm_image_header;

/* The whole state of one board. Hosts treat it as opaque. */
typedef struct vlbm_board {
    vlbm_config config;
    uint32_t led;
    uint32_t trigger_polarity;
    uint32_t trigger_status;
    uint8_t clock[16]; /* the record last set, reserved bytes as received */
    uint8_t registers[VLBM_REGISTER_COUNT];
    uint32_t update_state;
    uint32_t update_received;
    uint32_t erase_polls_left;
    uint32_t crc_running;
    uint8_t image_header[VLBM_IMAGE_HEADER_SIZE];
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

/* Payload length L of request fn, or -1 for an unknown request. */
int vlbm_payload_length(uint32_t fn);

/* Input length of request fn (0 when none), or -1 for an unknown request. */
int vlbm_input_length(uint32_t fn);

/* An armed trigger fires: trigger status becomes 2 (triggered). */
void vlbm_fire_trigger(vlbm_board* board);

/* CRC-32 (IEEE 802.3, reflected, as zlib's crc32) continued from crc; start with 0. */
uint32_t vlbm_crc32(uint32_t crc, const void* data, size_t length);

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
