// The board's named values (LED, trigger, clock mode, update state) and the
// parsing of values typed on the command line.
#pragma once

#include <velnor.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velnorctl {

using ValueNames = std::vector<std::pair<std::string, uint32_t>>;

const ValueNames& led_names();             // off, on, blink
const ValueNames& polarity_names();        // rising, falling
const ValueNames& trigger_status_names();  // disarmed, armed, triggered
const ValueNames& trigger_command_names(); // disarm, arm (and the status names)
const ValueNames& clock_mode_names();      // internal, external
const ValueNames& update_state_names();    // idle, erasing, ready, verifying, done, failed

// "internal, 125000000 Hz (125 MHz)"; an unnamed mode as "mode 7, ...".
std::string describe_clock(const vl_clock& clock);

// The value's name, or the number in decimal when it has none.
std::string name_of(uint32_t value, const ValueNames& names);

// A name from the table or a number (decimal or 0x hex); throws ToolError
// (usage) naming what was expected.
uint32_t parse_value(const std::string& text, const ValueNames& names, const std::string& what);

// A number in decimal or 0x hex up to the given maximum; throws ToolError (usage).
uint64_t parse_number(const std::string& text, uint64_t maximum, const std::string& what);

} // namespace velnorctl
