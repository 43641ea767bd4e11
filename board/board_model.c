/* board_model.c - one Velnor board as its kernel driver serves it. */
#include "board_model.h"

#include <stddef.h>
#include <string.h>

/*
 * How the board drives its AD9516. These bit meanings and the power-on values
 * below are plausible for the chip, not copied from its datasheet.
 *
 *   0x010  PFD and charge pump; bits 1:0 = 01 power the PLL down (external clock)
 *   0x011  R divider, low byte   (reference 10 MHz, R = 1)
 *   0x012  R divider, high bits
 *   0x013  A counter             N = VCO / 10 MHz = P * B + A
 *   0x014  B counter, low byte
 *   0x015  B counter, bits 12:8
 *   0x016  prescaler: bits 2:0 = 5 selects dual modulus 16/17 (P = 16)
 *   0x199  channel divider 3.1: low cycles - 1 in bits 3:0, high cycles - 1
 *          in bits 7:4, divide = low cycles + high cycles
 *   0x19C  bit 4 bypasses channel divider 3.1 (divide by 1)
 *   0x1E0  VCO divider: 0..4 for 2..6
 *   0x1E1  bit 0 bypasses the VCO divider, bit 1 selects the VCO (else the
 *          CLK input)
 *   0x232  bit 0 transfers the buffered registers and clears itself
 */
#define REG_PLL_CONTROL 0x010u
#define REG_R_LOW 0x011u
#define REG_R_HIGH 0x012u
#define REG_A_COUNTER 0x013u
#define REG_B_LOW 0x014u
#define REG_B_HIGH 0x015u
#define REG_PRESCALER 0x016u
#define REG_DIVIDER_3_1 0x199u
#define REG_DIVIDER_3_BYPASS 0x19Cu
#define REG_VCO_DIVIDER 0x1E0u
#define REG_INPUT_CLOCKS 0x1E1u
#define REG_UPDATE 0x232u

#define PLL_POWER_DOWN_MASK 0x03u
#define PLL_POWER_DOWN_ASYNC 0x01u
#define PRESCALER_DM16 0x05u
#define PRESCALER_MODULUS 16u
#define DIVIDER_3_1_BYPASS 0x10u
#define INPUT_BYPASS_VCO_DIVIDER 0x01u
#define INPUT_SELECT_VCO 0x02u
#define UPDATE_REGISTERS 0x01u

#define REFERENCE_HZ 10000000u

typedef struct register_default {
    uint16_t address;
    uint8_t value;
} register_default;

static const register_default register_defaults[] = {
    {0x000, 0x18}, {0x003, 0x01}, {0x004, 0x00}, {0x010, 0x7C}, {0x011, 0x01}, {0x014, 0x03},
    {0x016, 0x06}, {0x018, 0x06}, {0x01F, 0x0E}, {0x0A0, 0x01}, {0x0A3, 0x01}, {0x0A6, 0x01},
    {0x0A9, 0x01}, {0x0F0, 0x08}, {0x0F1, 0x0A}, {0x0F2, 0x08}, {0x0F3, 0x0A}, {0x0F4, 0x08},
    {0x0F5, 0x0A}, {0x140, 0x42}, {0x141, 0x43}, {0x142, 0x42}, {0x143, 0x43}, {0x190, 0x77},
    {0x193, 0x33}, {0x196, 0x11}, {0x199, 0x00}, {0x19C, 0x00}, {0x1E0, 0x02}, {0x1E1, 0x02},
};

static uint32_t read_u32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

static int64_t read_i64(const uint8_t* p) {
    uint64_t value = (uint64_t)read_u32(p) | ((uint64_t)read_u32(p + 4) << 32);
    return (int64_t)value;
}

static void write_u32(uint8_t* p, uint32_t value) {
    p[0] = (uint8_t)value;
    p[1] = (uint8_t)(value >> 8);
    p[2] = (uint8_t)(value >> 16);
    p[3] = (uint8_t)(value >> 24);
}

