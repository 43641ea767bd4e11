// The frequencies the board's internal synthesis can produce, found through
// the library's own check rather than a second copy of its rule: the check
// runs before the library looks at the handle, so with no board a producible
// frequency answers null_parameter and a refused one invalid_frequency, with
// a log line naming its neighbours or the bound.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velnorctl {

struct frequency_probe_t {
    bool producible = false;
    std::optional<int64_t> below; // the nearest producible frequency under it
    std::optional<int64_t> above; // the nearest one over it
};

// The neighbours a refusal's log line names ("Try A Hz or B Hz", "Min
// frequency is A Hz", "Max frequency is B Hz"); none when it names none.
frequency_probe_t neighbours_in_log_line(const std::string& line);

// What the library says of one frequency (neighbours only when refused).
frequency_probe_t probe_frequency(int64_t hertz);

// Every producible frequency, lowest first.
std::vector<int64_t> producible_frequencies();

} // namespace velnorctl
