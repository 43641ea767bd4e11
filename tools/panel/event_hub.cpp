#include "event_hub.h"

namespace velnor_panel {

void event_hub_t::publish(std::string type, std::string data) {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back({++last_id_, std::move(type), std::move(data)});
        if (events_.size() > kept) {
            events_.pop_front();
        }
    }
    published_.notify_all();
}

std::vector<panel_event_t> event_hub_t::events_after(uint64_t after,
                                                     std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    published_.wait_for(lock, wait, [&] { return closed_ || last_id_ > after; });
    std::vector<panel_event_t> found;
    if (closed_) {
        return found;
    }
    for (const panel_event_t& event : events_) {
        if (event.id > after) {
            found.push_back(event);
        }
    }
    return found;
}

uint64_t event_hub_t::last_id() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return last_id_;
}

void event_hub_t::close() {
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    published_.notify_all();
}

bool event_hub_t::closed() {
    const std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

} // namespace velnor_panel
