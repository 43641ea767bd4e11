// What recording costs: one property read through the product build and
// through the recording build, loaded side by side in one process on the same
// virtual board. The difference is the record (its bytes, the lock and one
// write to the trace file) per request. Beside them, the floor of each way to
// put a record of that size (120 bytes) in a file: one write to a file opened
// for appending, as the recording build does, and a copy into a mapped file.
#include <velnor.h>
#include <velnor_sim.h>

#include <benchmark/benchmark.h>

#include <dlfcn.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// A property read's record, as the trace holds it.
constexpr std::size_t record_size = 120;

int open_scratch(const char* name) {
    const std::string path = std::string(std::getenv("TMPDIR")) + "/" + name;
    return ::open(path.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
}

void write_record(benchmark::State& state) {
    const int fd = open_scratch("write.bin");
    char record[record_size] = {};
    for (auto _ : state) {
        benchmark::DoNotOptimize(::write(fd, record, sizeof record));
    }
    ::close(fd);
}

// A mapped file of 64 MiB, emptied and used again when full: each page's
// first touch is counted, as a mapped trace would pay it.
void copy_record_to_mapped_file(benchmark::State& state) {
    constexpr std::size_t mapped = std::size_t{64} << 20;
    const int fd = open_scratch("mapped.bin");
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(mapped)) != 0) {
        state.SkipWithError("no scratch file");
        return;
    }
    void* const pages = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    char record[record_size] = {};
    std::size_t at = 0;
    for (auto _ : state) {
        std::memcpy(static_cast<char*>(pages) + at, record, sizeof record);
        at += record_size;
        if (at + record_size > mapped) {
            // Fresh pages again, as a growing trace would touch (rare).
            at = 0;
            ::ftruncate(fd, 0);
            ::ftruncate(fd, static_cast<off_t>(mapped));
        }
        benchmark::ClobberMemory();
    }
    ::munmap(pages, mapped);
    ::close(fd);
}

BENCHMARK(write_record)->Name("trace/floor/write_120_bytes_appended");
BENCHMARK(copy_record_to_mapped_file)->Name("trace/floor/copy_120_bytes_to_mapped_file");

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
