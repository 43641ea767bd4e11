// Control requests to the board's driver: the request table and the one
// function through which every request passes.
#pragma once

#include "device/device.h"

#include <array>
#include <cstdint>

namespace velnor {

// The driver's request numbers: function 0x800 + n, buffered, any access.
enum class request : std::uint32_t {
    get_driver_version = 0,
    get_firmware_version = 1,
    update_start = 2,
    update_get_status = 3,
    update_write = 4,
    update_complete = 5,
    update_reset = 6,
    get_id_led_state = 7,
    set_id_led_state = 8,
    get_trigger_polarity = 9,
    set_trigger_polarity = 10,
    get_trigger_status = 11,
    set_trigger_status = 12,
    get_clock = 13,
    set_clock = 14,
    ad9516_reg_write = 15,
    ad9516_reg_read = 16,
    get_serial = 17,
};

struct request_layout_t {
    std::uint32_t input_length;   // bytes the operation sends
    std::uint32_t payload_length; // bytes after the status word in the reply
};

// Indexed by request number.
inline constexpr std::array<request_layout_t, 18> request_table = {{
    {0, 44},   // get_driver_version: vl_version
    {0, 44},   // get_firmware_version: vl_version
    {0, 0},    // update_start
    {0, 8},    // update_get_status: two 32-bit values
    {1032, 0}, // update_write: one update block
    {0, 0},    // update_complete
    {0, 0},    // update_reset
    {0, 4},    // get_id_led_state
    {4, 0},    // set_id_led_state
    {0, 4},    // get_trigger_polarity
    {4, 0},    // set_trigger_polarity
    {0, 4},    // get_trigger_status
    {4, 0},    // set_trigger_status
    {0, 16},   // get_clock: vl_clock
    {16, 0},   // set_clock: vl_clock
    {8, 0},    // ad9516_reg_write
    {4, 1},    // ad9516_reg_read
    {0, 32},   // get_serial
}};

inline constexpr std::size_t status_word_size = 4;
inline constexpr std::size_t max_reply_size = 48;

constexpr DWORD control_code(std::uint32_t fn) {
    return (FILE_DEVICE_UNKNOWN << 16) | (FILE_ANY_ACCESS << 14) | ((0x800u + fn) << 2) |
           METHOD_BUFFERED;
}
static_assert(control_code(0) == 0x222000 && control_code(17) == 0x222044);

// Sends request fn with input_length input bytes; on success copies the
// payload_length bytes after the status word to output. Throws the
// system's error ("DeviceIoControl failed") or a non-zero status word in
// the library's category ("IOCTL failed"); output is untouched then.
void device_ioctl(const vl_device& device, std::uint32_t fn, const void* input,
                  std::uint32_t input_length, void* output, std::uint32_t payload_length);

// The same, with the lengths from the request table.
void send_request(const vl_device* handle, request fn, const void* input, void* output);

} // namespace velnor
