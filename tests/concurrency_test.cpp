// Several threads at once: the first failures, the first clock check, and a
// stress run of every operation on several boards with faults switched on.
#include "clock/frequency_table.h"
#include "support/library_fixture.h"

#include <spdlog/spdlog.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <random>
#include <thread>

namespace {

using velnor_test::LibraryTest;

// Starts n threads that wait at one gate and are released together.
template <typename Work> void run_together(int n, Work work) {
    std::mutex mutex;
    std::condition_variable gate;
    bool open = false;
    std::vector<std::thread> threads;
    for (int t = 0; t < n; ++t) {
        threads.emplace_back([&, t] {
            {
                std::unique_lock<std::mutex> lock(mutex);
                gate.wait(lock, [&] { return open; });
            }
            work(t);
        });
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        open = true;
    }
    gate.notify_all();
    for (std::thread& thread : threads) {
        thread.join();
    }
}

class Concurrency : public LibraryTest {};

TEST_F(Concurrency, SimultaneousFirstFailuresMakeExactlyOneLoggerAndWholeLines) {
    constexpr int threads = 8;
    for (int round = 0; round < 1000; ++round) {
        velnor_test::reset_log();
        std::atomic<int> wrong{0};
        run_together(threads, [&](int) {
            wrong += vl_get_library_version(nullptr) != VL_RC_NULL_PARAMETER;
        });
        ASSERT_EQ(wrong, 0);
        const auto logger = spdlog::get("Velnor");
        ASSERT_NE(logger, nullptr);
        ASSERT_EQ(logger->sinks().size(), 1u);
        const auto lines = velnor_test::read_log_lines();
        ASSERT_EQ(lines.size(), std::size_t{threads}) << "round " << round;
        for (const std::string& line : lines) {
            ASSERT_NE(line.find("version is null: null_parameter"), std::string::npos) << line;
        }
    }
}

TEST_F(Concurrency, StressOfEveryOperationOnFourBoardsEndsWithNoOpenHandle) {
    for (int b = 0; b < 4; ++b) {
        add_board();
    }
    constexpr int threads = 8;
    constexpr int rounds = 150;
    std::atomic<int> unexpected{0};
    run_together(threads, [&](int t) {
        std::mt19937 random(static_cast<unsigned>(t) * 7919u);
        for (int round = 0; round < rounds; ++round) {
            if (random() % 16 == 0) {
                vlsim_fail_next(VLSIM_CALL_DEVICE_IO_CONTROL, 995); // another thread may get it
            }
            vl_device* device = nullptr;
            const vl_rc opened = vl_device_open(random() % 5, &device);
            if (opened != VL_RC_SUCCESS) {
                unexpected += opened != VL_RC_INVALID_DEVICE && opened != VL_RC_FAILED;
                continue;
            }
            uint32_t value = 0;
            vl_version version;
            vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 125'000'000};
            char serial[32];
            uint8_t byte = 0;
            const vl_rc results[] = {
                vl_device_get_driver_version(device, &version),
                vl_device_get_serial(device, serial, sizeof serial),
                vl_device_set_id_led_state(device, random() % 3),
                vl_device_get_id_led_state(device, &value),
                vl_device_set_trigger_polarity(device, random() % 2),
                vl_device_get_trigger_status(device, &value),
                vl_device_set_clock(device, &clock),
                vl_device_get_clock(device, &clock),
                vl_device_ad9516_reg_read(device, 0x1E0, &byte),
                vl_device_update_get_status(device, &value, nullptr),
            };
            for (vl_rc result : results) {
                unexpected += result != VL_RC_SUCCESS && result != VL_RC_FAILED;
            }
            vl_rc closed = vl_device_close(device);
            unexpected += closed != VL_RC_SUCCESS;
        }
    });
    vlsim_clear_faults();
    EXPECT_EQ(unexpected, 0);
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
}

} // namespace
