#include "properties/properties.h"

#include "device/transport.h"

#include <algorithm>
#include <cstring>

namespace velnor {

void get_driver_version(const vl_device* handle, vl_version& version) {
    send_request(handle, request::get_driver_version, nullptr, &version);
}

void get_firmware_version(const vl_device* handle, vl_version& version) {
    send_request(handle, request::get_firmware_version, nullptr, &version);
}

void get_serial(const vl_device* handle, char* buffer, std::size_t size) {
    char serial[32] = {};
    send_request(handle, request::get_serial, nullptr, serial);
    const std::size_t n = std::min(size, sizeof serial);
    if (n != 0) {
        std::strncpy(buffer, serial, n);
    }
}

void get_id_led_state(const vl_device* handle, std::uint32_t& state) {
    send_request(handle, request::get_id_led_state, nullptr, &state);
}

void set_id_led_state(const vl_device* handle, std::uint32_t state) {
    send_request(handle, request::set_id_led_state, &state, nullptr);
}

void get_trigger_polarity(const vl_device* handle, std::uint32_t& polarity) {
    send_request(handle, request::get_trigger_polarity, nullptr, &polarity);
}

void set_trigger_polarity(const vl_device* handle, std::uint32_t polarity) {
    send_request(handle, request::set_trigger_polarity, &polarity, nullptr);
}

void get_trigger_status(const vl_device* handle, std::uint32_t& status) {
    send_request(handle, request::get_trigger_status, nullptr, &status);
}

void set_trigger_status(const vl_device* handle, std::uint32_t status) {
    send_request(handle, request::set_trigger_status, &status, nullptr);
}

void ad9516_reg_write(const vl_device* handle, std::uint64_t value) {
    send_request(handle, request::ad9516_reg_write, &value, nullptr);
}

void ad9516_reg_read(const vl_device* handle, std::uint32_t address, std::uint8_t& value) {
    send_request(handle, request::ad9516_reg_read, &address, &value);
}

} // namespace velnor
