// What every benchmark shares: a virtual platform with a known set of
// boards and an open board (from the test-support library), and the
// counters reported next to the time.
#pragma once

#include "support/virtual_boards.h"

#include <benchmark/benchmark.h>
#include <velnor.h>

#include <cstdint>
#include <filesystem>

namespace velnor_bench {

using velnor_test::open_board_t;
using velnor_test::reset_boards;

// The library's log file (Velnor.log in the temporary directory).
std::filesystem::path log_file();

// Lines in the log file (0 when it does not exist).
std::uint64_t log_line_count();

// Records what the timed loop allocated and logged, per iteration, as the
// counters "allocs_per_call" and "log_lines_per_call". Start it right
// before the loop and call finish() right after.
class side_effects {
public:
    side_effects();
    void finish(benchmark::State& state) const;

private:
    // Lines first: counting them allocates, and must not be counted itself.
    std::uint64_t log_lines_;
    std::uint64_t allocations_;
};

} // namespace velnor_bench
