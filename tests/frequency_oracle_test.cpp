// The frequency check against a brute-force oracle, exhaustively over a
// kilohertz grid and around every producible frequency: what it accepts, and
// the neighbours its refusal names.
#include "clock/frequency_table.h"
#include "error/error_category.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <numeric>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::int64_t vco_min = 1'800'000'000;
constexpr std::int64_t vco_max = 2'200'000'000;
constexpr std::int64_t vco_grid = 10'000'000;
constexpr std::int64_t grid_step = 1'000;
constexpr std::int64_t grid_end = 1'100'001'000;

// Some VCO divider and channel divider take f to a VCO on the grid.
bool producible(std::int64_t f) {
    if (f <= 0 || f > vco_max) {
        return false;
    }
    for (std::int64_t d1 = 2; d1 <= 6; ++d1) {
        for (std::int64_t d2 = 1; d2 <= 32; ++d2) {
            const std::int64_t vco = f * d1 * d2;
            if (vco >= vco_min && vco <= vco_max && vco % vco_grid == 0) {
                return true;
            }
        }
    }
    return false;
}

// Every producible frequency, from the divider pairs rather than the VCO grid:
// for a total divider d, f * d is on the grid exactly when f is a multiple of
// grid / gcd(grid, d).
std::vector<std::int64_t> producible_frequencies() {
    std::set<std::int64_t> found;
    for (std::int64_t d1 = 2; d1 <= 6; ++d1) {
        for (std::int64_t d2 = 1; d2 <= 32; ++d2) {
            const std::int64_t d = d1 * d2;
            const std::int64_t step = vco_grid / std::gcd(vco_grid, d);
            const std::int64_t lowest = (vco_min + d - 1) / d;
            for (std::int64_t f = (lowest + step - 1) / step * step; f * d <= vco_max; f += step) {
                found.insert(f);
            }
        }
    }
    return {found.begin(), found.end()};
}

const std::vector<std::int64_t>& oracle() {
    static const std::vector<std::int64_t> frequencies = producible_frequencies();
    return frequencies;
}

struct verdict {
    bool accepted = true;
    std::string message;
};

verdict check(std::int64_t f) {
    try {
        velnor::check_clock_frequency(f);
        return {};
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), make_error_code(VL_RC_INVALID_FREQUENCY)) << f;
        return {false, error.what()};
    }
}

// The message a refusal of f must carry: the bound, or the nearest producible
// frequency on each side.
std::string expected_refusal(std::int64_t f) {
    const std::vector<std::int64_t>& all = oracle();
    const auto above = std::upper_bound(all.begin(), all.end(), f);
    char text[160];
    if (above == all.end()) {
        std::snprintf(text, sizeof text,
                      "Invalid clock frequency: %" PRId64 "Hz. Max frequency is %" PRId64 "Hz", f,
                      all.back());
    } else if (above == all.begin()) {
        std::snprintf(text, sizeof text,
                      "Invalid clock frequency: %" PRId64 "Hz. Min frequency is %" PRId64 "Hz", f,
                      all.front());
    } else {
        std::snprintf(text, sizeof text,
                      "Invalid clock frequency: %" PRId64 "Hz. Try %" PRId64 "Hz or %" PRId64 "Hz",
                      f, *(above - 1), *above);
    }
    return std::string(text) + ": invalid_frequency";
}

// Checks f against the oracle; returns false (after recording the failure) on
// the first disagreement, so one fault does not flood the output.
bool agrees(std::int64_t f, bool want) {
    const verdict v = check(f);
    if (v.accepted != want) {
        ADD_FAILURE() << f
                      << (want ? " is producible but refused: " + v.message
                               : " is not producible but accepted");
        return false;
    }
    if (!v.accepted && v.message != expected_refusal(f)) {
        ADD_FAILURE() << f << " refused with \"" << v.message << "\", expected \""
                      << expected_refusal(f) << "\"";
        return false;
    }
    return true;
}

TEST(FrequencyOracle, TableHoldsExactlyTheFrequenciesTheDividerChainProduces) {
    EXPECT_EQ(velnor::clock_frequency_table(), oracle());
    for (std::int64_t f : oracle()) {
        ASSERT_TRUE(producible(f)) << f;
    }
}

TEST(FrequencyOracle, AgreesOnEveryKilohertzUpToPastTheHighestFrequency) {
    const auto start = std::chrono::steady_clock::now();
    std::size_t accepted = 0;
    for (std::int64_t f = 0; f <= grid_end; f += grid_step) {
        const bool want = producible(f);
        ASSERT_TRUE(agrees(f, want));
        accepted += want ? 1 : 0;
    }
    const auto seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    RecordProperty("seconds", std::to_string(seconds));
    // Every producible frequency on the kilohertz grid was met, and accepted, on the way.
    const auto on_grid = std::count_if(oracle().begin(), oracle().end(),
                                       [](std::int64_t f) { return f % grid_step == 0; });
    EXPECT_EQ(accepted, static_cast<std::size_t>(on_grid));
}

TEST(FrequencyOracle, AgreesOnEveryProducibleFrequencyAndBothItsNeighbours) {
    for (std::int64_t f : oracle()) {
        for (std::int64_t probe : {f - 1, f, f + 1}) {
            ASSERT_TRUE(agrees(probe, producible(probe)));
        }
    }
}

TEST(FrequencyOracle, AgreesAtTheEndsOfTheValueRange) {
    for (std::int64_t f : {INT64_MIN, INT64_MIN + 1, std::int64_t{-1}, std::int64_t{0},
                           std::int64_t{1}, INT64_MAX - 1, INT64_MAX}) {
        ASSERT_TRUE(agrees(f, producible(f)));
    }
}

} // namespace
