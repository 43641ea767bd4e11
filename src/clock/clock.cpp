// Setting and reading the board's clock; the driver programs the AD9516.
#include "api/error_category.h"
#include "api/frame.h"
#include "clock/frequency_table.h"
#include "device/transport.h"

extern "C" {

VL_API vl_rc vl_device_set_clock(vl_device* handle, const vl_clock* clock) {
    return velnor::run_export("vl_device_set_clock", [&] {
        velnor::require(clock, "clock is null");
        // The frequency is checked before the handle is looked at: a refused
        // frequency is refused whatever handle comes with it.
        if (clock->mode == VL_CLOCK_MODE_INTERNAL) {
            velnor::check_clock_frequency(clock->frequency_hz);
        }
        velnor::send_request(handle, velnor::request::set_clock, clock, nullptr);
    });
}

VL_API vl_rc vl_device_get_clock(vl_device* handle, vl_clock* clock) {
    return velnor::run_export("vl_device_get_clock", [&] {
        velnor::require(clock, "clock is null");
        velnor::send_request(handle, velnor::request::get_clock, nullptr, clock);
    });
}

} // extern "C"
