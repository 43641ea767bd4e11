// What every benchmark shares: a virtual platform with a known set of
// boards, an open board, and the counters reported next to the time.
#pragma once

#include <benchmark/benchmark.h>
#include <velnor.h>

#include <cstdint>
#include <filesystem>

namespace velnor_bench {

// Removes every board and adds n with the default configuration.
void reset_boards(int n);

// An open handle on board 0 of a platform with one board; closed on scope exit.
class open_board {
public:
    open_board();
    ~open_board();
    open_board(const open_board&) = delete;
    open_board& operator=(const open_board&) = delete;
    vl_device* get() const { return device_; }

private:
    vl_device* device_ = nullptr;
};

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
