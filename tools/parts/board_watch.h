// The boards' arrivals and removals as the main thread takes them: the watch
// of velnor_watch calls back on a thread of its own, and its callback only
// queues the event with the moment it was heard; the main thread waits on
// the queue, and alone prints.
#pragma once

#include "watch_library.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace velnorctl {

struct board_event_t {
    vl_watch_event kind = VL_WATCH_ARRIVED;
    std::string path; // the board's interface path, UTF-8
    std::chrono::system_clock::time_point heard;
};

// Events handed from the watch's thread to the main thread, in order.
class board_event_queue_t {
public:
    void push(board_event_t event);

    // The oldest event, waiting for one until the moment given; nothing when
    // none came by then.
    std::optional<board_event_t> pop_until(std::chrono::steady_clock::time_point until);

private:
    std::mutex mutex_;
    std::condition_variable arrived_;
    std::deque<board_event_t> events_;
};

struct stop_watch_t {
    void operator()(vl_watch* watch) const noexcept { watch_calls().stop(watch); }
};
using watch_handle_t = std::unique_ptr<vl_watch, stop_watch_t>;

// Starts a watch whose events go into queue (the boards present first when
// present is set). Throws library_failure_t when vl_watch_start fails. The
// queue must outlive the watch: stopping it waits for a running callback.
watch_handle_t start_board_watch(bool present, board_event_queue_t& queue);

} // namespace velnorctl