static void write_i64(uint8_t* p, int64_t value) {
    uint64_t bits = (uint64_t)value;
    write_u32(p, (uint32_t)bits);
    write_u32(p + 4, (uint32_t)(bits >> 32));
}

static void write_version(uint8_t* p, const vlb_version* version) {
    write_u32(p, version->major);
    write_u32(p + 4, version->minor);
    write_u32(p + 8, version->patch);
    memcpy(p + 12, version->text, sizeof version->text);
}

int vlbm_find_dividers(int64_t frequency_hz, int64_t* vco_hz, uint32_t* vco_divider,
                       uint32_t* channel_divider) {
    int64_t vco;
    int64_t d1;
    int64_t d2;
    if (frequency_hz <= 0 || frequency_hz > VLB_VCO_MAX_HZ) {
        return 0;
    }
    /* Multiplying instead of dividing keeps 64-bit division out of the kernel build. */
    for (vco = VLB_VCO_MIN_HZ; vco <= VLB_VCO_MAX_HZ; vco += VLB_VCO_STEP_HZ) {
        for (d1 = VLB_VCO_DIVIDER_MIN; d1 <= VLB_VCO_DIVIDER_MAX; ++d1) {
            for (d2 = VLB_CHANNEL_DIVIDER_MIN; d2 <= VLB_CHANNEL_DIVIDER_MAX; ++d2) {
                if (frequency_hz * d1 * d2 == vco) {
                    *vco_hz = vco;
                    *vco_divider = (uint32_t)d1;
                    *channel_divider = (uint32_t)d2;
                    return 1;
                }
            }
        }
    }
    return 0;
}

static void program_internal_clock(vlbm_board* board, int64_t vco_hz, uint32_t vco_divider,
                                   uint32_t channel_divider) {
    uint8_t* reg = board->registers;
    uint32_t n = (uint32_t)vco_hz / REFERENCE_HZ;
    uint32_t b = n / PRESCALER_MODULUS;
    uint32_t a = n % PRESCALER_MODULUS;

    reg[REG_PLL_CONTROL] = (uint8_t)(reg[REG_PLL_CONTROL] & ~PLL_POWER_DOWN_MASK);
    reg[REG_R_LOW] = 1;
    reg[REG_R_HIGH] = 0;
    reg[REG_A_COUNTER] = (uint8_t)a;
    reg[REG_B_LOW] = (uint8_t)b;
    reg[REG_B_HIGH] = (uint8_t)((b >> 8) & 0x1Fu);
    reg[REG_PRESCALER] = (uint8_t)((reg[REG_PRESCALER] & ~0x07u) | PRESCALER_DM16);
    if (channel_divider == 1) {
        reg[REG_DIVIDER_3_1] = 0;
        reg[REG_DIVIDER_3_BYPASS] = (uint8_t)(reg[REG_DIVIDER_3_BYPASS] | DIVIDER_3_1_BYPASS);
    } else {
        uint32_t high = channel_divider / 2 - 1;
        uint32_t low = channel_divider - channel_divider / 2 - 1;
        reg[REG_DIVIDER_3_1] = (uint8_t)((high << 4) | low);
        reg[REG_DIVIDER_3_BYPASS] = (uint8_t)(reg[REG_DIVIDER_3_BYPASS] & ~DIVIDER_3_1_BYPASS);
    }
    reg[REG_VCO_DIVIDER] = (uint8_t)(vco_divider - 2);
    reg[REG_INPUT_CLOCKS] =
        (uint8_t)((reg[REG_INPUT_CLOCKS] & ~INPUT_BYPASS_VCO_DIVIDER) | INPUT_SELECT_VCO);
    reg[REG_UPDATE] = 0;
}

static void program_external_clock(vlbm_board* board) {
    uint8_t* reg = board->registers;
    reg[REG_PLL_CONTROL] =
        (uint8_t)((reg[REG_PLL_CONTROL] & ~PLL_POWER_DOWN_MASK) | PLL_POWER_DOWN_ASYNC);
    reg[REG_INPUT_CLOCKS] =
        (uint8_t)((reg[REG_INPUT_CLOCKS] & ~INPUT_SELECT_VCO) | INPUT_BYPASS_VCO_DIVIDER);
    reg[REG_UPDATE] = 0;
}

