// The board's named values (LED, trigger, clock mode, update state) and the
// parsing of values typed on the command line.
#pragma once

#include <velnor.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace velnorctl {

using value_names_t = std::vector<std::pair<std::string, uint32_t>>;

const value_names_t& led_names();             // off, on, blink
const value_names_t& polarity_names();        // rising, falling
const value_names_t& trigger_status_names();  // disarmed, armed, triggered
const value_names_t& trigger_command_names(); // disarm, arm (and the status names)
const value_names_t& clock_mode_names();      // internal, external
const value_names_t& update_state_names();    // idle, erasing, ready, verifying, done, failed

// "internal, 125000000 Hz (125 MHz)"; an unnamed mode as "mode 7, ...".
std::string describe_clock(const vl_clock& clock);

// The value's name, or the number in decimal when it has none.
std::string name_of(uint32_t value, const value_names_t& names);

// A name from the table or a number (decimal or 0x hex); throws tool_error_t
// (usage) naming what was expected.
uint32_t parse_value(const std::string& text, const value_names_t& names, const std::string& what);

// A number in decimal or 0x hex up to the given maximum; throws tool_error_t (usage).
uint64_t parse_number(const std::string& text, uint64_t maximum, const std::string& what);

} // namespace velnorctl
