// The exports of the board's simple properties: argument checks, then the
// operation in the properties room.
#include "api/frame.h"
#include "error/error_category.h"
#include "properties/properties.h"

using velnor::require;
using velnor::run_export;

extern "C" {

VL_API vl_rc vl_device_get_driver_version(vl_device* handle, vl_version* version) {
    return run_export("vl_device_get_driver_version", [&] {
        require(version, "version is null");
        velnor::get_driver_version(handle, *version);
    });
}

VL_API vl_rc vl_device_get_firmware_version(vl_device* handle, vl_version* version) {
    return run_export("vl_device_get_firmware_version", [&] {
        require(version, "version is null");
        velnor::get_firmware_version(handle, *version);
    });
}

VL_API vl_rc vl_device_get_serial(vl_device* handle, char* buffer, size_t size) {
    return run_export("vl_device_get_serial", [&] {
        if (size != 0) {
            require(buffer, "buffer is null");
        }
        velnor::get_serial(handle, buffer, size);
    });
}

VL_API vl_rc vl_device_get_id_led_state(vl_device* handle, uint32_t* state) {
    return run_export("vl_device_get_id_led_state", [&] {
        require(state, "state is null");
        velnor::get_id_led_state(handle, *state);
    });
}

VL_API vl_rc vl_device_set_id_led_state(vl_device* handle, uint32_t state) {
    return run_export("vl_device_set_id_led_state",
                      [&] { velnor::set_id_led_state(handle, state); });
}

VL_API vl_rc vl_device_get_trigger_polarity(vl_device* handle, uint32_t* polarity) {
    return run_export("vl_device_get_trigger_polarity", [&] {
        require(polarity, "polarity is null");
        velnor::get_trigger_polarity(handle, *polarity);
    });
}

VL_API vl_rc vl_device_set_trigger_polarity(vl_device* handle, uint32_t polarity) {
    return run_export("vl_device_set_trigger_polarity",
                      [&] { velnor::set_trigger_polarity(handle, polarity); });
}

VL_API vl_rc vl_device_get_trigger_status(vl_device* handle, uint32_t* status) {
    return run_export("vl_device_get_trigger_status", [&] {
        require(status, "status is null");
        velnor::get_trigger_status(handle, *status);
    });
}

VL_API vl_rc vl_device_set_trigger_status(vl_device* handle, uint32_t status) {
    return run_export("vl_device_set_trigger_status",
                      [&] { velnor::set_trigger_status(handle, status); });
}

VL_API vl_rc vl_device_ad9516_reg_write(vl_device* handle, uint64_t value) {
    return run_export("vl_device_ad9516_reg_write",
                      [&] { velnor::ad9516_reg_write(handle, value); });
}

VL_API vl_rc vl_device_ad9516_reg_read(vl_device* handle, uint32_t address, uint8_t* value) {
    return run_export("vl_device_ad9516_reg_read", [&] {
        require(value, "value is null");
        velnor::ad9516_reg_read(handle, address, *value);
    });
}

} // extern "C"
