// What the panel's API adds to a board's state: GET /api/boards/{serial}
// from a client on the loopback against the same reading done in the
// process (the serial found among the boards, then the seven reads the state
// needs), in one run. The panel serves from a thread of this process, so
// both sides reach the same virtual boards.
#include <velnor_sim.h>

#include "board_api.h"
#include "panel_server.h"
#include "platform.h"

#include <benchmark/benchmark.h>
#include <httplib.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr const char* serial = "VLN-SIM-0000";

void library_state(benchmark::State& state) {
    vlsim_reset();
    vlsim_add_board(nullptr);
    for (auto _ : state) {
        const velnorctl::board_handle_t board = velnor_panel::open_by_serial(serial);
        benchmark::DoNotOptimize(velnor_panel::board_state(board.get(), serial));
    }
}
BENCHMARK(library_state)->Name("panel/in_process(board_state)")->UseRealTime();

void api_state(benchmark::State& state) {
    vlsim_reset();
    vlsim_add_board(nullptr);
    velnor_panel::panel_settings_t settings;
    settings.token = "bench-token";
    velnor_panel::panel_server_t server(settings);
    const int port = server.bind();
    std::thread serving([&] { server.serve(); });
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true); // as browsers do
    const httplib::Headers headers = {{"Authorization", "Bearer bench-token"}};
    const std::string path = std::string("/api/boards/") + serial;
    for (auto _ : state) {
        const httplib::Result answer = client.Get(path.c_str(), headers);
        if (!answer || answer->status != 200) {
            state.SkipWithError("the panel did not answer 200");
            break;
        }
        benchmark::DoNotOptimize(answer->body);
    }
    client.stop();
    server.stop("the benchmark ended");
    serving.join();
}
BENCHMARK(api_state)->Name("panel/http(GET /api/boards/{serial})")->UseRealTime();

} // namespace

// The tools' parts give the process its entry; like every program on them,
// this one defines run_tool.
int velnorctl::run_tool(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    int argc = static_cast<int>(argv.size());
    benchmark::Initialize(&argc, argv.data());
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
