// A failing export in steady state: the exception, one flushed log line and
// the result code. The first failure of a process (which also makes the
// logger and opens the file) is timed apart, by velnor_first_failure.
#include "bench_support.h"

#include <filesystem>

namespace {

using velnor_bench::side_effects;

// The log file is opened for appending, so emptying it under the logger
// keeps it small without losing the lines that follow.
void empty_log() {
    std::error_code ignored;
    std::filesystem::resize_file(velnor_bench::log_file(), 0, ignored);
}

void failing_export(benchmark::State& state) {
    if (vl_get_library_version(nullptr) != VL_RC_NULL_PARAMETER) {
        state.SkipWithError("vl_get_library_version(nullptr) did not fail as expected");
        return;
    }
    empty_log();
    const side_effects effects;
    for (auto _ : state) {
        vl_rc rc = vl_get_library_version(nullptr);
        benchmark::DoNotOptimize(rc);
    }
    effects.finish(state);
    empty_log();
}
BENCHMARK(failing_export)->Name("failure/vl_get_library_version(nullptr), steady state");

void failing_device_export(benchmark::State& state) {
    if (vl_device_get_trigger_status(nullptr, nullptr) != VL_RC_NULL_PARAMETER) {
        state.SkipWithError("vl_device_get_trigger_status(nullptr, nullptr) did not fail");
        return;
    }
    empty_log();
    const side_effects effects;
    for (auto _ : state) {
        vl_rc rc = vl_device_get_trigger_status(nullptr, nullptr);
        benchmark::DoNotOptimize(rc);
    }
    effects.finish(state);
    empty_log();
}
BENCHMARK(failing_device_export)
    ->Name("failure/vl_device_get_trigger_status(nullptr, nullptr), steady state");

} // namespace
