// A process that fails calls from several threads under whatever temporary
// directory it was started with, even one where no log can be written.
// Exits 0 when every call returned its own code.
#include <velnor.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

int main() {
    std::atomic<int> wrong{0};
    for (int round = 0; round < 3; ++round) {
        std::vector<std::thread> threads;
        for (int t = 0; t < 4; ++t) {
            threads.emplace_back([&wrong] {
                vl_device* device = nullptr;
                wrong += vl_get_library_version(nullptr) != VL_RC_NULL_PARAMETER;
                wrong += vl_device_open(99, &device) != VL_RC_INVALID_DEVICE;
                wrong += vl_device_close(nullptr) != VL_RC_NULL_PARAMETER;
                wrong += device != nullptr;
            });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
    }
    std::printf("%d wrong results\n", wrong.load());
    return wrong == 0 ? 0 : 1;
}
