// Firmware update: five requests, no state of the library's own. The board
// decides whether a request fits its update state.
#include "api/error_category.h"
#include "api/frame.h"
#include "device/transport.h"

#include <cstring>

using velnor::request;
using velnor::run_export;
using velnor::send_request;

extern "C" {

VL_API vl_rc vl_device_update_start_async(vl_device* handle) {
    return run_export("vl_device_update_start_async",
                      [&] { send_request(handle, request::update_start, nullptr, nullptr); });
}

VL_API vl_rc vl_device_update_get_status(vl_device* handle, uint32_t* state, uint32_t* received) {
    return run_export("vl_device_update_get_status", [&] {
        uint32_t values[2] = {0, 0};
        send_request(handle, request::update_get_status, nullptr, values);
        if (state != nullptr) {
            *state = values[0];
        }
        if (received != nullptr) {
            *received = values[1];
        }
    });
}

VL_API vl_rc vl_device_update_write(vl_device* handle, const uint8_t* block) {
    return run_export("vl_device_update_write", [&] {
        velnor::require(block, "block is null");
        send_request(handle, request::update_write, block, nullptr);
    });
}

VL_API vl_rc vl_device_update_complete(vl_device* handle) {
    return run_export("vl_device_update_complete",
                      [&] { send_request(handle, request::update_complete, nullptr, nullptr); });
}

VL_API vl_rc vl_device_update_reset(vl_device* handle) {
    return run_export("vl_device_update_reset",
                      [&] { send_request(handle, request::update_reset, nullptr, nullptr); });
}

} // extern "C"
