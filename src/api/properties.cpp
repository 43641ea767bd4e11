// The board's simple properties: one request each, values passed through
// uninterpreted (their meaning is the driver's).
#include "api/error_category.h"
#include "api/frame.h"
#include "device/transport.h"

#include <algorithm>
#include <cstring>

using velnor::request;
using velnor::require;
using velnor::run_export;
using velnor::send_request;

extern "C" {

VL_API vl_rc vl_device_get_driver_version(vl_device* handle, vl_version* version) {
    return run_export("vl_device_get_driver_version", [&] {
        require(version, "version is null");
        send_request(handle, request::get_driver_version, nullptr, version);
    });
}

VL_API vl_rc vl_device_get_firmware_version(vl_device* handle, vl_version* version) {
    return run_export("vl_device_get_firmware_version", [&] {
        require(version, "version is null");
        send_request(handle, request::get_firmware_version, nullptr, version);
    });
}

VL_API vl_rc vl_device_get_serial(vl_device* handle, char* buffer, size_t size) {
    return run_export("vl_device_get_serial", [&] {
        if (size != 0) {
            require(buffer, "buffer is null");
        }
        char serial[32] = {};
        send_request(handle, request::get_serial, nullptr, serial);
        const size_t n = std::min(size, sizeof serial);
        if (n != 0) {
            std::strncpy(buffer, serial, n);
        }
    });
}

VL_API vl_rc vl_device_get_id_led_state(vl_device* handle, uint32_t* state) {
    return run_export("vl_device_get_id_led_state", [&] {
        require(state, "state is null");
        send_request(handle, request::get_id_led_state, nullptr, state);
    });
}

VL_API vl_rc vl_device_set_id_led_state(vl_device* handle, uint32_t state) {
    return run_export("vl_device_set_id_led_state",
                      [&] { send_request(handle, request::set_id_led_state, &state, nullptr); });
}

VL_API vl_rc vl_device_get_trigger_polarity(vl_device* handle, uint32_t* polarity) {
    return run_export("vl_device_get_trigger_polarity", [&] {
        require(polarity, "polarity is null");
        send_request(handle, request::get_trigger_polarity, nullptr, polarity);
    });
}

VL_API vl_rc vl_device_set_trigger_polarity(vl_device* handle, uint32_t polarity) {
    return run_export("vl_device_set_trigger_polarity", [&] {
        send_request(handle, request::set_trigger_polarity, &polarity, nullptr);
    });
}

VL_API vl_rc vl_device_get_trigger_status(vl_device* handle, uint32_t* status) {
    return run_export("vl_device_get_trigger_status", [&] {
        require(status, "status is null");
        send_request(handle, request::get_trigger_status, nullptr, status);
    });
}

VL_API vl_rc vl_device_set_trigger_status(vl_device* handle, uint32_t status) {
    return run_export("vl_device_set_trigger_status",
                      [&] { send_request(handle, request::set_trigger_status, &status, nullptr); });
}

VL_API vl_rc vl_device_ad9516_reg_write(vl_device* handle, uint64_t value) {
    return run_export("vl_device_ad9516_reg_write",
                      [&] { send_request(handle, request::ad9516_reg_write, &value, nullptr); });
}

VL_API vl_rc vl_device_ad9516_reg_read(vl_device* handle, uint32_t address, uint8_t* value) {
    return run_export("vl_device_ad9516_reg_read", [&] {
        require(value, "value is null");
        send_request(handle, request::ad9516_reg_read, &address, value);
    });
}

} // extern "C"
