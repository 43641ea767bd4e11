// The panel's HTTP server: the page, the JSON API on the boards, the event
// stream, behind the request gate.
#pragma once

#include "board_serials.h"
#include "board_watch.h"
#include "event_hub.h"
#include "request_gate.h"
#include "update_jobs.h"

#include <httplib.h>

#include <atomic>
#include <string>
#include <thread>

namespace velnor_panel {

struct panel_settings_t {
    std::string host = "127.0.0.1"; // the address to listen on
    int port = 0;                   // 0: a free port the system chooses
    std::string token;
    velnorctl::update_options_t update;
};

class panel_server_t {
public:
    explicit panel_server_t(panel_settings_t settings);
    ~panel_server_t();
    panel_server_t(const panel_server_t&) = delete;
    panel_server_t& operator=(const panel_server_t&) = delete;

    // Binds the address and returns the port; throws tool_error_t (usage)
    // when the address cannot be bound.
    int bind();

    // The address to open in a browser: http://HOST:PORT/#token=TOKEN.
    std::string address() const;

    // Starts the watch of arrivals and removals and serves until stop().
    void serve();

    // Stops the updates (each board's update reset), the event streams and
    // the server; returns how many updates had to be stopped. Safe from
    // any thread.
    size_t stop(const std::string& why);

private:
    void add_routes();
    void watch_boards();

    panel_settings_t settings_;
    gate_t gate_;
    httplib::Server server_;
    event_hub_t events_;
    update_jobs_t updates_;
    std::atomic<int> streams_{0};
    std::atomic<bool> stopping_{false};
    std::thread watcher_;
};

} // namespace velnor_panel
