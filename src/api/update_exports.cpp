// The firmware update's exports: argument checks, then the operation in the
// update room.
#include "api/frame.h"
#include "error/error_category.h"
#include "update/update.h"

using velnor::run_export;

extern "C" {

VL_API vl_rc vl_device_update_start_async(vl_device* handle) {
    return run_export("vl_device_update_start_async", [&] { velnor::update_start(handle); });
}

VL_API vl_rc vl_device_update_get_status(vl_device* handle, uint32_t* state, uint32_t* received) {
    return run_export("vl_device_update_get_status", [&] {
        const velnor::update_status_t status = velnor::update_get_status(handle);
        if (state != nullptr) {
            *state = status.state;
        }
        if (received != nullptr) {
            *received = status.received;
        }
    });
}

VL_API vl_rc vl_device_update_write(vl_device* handle, const uint8_t* block) {
    return run_export("vl_device_update_write", [&] {
        velnor::require(block, "block is null");
        velnor::update_write(handle, block);
    });
}

VL_API vl_rc vl_device_update_complete(vl_device* handle) {
    return run_export("vl_device_update_complete", [&] { velnor::update_complete(handle); });
}

VL_API vl_rc vl_device_update_reset(vl_device* handle) {
    return run_export("vl_device_update_reset", [&] { velnor::update_reset(handle); });
}

} // extern "C"
