// The clock room: setting and reading the board's clock, which the driver
// programs into the AD9516, and the table of frequencies the chip can
// produce (clock/frequency_table.h). Sits on the device room's transport.
#pragma once

#include <velnor.h>

namespace velnor {

// Sends the clock to the board. An internal clock's frequency is checked
// first, whatever the handle: a frequency the AD9516 cannot produce is
// refused with VL_RC_INVALID_FREQUENCY before the handle is looked at.
void set_clock(const vl_device* handle, const vl_clock& clock);

// Reads the board's clock into clock; untouched on failure.
void get_clock(const vl_device* handle, vl_clock& clock);

} // namespace velnor