static int32_t set_clock(vlbm_board* board, const uint8_t* record) {
    uint32_t mode = read_u32(record);
    int64_t frequency = read_i64(record + 8);
    if (mode == VLB_CLOCK_INTERNAL) {
        int64_t vco = 0;
        uint32_t d1 = 0;
        uint32_t d2 = 0;
        if (!vlbm_find_dividers(frequency, &vco, &d1, &d2)) {
            return VLB_STATUS_PLL_NOT_LOCKED;
        }
        program_internal_clock(board, vco, d1, d2);
    } else if (mode == VLB_CLOCK_EXTERNAL) {
        if (frequency < VLB_EXTERNAL_MIN_HZ || frequency > VLB_EXTERNAL_MAX_HZ) {
            return VLB_STATUS_INVALID_DATA;
        }
        program_external_clock(board);
    } else {
        return VLB_STATUS_INVALID_DATA;
    }
    memcpy(board->clock, record, sizeof board->clock);
    return VLB_STATUS_OK;
}

static int32_t write_register(vlbm_board* board, const uint8_t* in) {
    uint32_t address = read_u32(in);
    uint32_t value = read_u32(in + 4);
    if (address >= VLB_REGISTER_COUNT || value > VLB_REGISTER_VALUE_MAX) {
        return VLB_STATUS_INVALID_DATA;
    }
    if (address == REG_UPDATE) {
        value &= ~UPDATE_REGISTERS;
    }
    board->registers[address] = (uint8_t)value;
    return VLB_STATUS_OK;
}

static int32_t read_register(const vlbm_board* board, const uint8_t* in, uint8_t* payload) {
    uint32_t address = read_u32(in);
    if (address >= VLB_REGISTER_COUNT) {
        return VLB_STATUS_INVALID_DATA;
    }
    payload[0] = board->registers[address];
    return VLB_STATUS_OK;
}

static void discard_image(vlbm_board* board) {
    board->update_received = 0;
    board->erase_polls_left = 0;
    board->crc_running = 0;
    memset(board->image_header, 0, sizeof board->image_header);
}

static int32_t update_start(vlbm_board* board) {
    uint32_t state = board->update_state;
    if (state != VLB_UPDATE_IDLE && state != VLB_UPDATE_DONE && state != VLB_UPDATE_FAILED) {
        return VLB_STATUS_UPDATE_INVALID_STATUS;
    }
    discard_image(board);
    board->update_state = VLB_UPDATE_ERASING;
    board->erase_polls_left = VLBM_ERASE_POLLS;
    return VLB_STATUS_OK;
}

static int32_t update_status(vlbm_board* board, uint8_t* payload) {
    if (board->update_state == VLB_UPDATE_ERASING) {
        if (board->erase_polls_left > 0) {
            --board->erase_polls_left;
        }
        if (board->erase_polls_left == 0) {
            board->update_state = VLB_UPDATE_READY;
        }
    }
    write_u32(payload, board->update_state);
    write_u32(payload + 4, board->update_received);
    return VLB_STATUS_OK;
}

static int32_t update_write(vlbm_board* board, const uint8_t* block) {
    uint32_t offset = read_u32(block);
    uint32_t length = read_u32(block + 4);
    const uint8_t* data = block + VLB_BLOCK_HEADER_SIZE;
    if (board->update_state != VLB_UPDATE_READY) {
        return VLB_STATUS_UPDATE_INVALID_STATUS;
    }
    if (length == 0 || length > VLB_BLOCK_DATA_MAX || offset > VLB_IMAGE_MAX - length) {
        return VLB_STATUS_INVALID_DATA;
    }
    if (offset != board->update_received) {
        return VLB_STATUS_UPDATE_INVALID_STATUS;
    }
    if (offset < VLB_IMAGE_HEADER_SIZE) {
        uint32_t header_part = VLB_IMAGE_HEADER_SIZE - offset;
        if (header_part > length) {
            header_part = length;
        }
        memcpy(board->image_header + offset, data, header_part);
        data += header_part;
        length -= header_part;
        board->update_received += header_part;
    }
    board->crc_running = vlb_crc32(board->crc_running, data, length);
    board->update_received += length;
    return VLB_STATUS_OK;
}

