// What recording costs: one property read through the product build and
// through the recording build, loaded side by side in one process on the same
// virtual board. The difference is the record (its bytes, the mutex and one
// write to the trace file) per request.
#include <velnor.h>
#include <velnor_sim.h>

#include <benchmark/benchmark.h>

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>

namespace {

using open_fn = vl_rc (*)(size_t, vl_device**);
using close_fn = vl_rc (*)(vl_device*);
using read_fn = vl_rc (*)(vl_device*, uint32_t*);

struct build_t {
    void* library = nullptr;
    open_fn open = nullptr;
    close_fn close = nullptr;
    read_fn read = nullptr;
};

build_t load(const char* path) {
    build_t build;
    build.library = ::dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (build.library != nullptr) {
        build.open = reinterpret_cast<open_fn>(::dlsym(build.library, "vl_device_open"));
        build.close = reinterpret_cast<close_fn>(::dlsym(build.library, "vl_device_close"));
        build.read =
            reinterpret_cast<read_fn>(::dlsym(build.library, "vl_device_get_trigger_status"));
    }
    return build;
}

void read_property(benchmark::State& state, bool recorded) {
    static build_t product = load(VELNOR_PRODUCT_LIBRARY);
    static build_t recording = load(VELNOR_RECORDING_LIBRARY);
    const build_t& build = recorded ? recording : product;
    if (build.read == nullptr) {
        state.SkipWithError(::dlerror());
        return;
    }
    vl_device* device = nullptr;
    if (build.open(0, &device) != VL_RC_SUCCESS) {
        state.SkipWithError("no virtual board");
        return;
    }
    uint32_t status = 0;
    for (auto _ : state) {
        vl_rc rc = build.read(device, &status);
        benchmark::DoNotOptimize(rc);
    }
    build.close(device);
}

BENCHMARK_CAPTURE(read_property, product, false)
    ->Name("trace/vl_device_get_trigger_status/product");
BENCHMARK_CAPTURE(read_property, recording, true)
    ->Name("trace/vl_device_get_trigger_status/recording");

} // namespace

// The trace (and any log) goes to a folder of the run's own, removed after.
int main(int argc, char** argv) {
    char pattern[] = "/tmp/velnor-trace-bench.XXXXXX";
    const char* dir = ::mkdtemp(pattern);
    if (dir == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    ::setenv("TMPDIR", dir, 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
    return 0;
}
