// The table of producible frequencies, the check against it, and the clock
// operations.
#include "clock/frequency_table.h"
#include "error/error_category.h"
#include "support/library_fixture.h"

#include <algorithm>
#include <random>
#include <set>

namespace {

using velnor_test::LibraryTest;

std::string refusal(std::int64_t frequency) {
    try {
        velnor::check_clock_frequency(frequency);
    } catch (const std::system_error& error) {
        EXPECT_EQ(error.code(), make_error_code(VL_RC_INVALID_FREQUENCY));
        return error.what();
    }
    return "accepted";
}

// Brute force, independent of the table: some VCO on the grid and dividers give f exactly.
bool producible(std::int64_t f) {
    for (std::int64_t d1 = 2; d1 <= 6; ++d1) {
        for (std::int64_t d2 = 1; d2 <= 32; ++d2) {
            const std::int64_t vco = f * d1 * d2;
            if (f > 0 && vco >= 1'800'000'000 && vco <= 2'200'000'000 && vco % 10'000'000 == 0) {
                return true;
            }
        }
    }
    return false;
}

TEST(FrequencyTable, HoldsTheWholeQuotientsOfTheDividerChain) {
    const std::vector<std::int64_t> quotients = velnor::clock_frequency_quotients();
    EXPECT_EQ(quotients.size(), 2023u);
    EXPECT_EQ(std::set<std::int64_t>(quotients.begin(), quotients.end()).size(), 863u);

    const std::vector<std::int64_t>& table = velnor::clock_frequency_table();
    EXPECT_EQ(table.size(), 863u);
    EXPECT_TRUE(std::is_sorted(table.begin(), table.end()));
    const std::vector<std::int64_t> first = {9'375'000, 9'531'250,  9'687'500,
                                             9'843'750, 10'000'000, 10'156'250};
    EXPECT_TRUE(std::equal(first.begin(), first.end(), table.begin()));
    const std::vector<std::int64_t> last = {1'090'000'000, 1'095'000'000, 1'100'000'000};
    EXPECT_TRUE(std::equal(last.begin(), last.end(), table.end() - 3));
    EXPECT_EQ(&table, &velnor::clock_frequency_table());
}

TEST(FrequencyTable, WidestGapsLieWhereTheDividerChainLeavesThem) {
    const std::vector<std::int64_t>& table = velnor::clock_frequency_table();
    std::vector<std::pair<std::int64_t, std::int64_t>> gaps;
    for (std::size_t i = 1; i < table.size(); ++i) {
        gaps.emplace_back(table[i] - table[i - 1], table[i - 1]);
    }
    std::sort(gaps.rbegin(), gaps.rend());
    EXPECT_EQ(gaps[0], std::make_pair(std::int64_t{170'000'000}, std::int64_t{730'000'000}));
    EXPECT_EQ(gaps[1].second, 550'000'000);
    EXPECT_EQ(gaps[2].second, 275'000'000);
}

TEST(FrequencyCheck, AcceptsProducibleFrequencies) {
    for (std::int64_t f :
         {9'375'000LL, 10'000'000LL, 20'000'000LL, 100'000'000LL, 125'000'000LL, 250'000'000LL,
          500'000'000LL, 730'000'000LL, 900'000'000LL, 1'000'000'000LL, 1'100'000'000LL}) {
        EXPECT_EQ(refusal(f), "accepted") << f;
    }
}

TEST(FrequencyCheck, RefusesWithTheBoundOrTheTwoNearestFrequencies) {
    const std::pair<std::int64_t, const char*> cases[] = {
        {1'100'000'001, "Invalid clock frequency: 1100000001Hz. Max frequency is 1100000000Hz"},
        {INT64_MAX,
         "Invalid clock frequency: 9223372036854775807Hz. Max frequency is 1100000000Hz"},
        {9'374'999, "Invalid clock frequency: 9374999Hz. Min frequency is 9375000Hz"},
        {0, "Invalid clock frequency: 0Hz. Min frequency is 9375000Hz"},
        {-5, "Invalid clock frequency: -5Hz. Min frequency is 9375000Hz"},
        {INT64_MIN, "Invalid clock frequency: -9223372036854775808Hz. Min frequency is 9375000Hz"},
        {800'000'000, "Invalid clock frequency: 800000000Hz. Try 730000000Hz or 900000000Hz"},
        {123'456'789, "Invalid clock frequency: 123456789Hz. Try 123125000Hz or 123750000Hz"},
        {1'099'999'999, "Invalid clock frequency: 1099999999Hz. Try 1095000000Hz or 1100000000Hz"},
        {9'500'000, "Invalid clock frequency: 9500000Hz. Try 9375000Hz or 9531250Hz"},
        {156'250'000, "Invalid clock frequency: 156250000Hz. Try 155000000Hz or 157500000Hz"},
    };
    for (const auto& [frequency, message] : cases) {
        EXPECT_EQ(refusal(frequency), std::string(message) + ": invalid_frequency");
    }
}

TEST(FrequencyCheck, AgreesWithABruteForceOracle) {
    const std::vector<std::int64_t>& table = velnor::clock_frequency_table();
    std::mt19937_64 random(20261208);
    std::uniform_int_distribution<std::int64_t> anywhere(-1'000, 1'200'000'000);
    std::vector<std::int64_t> sample;
    for (int i = 0; i < 20'000; ++i) {
        sample.push_back(anywhere(random));
    }
    for (std::int64_t f : table) { // every entry and its neighbours
        sample.insert(sample.end(), {f - 1, f, f + 1});
    }
    for (std::int64_t f : sample) {
        ASSERT_EQ(refusal(f) == "accepted", producible(f)) << f;
    }
}

class Clock : public velnor_test::OpenBoardTest {};

TEST_F(Clock, SetSendsTheRecordUnchangedAndGetReturnsIt) {
    vl_clock clock{VL_CLOCK_MODE_INTERNAL, {0xDE, 0xAD, 0xBE, 0xEF}, 100'000'000};
    ASSERT_EQ(vl_device_set_clock(device, &clock), VL_RC_SUCCESS);
    const vlsim_request_record record = last_request();
    ASSERT_EQ(record.in_length, 16u);
    EXPECT_EQ(std::memcmp(record.in, &clock, 16), 0);

    vl_clock read;
    std::memset(&read, 0x77, sizeof read);
    ASSERT_EQ(vl_device_get_clock(device, &read), VL_RC_SUCCESS);
    EXPECT_EQ(std::memcmp(&read, &clock, sizeof clock), 0);
}

TEST_F(Clock, RefusedFrequencyNeverReachesTheBoardWhateverTheHandle) {
    const vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 123'456'789};
    EXPECT_EQ(vl_device_set_clock(device, &clock), VL_RC_INVALID_FREQUENCY);
    EXPECT_EQ(vl_device_set_clock(nullptr, &clock), VL_RC_INVALID_FREQUENCY);
    EXPECT_EQ(vlsim_request_count(), 0u);
    EXPECT_EQ(last_log_message(),
              "[vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 123456789Hz. Try "
              "123125000Hz or 123750000Hz: invalid_frequency");
}

TEST_F(Clock, OtherModesAreSentUncheckedAndTheBoardDecides) {
    const std::pair<vl_clock, vl_rc> cases[] = {
        {{VL_CLOCK_MODE_EXTERNAL, {}, 10'000'000}, VL_RC_SUCCESS},
        {{VL_CLOCK_MODE_EXTERNAL, {}, 0}, VL_RC_INVALID_DATA},
        {{VL_CLOCK_MODE_EXTERNAL, {}, -1}, VL_RC_INVALID_DATA},
        {{VL_CLOCK_MODE_EXTERNAL, {}, 2'000'000'000}, VL_RC_INVALID_DATA},
        {{7, {}, 100'000'000}, VL_RC_INVALID_DATA},
    };
    for (const auto& [clock, expected] : cases) {
        vlsim_clear_requests();
        EXPECT_EQ(vl_device_set_clock(device, &clock), expected) << clock.frequency_hz;
        EXPECT_EQ(vlsim_request_count(), 1u);
    }
}

TEST_F(Clock, BoardThatCannotLockAnswersPllNotLocked) {
    vlsim_set_request_status(14, VL_RC_PLL_NOT_LOCKED);
    const vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 250'000'000};
    EXPECT_EQ(vl_device_set_clock(device, &clock), VL_RC_PLL_NOT_LOCKED);
    EXPECT_NE(last_log_message().find("Velnor:-11, IOCTL failed: pll_not_locked"),
              std::string::npos);
}

TEST_F(Clock, SettingTheClockProgramsTheDividerRegisters) {
    std::uint8_t before = 0, after = 0;
    ASSERT_EQ(vl_device_ad9516_reg_read(device, 0x1E0, &before), VL_RC_SUCCESS);
    const vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 1'100'000'000}; // VCO divider 2
    ASSERT_EQ(vl_device_set_clock(device, &clock), VL_RC_SUCCESS);
    const vl_clock slow{VL_CLOCK_MODE_INTERNAL, {}, 9'375'000}; // VCO divider 6
    ASSERT_EQ(vl_device_set_clock(device, &slow), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_ad9516_reg_read(device, 0x1E0, &after), VL_RC_SUCCESS);
    EXPECT_EQ(after, 4); // coded 0..4 for 2..6
}

TEST_F(Clock, FailedGetLeavesTheRecordAsItWas) {
    vlsim_set_request_status_with_payload(13, -2);
    vl_clock clock;
    std::memset(&clock, 0x3C, sizeof clock);
    EXPECT_EQ(vl_device_get_clock(device, &clock), VL_RC_AD9516_COMMUNICATION_ERROR);
    for (std::size_t i = 0; i < sizeof clock; ++i) {
        EXPECT_EQ(reinterpret_cast<const std::uint8_t*>(&clock)[i], 0x3C);
    }
}

} // namespace
