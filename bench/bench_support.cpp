#include "bench_support.h"

#include "alloc_counter.h"

#include <velnor_sim.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace velnor_bench {

void reset_boards(int n) {
    vlsim_reset();
    for (int i = 0; i < n; ++i) {
        vlsim_add_board(nullptr);
    }
}

open_board::open_board() {
    reset_boards(1);
    if (vl_device_open(0, &device_) != VL_RC_SUCCESS) {
        throw std::runtime_error("cannot open the virtual board");
    }
}

open_board::~open_board() {
    vl_device_close(device_);
}

std::filesystem::path log_file() {
    return std::filesystem::temp_directory_path() / "Velnor.log";
}

std::uint64_t log_line_count() {
    std::ifstream in(log_file(), std::ios::binary);
    if (!in) {
        return 0;
    }
    return static_cast<std::uint64_t>(
        std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

side_effects::side_effects() : log_lines_(log_line_count()), allocations_(allocation_count()) {}

void side_effects::finish(benchmark::State& state) const {
    const std::uint64_t allocations = allocation_count() - allocations_;
    const std::uint64_t lines = log_line_count() - log_lines_;
    state.counters["allocs_per_call"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.counters["log_lines_per_call"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
}

} // namespace velnor_bench
