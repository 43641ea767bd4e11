// Counting boards: one size query, one fetch of the interface list, and the
// split into paths, for growing numbers of virtual boards.
#include "bench_support.h"

#include <velnor_board_protocol.h>
#include <velnor_sim.h>

#include <vector>

namespace {

using velnor_bench::side_effects;

void device_count(benchmark::State& state) {
    const auto boards = static_cast<int>(state.range(0));
    velnor_bench::reset_boards(boards);
    size_t count = 0;
    const side_effects effects;
    for (auto _ : state) {
        vl_rc rc = vl_get_device_count(&count);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(count);
    }
    effects.finish(state);
    if (count != static_cast<size_t>(boards)) {
        state.SkipWithError("wrong board count");
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(device_count)
    ->Name("discovery/vl_get_device_count")
    ->Arg(1)
    ->Arg(16)
    ->Arg(256)
    ->Arg(4096)
    ->Complexity(benchmark::oN);

// The two platform calls the count makes, with a buffer kept from one call to
// the next: what the library cannot avoid paying.
void interface_list(benchmark::State& state) {
    const auto boards = static_cast<int>(state.range(0));
    velnor_bench::reset_boards(boards);
    const vlsim_guid guid = VLB_INTERFACE_CLASS_INIT;
    std::vector<wchar_t> list;
    const side_effects effects;
    for (auto _ : state) {
        uint32_t length = 0;
        uint32_t rc = vlsim_CM_Get_Device_Interface_List_SizeA(&length, &guid, nullptr, 0);
        if (list.size() < length) {
            list.resize(length);
        }
        rc |= vlsim_CM_Get_Device_Interface_ListW(&guid, nullptr, list.data(), length, 0);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(list.data());
    }
    effects.finish(state);
    state.SetComplexityN(state.range(0));
}
BENCHMARK(interface_list)
    ->Name("platform/interface list size + fetch")
    ->Arg(1)
    ->Arg(16)
    ->Arg(256)
    ->Arg(4096)
    ->Complexity(benchmark::oN);

} // namespace
