#include "clock/frequency_table.h"

#include "error/error_category.h"

#include <fmt/format.h>

#include <algorithm>

namespace velnor {

namespace {
constexpr std::int64_t vco_min_hz = 1'800'000'000;
constexpr std::int64_t vco_max_hz = 2'200'000'000;
constexpr std::int64_t vco_step_hz = 10'000'000;

// The table twice over: sorted, for the neighbours a refusal names, and as an
// open-addressing hash set, so that accepting a frequency costs one or two
// probes instead of a branchy binary search.
struct frequency_index_t {
    std::vector<std::int64_t> sorted;
    std::vector<std::int64_t> slots; // 0 marks a free slot; 0 Hz is never producible
};

constexpr unsigned slot_bits = 11; // 2,048 slots for 863 frequencies
constexpr std::size_t slot_mask = (std::size_t{1} << slot_bits) - 1;

std::size_t slot_of(std::int64_t frequency) {
    return static_cast<std::size_t>(
        (static_cast<std::uint64_t>(frequency) * 0x9E3779B97F4A7C15ull) >> (64 - slot_bits));
}

frequency_index_t build_index() {
    frequency_index_t index;
    index.sorted = clock_frequency_quotients();
    std::sort(index.sorted.begin(), index.sorted.end());
    index.sorted.erase(std::unique(index.sorted.begin(), index.sorted.end()), index.sorted.end());
    index.sorted.shrink_to_fit();
    index.slots.assign(slot_mask + 1, 0);
    for (std::int64_t frequency : index.sorted) {
        std::size_t slot = slot_of(frequency);
        while (index.slots[slot] != 0) {
            slot = (slot + 1) & slot_mask;
        }
        index.slots[slot] = frequency;
    }
    return index;
}

const frequency_index_t& clock_frequency_index() {
    // A function-local static: a build that throws leaves nothing behind, and
    // the next caller builds it again; no caller ever sees it half built.
    static const frequency_index_t index = build_index();
    return index;
}

bool is_producible(const frequency_index_t& index, std::int64_t frequency) {
    for (std::size_t slot = slot_of(frequency);; slot = (slot + 1) & slot_mask) {
        const std::int64_t entry = index.slots[slot];
        if (entry == frequency) {
            return frequency != 0;
        }
        if (entry == 0) {
            return false;
        }
    }
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
    return clock_frequency_index().sorted;
}

void check_clock_frequency(std::int64_t frequency_hz) {
    const frequency_index_t& index = clock_frequency_index();
    if (is_producible(index, frequency_hz)) {
        return;
    }
    const std::vector<std::int64_t>& table = index.sorted;
    const auto bound = std::lower_bound(table.begin(), table.end(), frequency_hz);
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
