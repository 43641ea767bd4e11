// Several threads, each with its own handle, drive both boards at once.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "board_fixture.h"
#include "velnor.h"

namespace e2e {
namespace {

using Concurrency = BoardTest;

TEST_F(Concurrency, RequestsFromManyThreadsAllReachTheBoardsIntact) {
    constexpr int threads = 4;
    constexpr int rounds = 50;
    constexpr uint32_t requests_per_round = 3;
    uint32_t before = 0;
    for (const auto& b : boards) {
        before += b->request_count();
    }
    std::atomic<int> failures{0};
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([t, &failures] {
            vl_device* handle = nullptr;
            if (vl_device_open(static_cast<size_t>(t % 2), &handle) != VL_RC_SUCCESS) {
                failures += rounds;
                return;
            }
            // Each thread owns one register, so its read-back must be its own write.
            const uint32_t address = 0x0A0u + static_cast<uint32_t>(t);
            for (int i = 0; i < rounds; ++i) {
                const uint8_t contents = static_cast<uint8_t>(t * 64 + i);
                uint8_t read = 0;
                uint32_t status = 0;
                const bool ok =
                    vl_device_ad9516_reg_write(
                        handle, VL_AD9516_REG_WRITE_VALUE(address, contents)) == VL_RC_SUCCESS &&
                    vl_device_ad9516_reg_read(handle, address, &read) == VL_RC_SUCCESS &&
                    vl_device_get_trigger_status(handle, &status) == VL_RC_SUCCESS;
                failures += ok && read == contents ? 0 : 1;
            }
            if (vl_device_close(handle) != VL_RC_SUCCESS) {
                ++failures;
            }
        });
    }
    for (std::thread& w : workers) {
        w.join();
    }
    EXPECT_EQ(failures.load(), 0);
    uint32_t after = 0;
    for (const auto& b : boards) {
        after += b->request_count();
    }
    EXPECT_EQ(after - before, threads * rounds * requests_per_round);
}

} // namespace
} // namespace e2e
