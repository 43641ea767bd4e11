// trace_session RESULTS: runs the end-to-end trace session on the boards of
// the virtual board driver and writes its results to RESULTS. Run beside the
// recording Velnor.dll, it leaves the session's trace in the temporary
// directory. The boards are powered on again first, through the driver's
// test-control request (not through Velnor.dll, so not in the trace).
#include "driver_link.h"
#include "trace_session.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <vector>

namespace {

constexpr std::uint32_t get_led_request = 7;
constexpr LONG status_device_not_ready = static_cast<LONG>(0xC00000A3);

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: trace_session RESULTS\n");
        return 2;
    }
    std::string results;
    try {
        std::vector<e2e::board_control> boards;
        for (const std::wstring& path : e2e::board_interface_paths()) {
            boards.emplace_back(path);
            boards.back().reset();
        }
        results = velnor_e2e::run_trace_session([&boards](bool fail) {
            for (const e2e::board_control& board : boards) {
                if (fail) {
                    board.fail_request(get_led_request, status_device_not_ready);
                } else {
                    board.clear_status(get_led_request);
                }
            }
        });
    } catch (const std::exception& error) {
        std::fprintf(stderr, "trace_session: the board driver: %s\n", error.what());
        return 1;
    }
    if (!velnor_e2e::write_results(argv[1], results)) {
        std::fprintf(stderr, "trace_session: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
