// Times the first failing export of a fresh process, which also makes the
// logger and creates the log file, then the second one. Prints one JSON
// object; run once per sample, each time in a new process.
#include <velnor.h>

#include <chrono>
#include <cstdio>

namespace {
long long time_failure_ns() {
    const auto start = std::chrono::steady_clock::now();
    const vl_rc rc = vl_get_library_version(nullptr);
    const auto stop = std::chrono::steady_clock::now();
    if (rc != VL_RC_NULL_PARAMETER) {
        return -1;
    }
    return std::chrono::duration_cast<std::chrono::nanoseconds>(stop - start).count();
}
} // namespace

int main() {
    const long long first = time_failure_ns();
    const long long second = time_failure_ns();
    if (first < 0 || second < 0) {
        std::fprintf(stderr, "vl_get_library_version(nullptr) did not fail as expected\n");
        return 1;
    }
    std::printf("{\"first_ns\": %lld, \"second_ns\": %lld}\n", first, second);
    return 0;
}
