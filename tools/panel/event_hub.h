// The panel's events, in the order they happened, for every open event
// stream (GET /api/events): boards arriving and leaving, values changed
// through the panel, the progress and end of firmware updates. The last few
// hundred are kept, so that a stream that reconnects with Last-Event-ID
// misses none of them.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

namespace velnor_panel {

struct panel_event_t {
    uint64_t id = 0;  // 1, 2, 3, ... in the order published
    std::string type; // "arrived", "removed", "board", "update"
    std::string data; // one JSON document on one line
};

class event_hub_t {
public:
    void publish(std::string type, std::string data);

    // The events after the one with id after, waiting up to wait for one to
    // come; none when the wait ran out or the hub closed.
    std::vector<panel_event_t> events_after(uint64_t after, std::chrono::milliseconds wait);

    // The id of the last event published (0 before the first).
    uint64_t last_id();

    // Wakes every waiting stream and makes them end: the panel is stopping.
    void close();
    bool closed();

    static constexpr size_t kept = 512;

private:
    std::mutex mutex_;
    std::condition_variable published_;
    std::deque<panel_event_t> events_;
    uint64_t last_id_ = 0;
    bool closed_ = false;
};

} // namespace velnor_panel
