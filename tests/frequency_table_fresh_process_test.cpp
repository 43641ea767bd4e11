// The frequency table's first use, each time in a process of its own: this
// test's own process never touches the table, and every case runs in a
// forked child, which starts with the table unbuilt.
#include "clock/frequency_table.h"
#include "support/counting_new.h"
#include "support/test_env.h"

#include <velnor.h>
#include <velnor_sim.h>

#include <gtest/gtest.h>

#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace {

using velnor_test::heap::allocations;
using velnor_test::heap::fail_at;

// Runs body in a forked child; the child's exit code is the number of wrong
// results it found (capped), or 100 when it died.
int in_fresh_process(const std::function<int()>& body) {
    const pid_t pid = fork();
    if (pid == 0) {
        int wrong = 100;
        try {
            wrong = body();
        } catch (...) {
        }
        _exit(wrong > 99 ? 99 : wrong);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// What a check gives: "accepted" or the refusal's code and text.
std::string check(std::int64_t frequency) {
    try {
        velnor::check_clock_frequency(frequency);
        return "accepted";
    } catch (const std::system_error& error) {
        return std::to_string(error.code().value()) + " " + error.what();
    }
}

// Exact results, written out from the divider chain by hand: 1.1 GHz is
// 2.2 GHz / 2, 9.375 MHz is 1.8 GHz / (6 * 32), 123,125,000 Hz is
// 1.97 GHz / 16 and 123,750,000 Hz is 1.98 GHz / 16.
int wrong_results() {
    const std::pair<std::int64_t, std::string> expected[] = {
        {1'100'000'000, "accepted"},
        {9'375'000, "accepted"},
        {100'000'000, "accepted"},
        {123'456'789, "-13 Invalid clock frequency: 123456789Hz. Try 123125000Hz or 123750000Hz: "
                      "invalid_frequency"},
        {1'100'000'001, "-13 Invalid clock frequency: 1100000001Hz. Max frequency is "
                        "1100000000Hz: invalid_frequency"},
        {9'374'999, "-13 Invalid clock frequency: 9374999Hz. Min frequency is 9375000Hz: "
                    "invalid_frequency"},
    };
    int wrong = 0;
    for (const auto& [frequency, result] : expected) {
        wrong += check(frequency) != result;
    }
    const std::vector<std::int64_t>& table = velnor::clock_frequency_table();
    wrong += table.size() != 863u;
    wrong += table.empty() || table.front() != 9'375'000 || table.back() != 1'100'000'000;
    return wrong;
}

// Many threads make their first check at the same moment, in a fresh process
// each round, and keep checking: a table whose once-only build is not safe is
// seen unbuilt, half built or freed by a second build in one of the rounds
// (and ThreadSanitizer reports the race at once).
TEST(FrequencyTableInAFreshProcess, FirstChecksRacingAllSeeTheWholeTable) {
    constexpr int rounds = 60;
    int failed_rounds = 0;
    for (int round = 0; round < rounds; ++round) {
        failed_rounds += in_fresh_process([] {
                             // Freed memory is overwritten at once, so a
                             // reader of a table freed by a second build
                             // sees garbage rather than the old entries.
                             mallopt(M_PERTURB, 0x5A);
                             constexpr int thread_count = 8;
                             std::atomic<int> ready{0};
                             std::atomic<int> wrong{0};
                             std::vector<std::thread> threads;
                             for (int t = 0; t < thread_count; ++t) {
                                 threads.emplace_back([&] {
                                     ++ready;
                                     while (ready < thread_count) {
                                     }
                                     for (int i = 0; i < 20; ++i) {
                                         wrong += wrong_results();
                                     }
                                 });
                             }
                             for (std::thread& thread : threads) {
                                 thread.join();
                             }
                             return wrong.load();
                         }) != 0;
    }
    EXPECT_EQ(failed_rounds, 0) << "of " << rounds << " rounds";
}

// Memory runs out at each of the build's allocations in turn: that check
// fails with bad_alloc (or, where the standard library absorbs the failure,
// as in shrink_to_fit, succeeds), nothing half built stays behind, and the
// next check gives the exact results over the whole table.
TEST(FrequencyTableInAFreshProcess, BuildThatRunsOutOfMemoryIsMadeWholeByTheNextCheck) {
    constexpr int past_the_build = 0, ran_out = 60, absorbed = 70;
    int ran_out_count = 0;
    long n = 1;
    for (; n < 50; ++n) {
        const int outcome = in_fresh_process([n] {
            const long start = allocations;
            fail_at = start + n;
            bool threw = false;
            try {
                velnor::check_clock_frequency(100'000'000);
            } catch (const std::bad_alloc&) {
                threw = true;
            }
            fail_at = 0;
            if (!threw && allocations - start < n) {
                return past_the_build;
            }
            return (threw ? ran_out : absorbed) + wrong_results();
        });
        if (outcome == past_the_build) {
            break;
        }
        ran_out_count += outcome == ran_out;
        EXPECT_TRUE(outcome == ran_out || outcome == absorbed)
            << "allocation " << n << ": " << outcome;
    }
    EXPECT_LT(n, 50);
    EXPECT_GE(ran_out_count, 2) << "the quotients and the hash slots at least";
}

// A process that only ever sets non-zero clock modes never builds the table:
// its first mode-0 check is the one that allocates the table's storage.
TEST(FrequencyTableInAFreshProcess, StaysUnbuiltWhileOnlyNonZeroModesAreSet) {
    EXPECT_EQ(in_fresh_process([] {
                  vlsim_reset();
                  vlsim_add_board(nullptr);
                  vl_device* device = nullptr;
                  if (vl_device_open(0, &device) != VL_RC_SUCCESS) {
                      return 10;
                  }
                  int wrong = 0;
                  const vl_clock external{VL_CLOCK_MODE_EXTERNAL, {}, 10'000'000};
                  const vl_clock odd{5, {}, 123'456'789}; // not producible, not checked
                  wrong += vl_device_set_clock(device, &external) != VL_RC_SUCCESS;
                  wrong += vl_device_set_clock(device, &odd) != VL_RC_INVALID_DATA;
                  wrong += vl_device_set_clock(nullptr, &external) == VL_RC_INVALID_FREQUENCY;
                  const long before_first = allocations;
                  velnor::check_clock_frequency(100'000'000);
                  const long first = allocations - before_first;
                  const long before_second = allocations;
                  velnor::check_clock_frequency(100'000'000);
                  const long second = allocations - before_second;
                  wrong += first < 2;   // the quotients and the table at least
                  wrong += second != 0; // built: a check allocates nothing
                  vl_device_close(device);
                  return wrong;
              }),
              0);
}

} // namespace
