#include "clock/clock.h"

#include "clock/frequency_table.h"
#include "device/transport.h"

namespace velnor {

void set_clock(const vl_device* handle, const vl_clock& clock) {
    if (clock.mode == VL_CLOCK_MODE_INTERNAL) {
        check_clock_frequency(clock.frequency_hz);
    }
    send_request(handle, request::set_clock, &clock, nullptr);
}

void get_clock(const vl_device* handle, vl_clock& clock) {
    send_request(handle, request::get_clock, nullptr, &clock);
}

} // namespace velnor
