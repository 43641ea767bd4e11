// The options that steer the virtual platform (--boards, --sim-board,
// --sim-fault, --sim-pace, --sim-replay), shared by velnorctl and
// velnor-panel. A build for real boards only recognises --sim-replay, to
// say where it is.
#pragma once

#include <CLI/CLI.hpp>

#include <chrono>
#include <string>
#include <vector>

namespace velnorctl {

class virtual_options_t {
public:
    // Adds the options to the program's command line.
    void add_to(CLI::App& app);

    // After parsing: sets up the virtual boards, faults and trace asked
    // for. Throws tool_error_t as the platform refuses them.
    void apply() const;

    // The pause after each request of a firmware update (--sim-pace).
    std::chrono::milliseconds update_pace() const { return std::chrono::milliseconds(pace_ms_); }

private:
    int boards_ = 1;
    CLI::Option* boards_option_ = nullptr;
    std::vector<std::string> sim_boards_;
    std::vector<std::string> faults_;
    int pace_ms_ = 0;
    std::string replay_file_;
    CLI::Option* replay_option_ = nullptr;
};

} // namespace velnorctl
