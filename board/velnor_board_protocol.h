/*
 * velnor_board_protocol.h - the board's protocol as its kernel driver
 * publishes it: the device-interface class every board is registered under,
 * the control requests with their input and payload lengths, what the LED,
 * trigger, clock and update values mean, the status words, the update block
 * and the firmware image container.
 *
 * The board model, the kernel-mode virtual board driver, the virtual
 * platform, velnorctl and the tests include this header; it is the one place
 * that states these facts. The library is a client of the driver and keeps
 * its own request table; a test compares the two.
 *
 * Freestanding C11: the kernel driver includes it too, and links protocol.c,
 * which implements the functions below without allocating. Every number on
 * the wire is little-endian.
 */
#ifndef VELNOR_BOARD_PROTOCOL_H
#define VELNOR_BOARD_PROTOCOL_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- The device-interface class ------------------------------------------ */

/* {2CFB54E9-A1BB-4A3C-9252-CA9B7E95B2E5}, as an initializer for a GUID-shaped
 * struct (32-bit, two 16-bit fields, eight bytes). */
#define VLB_INTERFACE_CLASS_INIT                                                                   \
    {                                                                                              \
        0x2CFB54E9u, 0xA1BBu, 0x4A3Cu, {                                                           \
            0x92, 0x52, 0xCA, 0x9B, 0x7E, 0x95, 0xB2, 0xE5                                         \
        }                                                                                          \
    }

/* The same class in registry text form, as it ends every interface path. */
#define VLB_INTERFACE_CLASS_TEXT "{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}"
#define VLB_WIDEN_(text) L##text
#define VLB_WIDEN(text) VLB_WIDEN_(text)
#define VLB_INTERFACE_CLASS_WTEXT VLB_WIDEN(VLB_INTERFACE_CLASS_TEXT)

/* ---- Control requests ----------------------------------------------------- */

/* Request n is control code CTL_CODE(FILE_DEVICE_UNKNOWN, 0x800 + n,
 * METHOD_BUFFERED, FILE_ANY_ACCESS). */
enum vlb_request {
    VLB_REQ_GET_DRIVER_VERSION = 0,    /* in 0, payload 44: vlb_version */
    VLB_REQ_GET_FIRMWARE_VERSION = 1,  /* in 0, payload 44: vlb_version */
    VLB_REQ_UPDATE_START = 2,          /* in 0, payload 0 */
    VLB_REQ_UPDATE_STATUS = 3,         /* in 0, payload 8: state, bytes received */
    VLB_REQ_UPDATE_WRITE = 4,          /* in 1032: one update block, payload 0 */
    VLB_REQ_UPDATE_COMPLETE = 5,       /* in 0, payload 0 */
    VLB_REQ_UPDATE_RESET = 6,          /* in 0, payload 0 */
    VLB_REQ_GET_LED = 7,               /* in 0, payload 4 */
    VLB_REQ_SET_LED = 8,               /* in 4, payload 0 */
    VLB_REQ_GET_TRIGGER_POLARITY = 9,  /* in 0, payload 4 */
    VLB_REQ_SET_TRIGGER_POLARITY = 10, /* in 4, payload 0 */
    VLB_REQ_GET_TRIGGER_STATUS = 11,   /* in 0, payload 4 */
    VLB_REQ_SET_TRIGGER_STATUS = 12,   /* in 4, payload 0 */
    VLB_REQ_GET_CLOCK = 13,            /* in 0, payload 16: clock record */
    VLB_REQ_SET_CLOCK = 14,            /* in 16: clock record, payload 0 */
    VLB_REQ_REG_WRITE = 15,            /* in 8: address, value; payload 0 */
    VLB_REQ_REG_READ = 16,             /* in 4: address; payload 1 */
    VLB_REQ_GET_SERIAL = 17,           /* in 0, payload 32: text */
    VLB_REQUEST_COUNT = 18
};

#define VLB_CONTROL_CODE(fn) (0x220000u | (0x2000u + 4u * (uint32_t)(fn)))

/* The request's name, the enumerator's without VLB_REQ_ in lower case
 * ("get_driver_version"), or NULL for a request the board does not know.
 * Traces and their tools name requests by it. */
static inline const char* vlb_request_name(uint32_t fn) {
    static const char* const names[VLB_REQUEST_COUNT] = {"get_driver_version",
                                                         "get_firmware_version",
                                                         "update_start",
                                                         "update_status",
                                                         "update_write",
                                                         "update_complete",
                                                         "update_reset",
                                                         "get_led",
                                                         "set_led",
                                                         "get_trigger_polarity",
                                                         "set_trigger_polarity",
                                                         "get_trigger_status",
                                                         "set_trigger_status",
                                                         "get_clock",
                                                         "set_clock",
                                                         "reg_write",
                                                         "reg_read",
                                                         "get_serial"};
    return fn < VLB_REQUEST_COUNT ? names[fn] : NULL;
}

