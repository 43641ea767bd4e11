// The exports that find, open and close boards: argument checks, then the
// operations in the device room.
#include "api/frame.h"
#include "device/discovery.h"
#include "device/handles.h"
#include "error/error_category.h"

extern "C" VL_API vl_rc vl_get_device_count(size_t* count) {
    return velnor::run_export("vl_get_device_count", [&] {
        velnor::require(count, "Count is null");
        *count = velnor::count_devices();
    });
}

extern "C" VL_API vl_rc vl_device_open(size_t index, vl_device** handle) {
    return velnor::run_export("vl_device_open", [&] {
        velnor::require(handle, "handle is null");
        *handle = velnor::open_device(index).release();
    });
}

extern "C" VL_API vl_rc vl_device_close(vl_device* handle) {
    return velnor::run_export("vl_device_close", [&] { velnor::close_device(handle); });
}
