// Loaded into a velnor-panel run (LD_PRELOAD) so that a test can make its
// virtual boards come and go: a thread of its own looks every few
// milliseconds in the folder VELNOR_PANEL_CHANGES names for a file
// "add-SERIAL" (a board with that serial arrives) or "remove-SERIAL" (the
// board that arrived with it leaves), acts on it and deletes the file.
#include <velnor_sim.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>

namespace {

namespace fs = std::filesystem;

void follow(const fs::path& folder) {
    std::map<std::string, int> added;
    for (;;) {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
            const std::string name = entry.path().filename().string();
            if (name.rfind("add-", 0) == 0) {
                vlsim_board_config config{};
                vlsim_default_board_config(&config);
                std::memset(config.serial, 0, sizeof config.serial);
                const std::string serial = name.substr(4, sizeof config.serial);
                std::memcpy(config.serial, serial.data(), serial.size());
                added[serial] = vlsim_add_board(&config);
            } else if (name.rfind("remove-", 0) == 0) {
                vlsim_remove_board(added[name.substr(7)]);
            } else {
                continue;
            }
            fs::remove(entry.path(), error);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

const struct follower_t {
    follower_t() {
        if (const char* folder = std::getenv("VELNOR_PANEL_CHANGES")) {
            std::thread(follow, fs::path(folder)).detach();
        }
    }
} follower;

} // namespace
