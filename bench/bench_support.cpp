#include "bench_support.h"

#include "support/counting_new.h"
#include "support/log_file.h"

namespace velnor_bench {

std::filesystem::path log_file() {
    return std::filesystem::temp_directory_path() / "Velnor.log";
}

std::uint64_t log_line_count() {
    return velnor_test::count_log_lines(log_file());
}

side_effects::side_effects()
    : log_lines_(log_line_count()), allocations_(velnor_test::heap::allocations.load()) {}

void side_effects::finish(benchmark::State& state) const {
    const std::uint64_t allocations = velnor_test::heap::allocations.load() - allocations_;
    const std::uint64_t lines = log_line_count() - log_lines_;
    state.counters["allocs_per_call"] =
        benchmark::Counter(static_cast<double>(allocations), benchmark::Counter::kAvgIterations);
    state.counters["log_lines_per_call"] =
        benchmark::Counter(static_cast<double>(lines), benchmark::Counter::kAvgIterations);
}

} // namespace velnor_bench
