// Loaded into a velnorctl run (LD_PRELOAD) to make its virtual boards come
// and go while it watches, from a thread of its own: once the watch has
// registered with the platform, a board with the serial LAB-0007 arrives;
// once the tool has opened and closed a board (it read that serial), board
// 0 leaves, then the new board.
#include <velnor_sim.h>

#include <chrono>
#include <cstring>
#include <thread>

namespace {

// Waits until done() holds, for at most ten seconds.
template <typename condition_t> bool wait_until(condition_t done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > give_up) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void change_boards() {
    if (!wait_until([] { return vlsim_listener_count() > 0; })) {
        return;
    }
    vlsim_board_config config{};
    vlsim_default_board_config(&config);
    std::memset(config.serial, 0, sizeof config.serial);
    std::memcpy(config.serial, "LAB-0007", 8);
    const uint64_t closed = vlsim_call_count(VLSIM_CALL_CLOSE_HANDLE);
    const int added = vlsim_add_board(&config);
    if (!wait_until([&] { return vlsim_call_count(VLSIM_CALL_CLOSE_HANDLE) > closed; })) {
        return;
    }
    vlsim_remove_board(0);
    vlsim_remove_board(added);
}

const struct changer_t {
    changer_t() { std::thread(change_boards).detach(); }
} changer;

} // namespace
