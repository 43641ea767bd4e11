#include "clock_list.h"

#include "errors.h"
#include "velnor_log.h"

#include <velnor.h>

#include <regex>
#include <string>

namespace velnorctl {

namespace {

int64_t number_in(const std::ssub_match& match) {
    return std::stoll(match.str());
}

bool refused_with_neighbours(const frequency_probe_t& probe) {
    return probe.below || probe.above;
}

} // namespace

frequency_probe_t neighbours_in_log_line(const std::string& line) {
    static const std::regex between(R"(Try (-?\d+)Hz or (-?\d+)Hz)");
    static const std::regex lowest(R"(Min frequency is (-?\d+)Hz)");
    static const std::regex highest(R"(Max frequency is (-?\d+)Hz)");
    frequency_probe_t probe;
    std::smatch found;
    if (std::regex_search(line, found, between)) {
        probe.below = number_in(found[1]);
        probe.above = number_in(found[2]);
    } else if (std::regex_search(line, found, lowest)) {
        probe.above = number_in(found[1]);
    } else if (std::regex_search(line, found, highest)) {
        probe.below = number_in(found[1]);
    }
    return probe;
}

frequency_probe_t probe_frequency(int64_t hertz) {
    vl_clock clock{};
    clock.mode = VL_CLOCK_MODE_INTERNAL;
    clock.frequency_hz = hertz;
    const auto lock = lock_library_calls();
    const uint64_t mark = log_mark();
    const vl_rc rc = vl_device_set_clock(nullptr, &clock);
    if (rc == VL_RC_NULL_PARAMETER) {
        frequency_probe_t probe;
        probe.producible = true;
        return probe;
    }
    const std::string line = log_line_since(mark, "vl_device_set_clock");
    const frequency_probe_t refused = neighbours_in_log_line(line);
    if (rc != VL_RC_INVALID_FREQUENCY || !refused_with_neighbours(refused)) {
        throw library_failure_t("vl_device_set_clock", rc, line);
    }
    return refused;
}

std::vector<int64_t> producible_frequencies() {
    std::vector<int64_t> table;
    const frequency_probe_t first = probe_frequency(1);
    std::optional<int64_t> next = first.producible ? std::optional<int64_t>(1) : first.above;
    while (next) {
        table.push_back(*next);
        const frequency_probe_t probe = probe_frequency(*next + 1);
        next = probe.producible ? std::optional<int64_t>(*next + 1) : probe.above;
        if (next && *next <= table.back()) {
            break; // a neighbour that does not move on would walk for ever
        }
    }
    return table;
}

} // namespace velnorctl
