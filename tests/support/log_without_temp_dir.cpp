// A process whose temporary directory does not exist: failing exports still
// return their own codes, and nothing crashes or hangs, from several threads.
#include "support/test_env.h"

#include <velnor.h>

#include <cstdio>
#include <thread>
#include <vector>

int main() {
    velnor_test::set_temp_dir_variable(velnor_test::temp_dir() / "missing" / "folder");
    int wrong = 0;
    for (int round = 0; round < 3; ++round) {
        std::vector<std::thread> threads;
        std::vector<int> results(4, 0);
        for (std::size_t t = 0; t < results.size(); ++t) {
            threads.emplace_back([&results, t] { results[t] = vl_get_library_version(nullptr); });
        }
        for (std::thread& thread : threads) {
            thread.join();
        }
        for (int result : results) {
            wrong += result != VL_RC_NULL_PARAMETER;
        }
    }
    std::printf("%d wrong results\n", wrong);
    return wrong == 0 ? 0 : 1;
}