/* Every reply starts with the driver's 32-bit status word; the payload follows. */
#define VLB_STATUS_WORD_SIZE 4u
#define VLB_REPLY_MAX (VLB_STATUS_WORD_SIZE + 44u)

/* Input bytes request fn reads, or -1 for a request the board does not know. */
static inline int vlb_request_input_length(uint32_t fn) {
    switch (fn) {
    case VLB_REQ_UPDATE_WRITE:
        return 1032;
    case VLB_REQ_SET_LED:
    case VLB_REQ_SET_TRIGGER_POLARITY:
    case VLB_REQ_SET_TRIGGER_STATUS:
    case VLB_REQ_REG_READ:
        return 4;
    case VLB_REQ_SET_CLOCK:
        return 16;
    case VLB_REQ_REG_WRITE:
        return 8;
    default:
        return fn < VLB_REQUEST_COUNT ? 0 : -1;
    }
}

/* Payload bytes after the status word in the reply to request fn, or -1 for
 * a request the board does not know. */
static inline int vlb_request_payload_length(uint32_t fn) {
    switch (fn) {
    case VLB_REQ_GET_DRIVER_VERSION:
    case VLB_REQ_GET_FIRMWARE_VERSION:
        return 44;
    case VLB_REQ_UPDATE_STATUS:
        return 8;
    case VLB_REQ_GET_LED:
    case VLB_REQ_GET_TRIGGER_POLARITY:
    case VLB_REQ_GET_TRIGGER_STATUS:
        return 4;
    case VLB_REQ_GET_CLOCK:
        return 16;
    case VLB_REQ_REG_READ:
        return 1;
    case VLB_REQ_GET_SERIAL:
        return 32;
    default:
        return fn < VLB_REQUEST_COUNT ? 0 : -1;
    }
}

/* ---- Status words ---------------------------------------------------------- */

/* What the driver answers in the status word; the library passes them on as
 * its result codes of the same value. */
#define VLB_STATUS_OK 0
#define VLB_STATUS_AD9516_COMMUNICATION_ERROR (-2)
#define VLB_STATUS_INVALID_DEVICE_TYPE (-7)
#define VLB_STATUS_UPDATE_INVALID_STATUS (-8) /* the request does not fit the update state */
#define VLB_STATUS_INVALID_DATA (-9)          /* a value outside its documented range */
#define VLB_STATUS_TIMEOUT (-10)
#define VLB_STATUS_PLL_NOT_LOCKED (-11) /* no divider chain gives the frequency */

/* ---- Values ---------------------------------------------------------------- */

enum vlb_led { VLB_LED_OFF = 0, VLB_LED_ON = 1, VLB_LED_BLINK = 2 };
enum vlb_trigger_polarity { VLB_TRIGGER_RISING = 0, VLB_TRIGGER_FALLING = 1 };
/* A caller sets disarmed or armed; triggered is only ever read. */
enum vlb_trigger_status {
    VLB_TRIGGER_DISARMED = 0,
    VLB_TRIGGER_ARMED = 1,
    VLB_TRIGGER_TRIGGERED = 2
};
enum vlb_update_state {
    VLB_UPDATE_IDLE = 0,
    VLB_UPDATE_ERASING = 1,
    VLB_UPDATE_READY = 2,
    VLB_UPDATE_VERIFYING = 3,
    VLB_UPDATE_DONE = 4,
    VLB_UPDATE_FAILED = 5
};

/* The 32-byte text fields (versions, serial) carry no terminator when full. */
#define VLB_TEXT_SIZE 32u

/* A version as the driver reports it: 44 bytes. */
typedef struct vlb_version {
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
    char text[VLB_TEXT_SIZE];
} vlb_version;

/* ---- Clock ---------------------------------------------------------------- */

/* The 16-byte clock record: u32 mode, 4 reserved bytes (kept as sent), i64 Hz. */
#define VLB_CLOCK_RECORD_SIZE 16u
enum vlb_clock_mode {
    VLB_CLOCK_INTERNAL = 0, /* AD9516 synthesis from the VCO */
    VLB_CLOCK_EXTERNAL = 1  /* an external reference passed through */
};
/* Internal synthesis: a VCO on a 10 MHz grid, divided by 2-6 and by 1-32. */
#define VLB_VCO_MIN_HZ INT64_C(1800000000)
#define VLB_VCO_MAX_HZ INT64_C(2200000000)
#define VLB_VCO_STEP_HZ INT64_C(10000000)
#define VLB_VCO_DIVIDER_MIN 2u
#define VLB_VCO_DIVIDER_MAX 6u
#define VLB_CHANNEL_DIVIDER_MIN 1u
#define VLB_CHANNEL_DIVIDER_MAX 32u
/* The external reference the board accepts. */
#define VLB_EXTERNAL_MIN_HZ INT64_C(1)
#define VLB_EXTERNAL_MAX_HZ INT64_C(1000000000)

/* ---- AD9516 registers ------------------------------------------------------ */

