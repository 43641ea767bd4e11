#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "board_fixture.h"
#include "driver_link.h"
#include "e2e_modes.h"
#include "velnor.h"

namespace e2e {
namespace {

double now_us() {
    static const double ticks_per_us = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart) / 1e6;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / ticks_per_us;
}

bool through_library(vl_device* device, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        uint32_t status = 0;
        if (vl_device_get_trigger_status(device, &status) != VL_RC_SUCCESS) {
            return false;
        }
    }
    return true;
}

bool bare(HANDLE board, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char reply[8] = {};
        DWORD returned = 0;
        if (!DeviceIoControl(board, board_request_code(11), nullptr, 0, reply, sizeof reply,
                             &returned, nullptr)) {
            return false;
        }
    }
    return true;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double mean(const std::vector<double>& values) {
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

} // namespace

int run_bench(std::size_t requests) {
    vl_device* device = nullptr;
    if (vl_device_open(0, &device) != VL_RC_SUCCESS) {
        std::fprintf(stderr, "bench: vl_device_open failed\n");
        return 1;
    }
    const std::string serial = library_serial(device);
    file_handle raw;
    for (const std::wstring& path : board_interface_paths()) {
        if (board_control(path).serial() == serial) {
            raw = open_board_path(path);
        }
    }
    if (!raw || !through_library(device, 100) || !bare(raw.get(), 100)) {
        std::fprintf(stderr, "bench: board %s not reachable\n", serial.c_str());
        vl_device_close(device);
        return 1;
    }
    // Requests alternate one by one and each is timed on its own: load from
    // elsewhere on the machine hits both paths alike, and medians ignore its spikes.
    std::vector<double> library_us;
    std::vector<double> bare_us;
    library_us.reserve(requests);
    bare_us.reserve(requests);
    for (std::size_t i = 0; i < requests; ++i) {
        const double t0 = now_us();
        bool ok = through_library(device, 1);
        const double t1 = now_us();
        ok = bare(raw.get(), 1) && ok;
        const double t2 = now_us();
        if (!ok) {
            std::fprintf(stderr, "bench: a request failed\n");
            vl_device_close(device);
            return 1;
        }
        library_us.push_back(t1 - t0);
        bare_us.push_back(t2 - t1);
    }
    vl_device_close(device);
    const double lib = median(library_us);
    const double raw_median = median(bare_us);
    const double lib_mean = mean(library_us);
    const double raw_mean = mean(bare_us);
    std::printf("bench: %zu trigger-status requests per path on board %s\n", requests,
                serial.c_str());
    std::printf("bench:   through Velnor.dll (vl_device_get_trigger_status): median %7.1f us, "
                "mean %7.1f us\n",
                lib, lib_mean);
    std::printf("bench:   bare DeviceIoControl (0x22202C):                  median %7.1f us, "
                "mean %7.1f us\n",
                raw_median, raw_mean);
    std::printf("bench:   library/bare: median ratio %.3f (%+.1f us), mean ratio %.3f\n",
                lib / raw_median, lib - raw_median, lib_mean / raw_mean);
    return 0;
}

} // namespace e2e
