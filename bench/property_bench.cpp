// The success path of each device operation through its export, and the raw
// platform request that vl_device_get_trigger_status wraps, in one run: the
// difference is what the library adds to the platform call.
#include "bench_support.h"

#include "device/device.h"

#include <velnor_sim.h>

#include <cstring>

namespace {

using velnor_bench::open_board_t;
using velnor_bench::side_effects;

// Function 0x800 + 11 (get_trigger_status), buffered, any access.
constexpr uint32_t get_trigger_status_code = 0x22202C;

void raw_get_trigger_status(benchmark::State& state) {
    open_board_t board;
    void* os_handle = board.get()->os_handle;
    const side_effects effects;
    for (auto _ : state) {
        // The export hands the driver a zero-filled reply buffer each time; so does this.
        unsigned char reply[8];
        std::memset(reply, 0, sizeof reply);
        uint32_t bytes_returned = 0;
        const int ok = vlsim_DeviceIoControl(os_handle, get_trigger_status_code, nullptr, 0, reply,
                                             sizeof reply, &bytes_returned, nullptr);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(reply);
    }
    effects.finish(state);
}
BENCHMARK(raw_get_trigger_status)->Name("platform/DeviceIoControl(get_trigger_status)");

template <typename Call> void run_device_export(benchmark::State& state, Call call) {
    open_board_t board;
    vl_device* device = board.get();
    if (call(device) != VL_RC_SUCCESS) {
        state.SkipWithError("the operation failed on the virtual board");
        return;
    }
    const side_effects effects;
    for (auto _ : state) {
        vl_rc rc = call(device);
        benchmark::DoNotOptimize(rc);
    }
    effects.finish(state);
}

template <typename Call> void register_device_export(const char* name, Call call) {
    benchmark::RegisterBenchmark(
        name, [call](benchmark::State& state) { run_device_export(state, call); });
}

// Registered from a static initialiser so each benchmark is named after its export.
const bool registered = [] {
    register_device_export("export/vl_device_get_trigger_status", [](vl_device* d) {
        uint32_t status = 0;
        const vl_rc rc = vl_device_get_trigger_status(d, &status);
        benchmark::DoNotOptimize(status);
        return rc;
    });
    register_device_export("export/vl_device_set_trigger_status",
                           [](vl_device* d) { return vl_device_set_trigger_status(d, 0); });
    register_device_export("export/vl_device_get_trigger_polarity", [](vl_device* d) {
        uint32_t polarity = 0;
        const vl_rc rc = vl_device_get_trigger_polarity(d, &polarity);
        benchmark::DoNotOptimize(polarity);
        return rc;
    });
    register_device_export("export/vl_device_set_trigger_polarity",
                           [](vl_device* d) { return vl_device_set_trigger_polarity(d, 1); });
    register_device_export("export/vl_device_get_id_led_state", [](vl_device* d) {
        uint32_t state = 0;
        const vl_rc rc = vl_device_get_id_led_state(d, &state);
        benchmark::DoNotOptimize(state);
        return rc;
    });
    register_device_export("export/vl_device_set_id_led_state",
                           [](vl_device* d) { return vl_device_set_id_led_state(d, 1); });
    register_device_export("export/vl_device_get_driver_version", [](vl_device* d) {
        vl_version version;
        const vl_rc rc = vl_device_get_driver_version(d, &version);
        benchmark::DoNotOptimize(version);
        return rc;
    });
    register_device_export("export/vl_device_get_firmware_version", [](vl_device* d) {
        vl_version version;
        const vl_rc rc = vl_device_get_firmware_version(d, &version);
        benchmark::DoNotOptimize(version);
        return rc;
    });
    register_device_export("export/vl_device_get_serial", [](vl_device* d) {
        char serial[33];
        const vl_rc rc = vl_device_get_serial(d, serial, sizeof serial);
        benchmark::DoNotOptimize(serial);
        return rc;
    });
    register_device_export("export/vl_device_ad9516_reg_read", [](vl_device* d) {
        uint8_t value = 0;
        const vl_rc rc = vl_device_ad9516_reg_read(d, 0x0F0, &value);
        benchmark::DoNotOptimize(value);
        return rc;
    });
    register_device_export("export/vl_device_ad9516_reg_write", [](vl_device* d) {
        return vl_device_ad9516_reg_write(d, VL_AD9516_REG_WRITE_VALUE(0x0F0, 0x5A));
    });
    register_device_export("export/vl_device_get_clock", [](vl_device* d) {
        vl_clock clock;
        const vl_rc rc = vl_device_get_clock(d, &clock);
        benchmark::DoNotOptimize(clock);
        return rc;
    });
    register_device_export("export/vl_device_set_clock(internal 100 MHz)", [](vl_device* d) {
        const vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 100'000'000};
        return vl_device_set_clock(d, &clock);
    });
    register_device_export("export/vl_device_set_clock(external 10 MHz)", [](vl_device* d) {
        const vl_clock clock{VL_CLOCK_MODE_EXTERNAL, {}, 10'000'000};
        return vl_device_set_clock(d, &clock);
    });
    register_device_export("export/vl_device_update_get_status", [](vl_device* d) {
        uint32_t state = 0;
        uint32_t received = 0;
        const vl_rc rc = vl_device_update_get_status(d, &state, &received);
        benchmark::DoNotOptimize(state);
        benchmark::DoNotOptimize(received);
        return rc;
    });
    return true;
}();

void library_version(benchmark::State& state) {
    const side_effects effects;
    for (auto _ : state) {
        vl_version version;
        vl_rc rc = vl_get_library_version(&version);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(version);
    }
    effects.finish(state);
}
BENCHMARK(library_version)->Name("export/vl_get_library_version");

void open_and_close(benchmark::State& state) {
    velnor_bench::reset_boards(1);
    const side_effects effects;
    for (auto _ : state) {
        vl_device* device = nullptr;
        vl_rc rc = vl_device_open(0, &device);
        benchmark::DoNotOptimize(rc);
        rc = vl_device_close(device);
        benchmark::DoNotOptimize(rc);
    }
    effects.finish(state);
}
BENCHMARK(open_and_close)->Name("export/vl_device_open+vl_device_close(1 board)");

} // namespace