/* The header as received, checked against what arrived, then the running CRC of the payload. */
static int image_is_valid(const vlbm_board* board, vlb_image_header* header) {
    return vlb_image_read_header(board->image_header,
                                 board->update_received < VLB_IMAGE_HEADER_SIZE
                                     ? board->update_received
                                     : VLB_IMAGE_HEADER_SIZE,
                                 board->update_received, header) == VLB_IMAGE_OK &&
           header->payload_crc32 == board->crc_running;
}

static int32_t update_complete(vlbm_board* board) {
    vlb_version* firmware = &board->config.firmware_version;
    vlb_image_header header;
    if (board->update_state != VLB_UPDATE_READY) {
        return VLB_STATUS_UPDATE_INVALID_STATUS;
    }
    board->update_state = VLB_UPDATE_VERIFYING;
    if (!image_is_valid(board, &header)) {
        board->update_state = VLB_UPDATE_FAILED;
        return VLB_STATUS_INVALID_DATA;
    }
    firmware->major = header.major;
    firmware->minor = header.minor;
    firmware->patch = header.patch;
    memcpy(firmware->text, header.text, sizeof firmware->text);
    board->update_state = VLB_UPDATE_DONE;
    return VLB_STATUS_OK;
}

static int32_t update_reset(vlbm_board* board) {
    discard_image(board);
    board->update_state = VLB_UPDATE_IDLE;
    return VLB_STATUS_OK;
}

static int32_t set_ranged(uint32_t* field, const uint8_t* in, uint32_t max) {
    uint32_t value = read_u32(in);
    if (value > max) {
        return VLB_STATUS_INVALID_DATA;
    }
    *field = value;
    return VLB_STATUS_OK;
}

static void write_serial(uint8_t* payload, const vlbm_config* config) {
    size_t i;
    const char* serial = config->serial;
    for (i = 0; i < sizeof config->serial && serial[i] != '\0'; ++i) {
        payload[i] = (uint8_t)serial[i];
    }
}

static int32_t serve(vlbm_board* board, uint32_t fn, const uint8_t* in, uint8_t* payload) {
    switch (fn) {
    case VLB_REQ_GET_DRIVER_VERSION:
        write_version(payload, &board->config.driver_version);
        return VLB_STATUS_OK;
    case VLB_REQ_GET_FIRMWARE_VERSION:
        write_version(payload, &board->config.firmware_version);
        return VLB_STATUS_OK;
    case VLB_REQ_UPDATE_START:
        return update_start(board);
    case VLB_REQ_UPDATE_STATUS:
        return update_status(board, payload);
    case VLB_REQ_UPDATE_WRITE:
        return update_write(board, in);
    case VLB_REQ_UPDATE_COMPLETE:
        return update_complete(board);
    case VLB_REQ_UPDATE_RESET:
        return update_reset(board);
    case VLB_REQ_GET_LED:
        write_u32(payload, board->led);
        return VLB_STATUS_OK;
    case VLB_REQ_SET_LED:
        return set_ranged(&board->led, in, VLB_LED_BLINK);
    case VLB_REQ_GET_TRIGGER_POLARITY:
        write_u32(payload, board->trigger_polarity);
        return VLB_STATUS_OK;
    case VLB_REQ_SET_TRIGGER_POLARITY:
        return set_ranged(&board->trigger_polarity, in, VLB_TRIGGER_FALLING);
    case VLB_REQ_GET_TRIGGER_STATUS:
        write_u32(payload, board->trigger_status);
        return VLB_STATUS_OK;
    case VLB_REQ_SET_TRIGGER_STATUS:
        return set_ranged(&board->trigger_status, in, VLB_TRIGGER_ARMED);
    case VLB_REQ_GET_CLOCK:
        memcpy(payload, board->clock, sizeof board->clock);
        return VLB_STATUS_OK;
    case VLB_REQ_SET_CLOCK:
        return set_clock(board, in);
    case VLB_REQ_REG_WRITE:
        return write_register(board, in);
    case VLB_REQ_REG_READ:
        return read_register(board, in, payload);
    case VLB_REQ_GET_SERIAL:
        write_serial(payload, &board->config);
        return VLB_STATUS_OK;
    default:
        return VLB_STATUS_INVALID_DATA;
    }
}