/* 8-bit registers at 0x000-0x232. The register write is a u32 address then a
 * u32 value whose upper 24 bits are 0; the read sends the u32 address. */
#define VLB_REGISTER_MAX 0x232u
#define VLB_REGISTER_COUNT (VLB_REGISTER_MAX + 1u)
#define VLB_REGISTER_VALUE_MAX 0xFFu

/* ---- Firmware update ------------------------------------------------------- */

/* One update block: u32 image offset, u32 data length (1 to 1024), then 1024
 * data bytes of which the first `length` count. Blocks go in order: each
 * offset is the number of image bytes the board has received so far. */
#define VLB_BLOCK_SIZE 1032u
#define VLB_BLOCK_HEADER_SIZE 8u
#define VLB_BLOCK_DATA_MAX 1024u

/* ---- Firmware image container ---------------------------------------------- */

/*
 * A 64-byte header, then the payload:
 *
 *   offset  size  field
 *   0       4     magic "VLFW"
 *   4       4     header version, 1
 *   8       12    major, minor, patch
 *   20      32    version text, zero-filled (no terminator when 32 long)
 *   52      4     payload length in bytes
 *   56      4     CRC-32 of the payload (IEEE 802.3, reflected, as zlib)
 *   60      4     zero
 */
#define VLB_IMAGE_MAGIC "VLFW"
#define VLB_IMAGE_HEADER_VERSION 1u
#define VLB_IMAGE_HEADER_SIZE 64u
/* The largest image the board accepts, header included, and so the largest
 * payload. */
#define VLB_IMAGE_MAX (16u * 1024u * 1024u)
#define VLB_IMAGE_PAYLOAD_MAX (VLB_IMAGE_MAX - VLB_IMAGE_HEADER_SIZE)

typedef struct vlb_image_header {
    char magic[4];
    uint32_t header_version;
    uint32_t major;
    uint32_t minor;
    uint32_t patch;
    char text[VLB_TEXT_SIZE];
    uint32_t payload_length;
    uint32_t payload_crc32;
    uint32_t zero;
} vlb_image_header;

/* What vlb_image_read_header and vlb_image_check find, first fault first. */
enum vlb_image_result {
    VLB_IMAGE_OK = 0,
    VLB_IMAGE_SHORT_HEADER = 1, /* fewer than 64 bytes */
    VLB_IMAGE_BAD_MAGIC = 2,    /* not "VLFW" */
    VLB_IMAGE_BAD_HEADER_VERSION = 3,
    VLB_IMAGE_BAD_RESERVED = 4,    /* the last header field is not 0 */
    VLB_IMAGE_TOO_LARGE = 5,       /* payload above VLB_IMAGE_PAYLOAD_MAX */
    VLB_IMAGE_LENGTH_MISMATCH = 6, /* image size is not 64 + payload length */
    VLB_IMAGE_BAD_CRC = 7,         /* the payload's CRC-32 differs from the header's */
    VLB_IMAGE_TEXT_TOO_LONG = 8    /* packing: version text above 32 characters */
};

/* CRC-32 (IEEE 802.3, reflected, as zlib's crc32) continued from crc; start with 0. */
uint32_t vlb_crc32(uint32_t crc, const void* data, size_t length);

/*
 * Writes the 64-byte header of an image whose payload is payload_length
 * bytes at payload (its CRC-32 is computed here). text is zero-ended, at
 * most 32 characters. Returns VLB_IMAGE_OK, VLB_IMAGE_TOO_LARGE or
 * VLB_IMAGE_TEXT_TOO_LONG (header untouched then).
 */
int vlb_image_write_header(uint8_t header[VLB_IMAGE_HEADER_SIZE], uint32_t major, uint32_t minor,
                           uint32_t patch, const char* text, const void* payload,
                           size_t payload_length);

/*
 * Reads the header at the start of an image of image_size bytes, of which
 * the first `available` are at bytes (the rest need not be read yet: a tool
 * checks a file's header before reading it whole). Checks everything but the
 * CRC: size, magic, header version, reserved field, payload limit, and that
 * image_size is 64 + payload length. Fills *header (host byte order) when
 * it returns VLB_IMAGE_OK; on any other result *header is untouched.
 */
int vlb_image_read_header(const uint8_t* bytes, size_t available, uint64_t image_size,
                          vlb_image_header* header);

/* vlb_image_read_header on a whole image, then the payload's CRC-32. */
int vlb_image_check(const uint8_t* image, size_t image_size, vlb_image_header* header);

/* Number of update blocks an image of image_size bytes is sent in. */
size_t vlb_image_block_count(size_t image_size);

/* Fills block with update block `index` of the image: offset index * 1024,
 * up to 1024 data bytes, the unused tail zero. index < vlb_image_block_count. */
void vlb_image_block(const uint8_t* image, size_t image_size, size_t index,
                     uint8_t block[VLB_BLOCK_SIZE]);

#ifdef __cplusplus
}
#endif

#endif /* VELNOR_BOARD_PROTOCOL_H */
