// The clock's exports: argument checks, then the operation in the clock room.
#include "api/frame.h"
#include "clock/clock.h"
#include "error/error_category.h"

extern "C" {

VL_API vl_rc vl_device_set_clock(vl_device* handle, const vl_clock* clock) {
    return velnor::run_export("vl_device_set_clock", [&] {
        velnor::require(clock, "clock is null");
        velnor::set_clock(handle, *clock);
    });
}

VL_API vl_rc vl_device_get_clock(vl_device* handle, vl_clock* clock) {
    return velnor::run_export("vl_device_get_clock", [&] {
        velnor::require(clock, "clock is null");
        velnor::get_clock(handle, *clock);
    });
}

} // extern "C"
