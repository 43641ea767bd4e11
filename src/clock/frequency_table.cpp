#include "clock/frequency_table.h"

#include "api/error_category.h"

#include <fmt/format.h>

#include <algorithm>

namespace velnor {

namespace {
constexpr std::int64_t vco_min_hz = 1'800'000'000;
constexpr std::int64_t vco_max_hz = 2'200'000'000;
constexpr std::int64_t vco_step_hz = 10'000'000;

std::vector<std::int64_t> build_table() {
    std::vector<std::int64_t> table = clock_frequency_quotients();
    std::sort(table.begin(), table.end());
    table.erase(std::unique(table.begin(), table.end()), table.end());
    table.shrink_to_fit();
    return table;
}

[[noreturn]] void refuse(const std::string& message) {
    throw std::system_error(make_error_code(VL_RC_INVALID_FREQUENCY), message);
}
} // namespace

std::vector<std::int64_t> clock_frequency_quotients() {
    std::vector<std::int64_t> quotients;
    quotients.reserve(2048);
    for (std::int64_t vco = vco_min_hz; vco <= vco_max_hz; vco += vco_step_hz) {
        for (std::int64_t vco_divider = 2; vco_divider <= 6; ++vco_divider) {
            for (std::int64_t channel_divider = 1; channel_divider <= 32; ++channel_divider) {
                const std::int64_t divider = vco_divider * channel_divider;
                if (vco % divider == 0) {
                    quotients.push_back(vco / divider);
                }
            }
        }
    }
    return quotients;
}

const std::vector<std::int64_t>& clock_frequency_table() {
    // A function-local static: a build that throws leaves no table behind,
    // and the next caller builds it again.
    static const std::vector<std::int64_t> table = build_table();
    return table;
}

void check_clock_frequency(std::int64_t frequency_hz) {
    const std::vector<std::int64_t>& table = clock_frequency_table();
    const auto bound = std::lower_bound(table.begin(), table.end(), frequency_hz);
    if (bound != table.end() && *bound == frequency_hz) {
        return;
    }
    if (bound == table.end()) {
        refuse(fmt::format("Invalid clock frequency: {}Hz. Max frequency is {}Hz", frequency_hz,
                           table.back()));
    }
    if (bound == table.begin()) {
        refuse(fmt::format("Invalid clock frequency: {}Hz. Min frequency is {}Hz", frequency_hz,
                           table.front()));
    }
    refuse(fmt::format("Invalid clock frequency: {}Hz. Try {}Hz or {}Hz", frequency_hz,
                       *(bound - 1), *bound));
}

} // namespace velnor
