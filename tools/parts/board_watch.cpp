#include "board_watch.h"

#include "errors.h"

namespace velnorctl {

namespace {

// The watch's callback, on the watch's thread: queue and return at once.
extern "C" void on_board_event(void* context, vl_watch_event kind, const char* path) {
    if (kind != VL_WATCH_ARRIVED && kind != VL_WATCH_REMOVED) {
        return;
    }
    try {
        static_cast<board_event_queue_t*>(context)->push(
            {kind, path, std::chrono::system_clock::now()});
    } catch (...) {
        // Memory ran out: the event is lost, as the watch itself loses one
        // it cannot keep; no exception may go back into the library.
    }
}

} // namespace

void board_event_queue_t::push(board_event_t event) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(std::move(event));
    }
    arrived_.notify_one();
}

std::optional<board_event_t>
board_event_queue_t::pop_until(std::chrono::steady_clock::time_point until) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!arrived_.wait_until(lock, until, [this] { return !events_.empty(); })) {
        return std::nullopt;
    }
    board_event_t event = std::move(events_.front());
    events_.pop_front();
    return event;
}

watch_handle_t start_board_watch(bool present, board_event_queue_t& queue) {
    const watch_calls_t& calls = watch_calls();
    vl_watch* watch = nullptr;
    const uint64_t mark = log_mark();
    check("vl_watch_start",
          calls.start(present ? VL_WATCH_PRESENT : 0u, on_board_event, &queue, &watch), mark);
    return watch_handle_t(watch);
}

} // namespace velnorctl
