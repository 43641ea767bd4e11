// Frequencies as people type them: "100M", "125MHz", "9.375e6", "1.1 GHz",
// "100000000". The result is a whole number of hertz, computed exactly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace velnorctl {

// The frequency in hertz, or nothing when the text is not a frequency or not
// a whole number of hertz. Suffixes (any case): Hz, k/kHz, M/MHz, G/GHz;
// but "m" and "mHz" are milli and refused.
std::optional<int64_t> parse_frequency(const std::string& text);

// "125 MHz", "9.375 MHz", "1.1 GHz", "500 Hz": the largest unit that keeps
// the value at 1 or more, with exactly the digits needed.
std::string format_frequency(int64_t hertz);

} // namespace velnorctl
