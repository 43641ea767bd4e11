// Firmware updates the panel runs, one thread each, at most one per board.
// Once an image has been received whole, its update no longer depends on
// the page: closing the tab, reloading it or losing the network leaves it
// running to its end. Only the panel stopping (Ctrl-C, SIGTERM) cuts it
// short, after the request in flight, and then the board's update is reset:
// the board is never left half written.
#pragma once

#include "board_api.h"
#include "event_hub.h"
#include "firmware_image.h"
#include "firmware_update.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace velnor_panel {

class update_jobs_t {
public:
    update_jobs_t(event_hub_t& events, velnorctl::update_options_t options);
    ~update_jobs_t();
    update_jobs_t(const update_jobs_t&) = delete;
    update_jobs_t& operator=(const update_jobs_t&) = delete;

    // Starts the update of the board with this serial (open) from image and
    // returns its description. Throws api_error_t (409) when an update of
    // that serial is running, or (503) when the panel is stopping.
    json_t start(const std::string& serial, velnorctl::board_handle_t board,
                 std::vector<uint8_t> image, const velnorctl::image_info_t& info);

    // {"SERIAL": the last update event of each board updated in this run}.
    json_t summary();

    // Asks every running update to stop (reset) and waits for them all.
    // Returns the number that had to be stopped.
    size_t stop_all(const std::string& why);

private:
    struct job_t;
    class observer_t;
    void run(job_t& job);
    void publish(job_t& job, json_t event);

    event_hub_t& events_;
    velnorctl::update_options_t options_;
    std::mutex mutex_;
    std::map<std::string, std::unique_ptr<job_t>> jobs_; // by serial, the last one of each
    std::vector<std::thread> finished_threads_;
    std::atomic<bool> stopping_{false};
    std::string stop_reason_;
    uint64_t next_id_ = 1;
};

} // namespace velnor_panel
