// The properties room: the board's simple properties (versions, serial, ID
// LED, trigger, AD9516 registers), one request each. Values pass through
// uninterpreted: their meaning is the driver's. Sits on the device room's
// transport; on failure nothing is written to the caller's buffers.
#pragma once

#include <velnor.h>

#include <cstddef>
#include <cstdint>

namespace velnor {

void get_driver_version(const vl_device* handle, vl_version& version);
void get_firmware_version(const vl_device* handle, vl_version& version);

// Copies at most size bytes of the board's 32-byte serial to buffer, as
// strncpy does: NUL-padded, and not NUL-ended when it fills size bytes.
void get_serial(const vl_device* handle, char* buffer, std::size_t size);

void get_id_led_state(const vl_device* handle, std::uint32_t& state);
void set_id_led_state(const vl_device* handle, std::uint32_t state);
void get_trigger_polarity(const vl_device* handle, std::uint32_t& polarity);
void set_trigger_polarity(const vl_device* handle, std::uint32_t polarity);
void get_trigger_status(const vl_device* handle, std::uint32_t& status);
void set_trigger_status(const vl_device* handle, std::uint32_t status);

// One register access on the AD9516, as the driver packs it.
void ad9516_reg_write(const vl_device* handle, std::uint64_t value);
void ad9516_reg_read(const vl_device* handle, std::uint32_t address, std::uint8_t& value);

} // namespace velnor
