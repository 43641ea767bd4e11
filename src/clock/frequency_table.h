// The clock frequencies the board's AD9516 can produce: a VCO of 1.8 to
// 2.2 GHz on a 10 MHz grid, divided by a VCO divider of 2 to 6 and a
// channel divider of 1 to 32, where the division is exact.
#pragma once

#include <cstdint>
#include <vector>

namespace velnor {

// Every whole quotient V / (d1 * d2), in generation order (2,023 entries,
// repeats included).
std::vector<std::int64_t> clock_frequency_quotients();

// The producible frequencies, ascending, each once. Built completely on
// first use (safe against concurrent first use) and never changed after.
const std::vector<std::int64_t>& clock_frequency_table();

// Returns when frequency_hz is producible; otherwise throws
// VL_RC_INVALID_FREQUENCY naming the bound or the two nearest producible
// frequencies.
void check_clock_frequency(std::int64_t frequency_hz);

} // namespace velnor
