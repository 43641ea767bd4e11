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

// "0x01a": the value in hex with at least digits digits.
std::string hex_text(uint64_t value, int digits);

// An AD9516 register address, 0x000 to 0x232, and its contents, 0x00 to
// 0xff, in decimal or 0x hex; throws tool_error_t (usage) giving the range.
uint32_t parse_register_address(const std::string& text);
uint32_t parse_register_value(const std::string& text);

// The frequency when the board's ranges allow it for the mode: a positive
// one for internal synthesis, an external reference from 1 Hz to 1 GHz.
// Throws tool_error_t (usage) saying why not. Whether internal synthesis can
// produce it is the library's to say.
int64_t checked_clock_frequency(int64_t hertz, uint32_t mode);

} // namespace velnorctl