int vlbm_request(vlbm_board* board, uint32_t fn, const void* in, uint32_t in_len, void* out,
                 uint32_t out_len, uint32_t* bytes_returned) {
    uint8_t reply[VLB_REPLY_MAX];
    uint32_t reply_len;
    uint32_t need;
    int32_t status;
    if (fn >= VLB_REQUEST_COUNT) {
        return VLBM_UNKNOWN_REQUEST;
    }
    reply_len = VLB_STATUS_WORD_SIZE + (uint32_t)vlb_request_payload_length(fn);
    need = (uint32_t)vlb_request_input_length(fn);
    if (out == NULL || out_len < reply_len) {
        return VLBM_BUFFER_TOO_SMALL;
    }
    if (in_len < need || (need > 0 && in == NULL)) {
        return VLBM_INVALID_PARAMETER;
    }
    memset(reply, 0, sizeof reply);
    status = serve(board, fn, (const uint8_t*)in, reply + VLB_STATUS_WORD_SIZE);
    if (status != VLB_STATUS_OK) {
        memset(reply + VLB_STATUS_WORD_SIZE, 0, sizeof reply - VLB_STATUS_WORD_SIZE);
    }
    write_u32(reply, (uint32_t)status);
    memcpy(out, reply, reply_len);
    if (bytes_returned != NULL) {
        *bytes_returned = reply_len;
    }
    return VLBM_DONE;
}

void vlbm_fire_trigger(vlbm_board* board) {
    if (board->trigger_status == VLB_TRIGGER_ARMED) {
        board->trigger_status = VLB_TRIGGER_TRIGGERED;
    }
}

static void set_version(vlb_version* version, uint32_t major, uint32_t minor, uint32_t patch,
                        const char* text) {
    version->major = major;
    version->minor = minor;
    version->patch = patch;
    size_t i;
    memset(version->text, 0, sizeof version->text);
    for (i = 0; i < sizeof version->text && text[i] != '\0'; ++i) {
        version->text[i] = text[i];
    }
}

void vlbm_default_config(vlbm_config* config) {
    static const char serial[] = "VLN-SIM-0000";
    memset(config, 0, sizeof *config);
    memcpy(config->serial, serial, sizeof serial - 1);
    set_version(&config->driver_version, 2, 4, 1, "2.4.1");
    set_version(&config->firmware_version, 1, 3, 0, "1.3.0");
}

void vlbm_init(vlbm_board* board, const vlbm_config* config) {
    size_t i;
    int64_t vco = 0;
    uint32_t d1 = 0;
    uint32_t d2 = 0;
    memset(board, 0, sizeof *board);
    if (config != NULL) {
        board->config = *config;
    } else {
        vlbm_default_config(&board->config);
    }
    for (i = 0; i < sizeof register_defaults / sizeof register_defaults[0]; ++i) {
        board->registers[register_defaults[i].address] = register_defaults[i].value;
    }
    write_u32(board->clock, VLB_CLOCK_INTERNAL);
    write_i64(board->clock + 8, 100000000);
    if (vlbm_find_dividers(100000000, &vco, &d1, &d2)) {
        program_internal_clock(board, vco, d1, d2);
    }
    board->led = VLB_LED_OFF;
    board->trigger_polarity = VLB_TRIGGER_RISING;
    board->trigger_status = VLB_TRIGGER_DISARMED;
    board->update_state = VLB_UPDATE_IDLE;
}
