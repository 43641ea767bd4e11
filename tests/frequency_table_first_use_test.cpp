// A process whose first clock checks all start at once: the table is built
// once and no check sees it half built. (Its own process, so the table is
// really unbuilt when the threads start.)
#include "clock/frequency_table.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(FrequencyTableFirstUse, ConcurrentFirstChecksAllSeeTheWholeTable) {
    std::atomic<bool> go{false};
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&] {
            while (!go) {
                std::this_thread::yield();
            }
            try {
                velnor::check_clock_frequency(1'100'000'000);
                velnor::check_clock_frequency(9'375'000);
            } catch (...) {
                ++wrong;
            }
            wrong += velnor::clock_frequency_table().size() != 863u;
        });
    }
    go = true;
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, 0);
}
