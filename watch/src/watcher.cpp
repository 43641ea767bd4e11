#include "watcher.h"

#include <utility>

#if defined(__GLIBCXX__) && !defined(_WIN32)
#include <cxxabi.h>
#endif

using velnor::watch::board_change_t;

vl_watch::vl_watch(std::uint32_t flags, vl_watch_callback callback, void* context)
    : report_present_((flags & VL_WATCH_PRESENT) != 0), callback_(callback), context_(context) {}

vl_watch::~vl_watch() = default;

void vl_watch::start() {
    // The source first: a refused registration leaves no thread behind.
    // Events it reports before the thread runs wait in the queue.
    source_ = velnor::watch::start_board_source(*this);
    try {
        thread_ = std::thread([this] { run(); });
    } catch (...) {
        source_.reset();
        throw;
    }
}

void vl_watch::board_changed(board_change_t change, const std::string& path) noexcept {
    try {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopping_) {
            return;
        }
        if (change == board_change_t::removed) {
            if (present_.erase(path) == 1) {
                queue_.push_back({VL_WATCH_REMOVED, path});
            }
        } else if (present_.insert(path).second &&
                   (change == board_change_t::arrived || report_present_)) {
            queue_.push_back({VL_WATCH_ARRIVED, path});
        }
    } catch (...) {
        // Memory ran out: the event cannot be kept. The set and the queue
        // are as they were before it, so what the watch reports stays
        // consistent.
        return;
    }
    wake_.notify_one();
}

void vl_watch::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) {
            break;
        }
        const event_t event = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        try {
            callback_(context_, event.kind, event.path.c_str());
#if defined(__GLIBCXX__) && !defined(_WIN32)
        } catch (abi::__forced_unwind&) {
            // The thread is being cancelled or ended by pthread_exit inside
            // the callback (an interpreter shutting down does that to threads
            // that call into it): the unwinding must go on, or the process
            // aborts.
            throw;
#endif
        } catch (...) {
            // A C++ callback that throws: the exception has nowhere to go
            // on this thread, and the watch goes on.
        }
        lock.lock();
    }
    // Stopped from its own callback: the watch is this thread's to free,
    // and nothing of it is touched after that.
    std::unique_ptr<vl_watch> self = std::move(self_);
    lock.unlock();
    self.reset();
}

void vl_watch::stop(std::unique_ptr<vl_watch> watch) noexcept {
    vl_watch& w = *watch;
    const bool from_own_thread = std::this_thread::get_id() == w.thread_.get_id();
    {
        std::lock_guard<std::mutex> lock(w.mutex_);
        w.stopping_ = true;
        w.queue_.clear();
    }
    // No sink call runs once the source is gone; one that ran meanwhile
    // found the watch stopping and kept nothing.
    w.source_.reset();
    if (from_own_thread) {
        w.thread_.detach();
        std::lock_guard<std::mutex> lock(w.mutex_);
        w.self_ = std::move(watch);
        return;
    }
    w.wake_.notify_one();
    w.thread_.join();
}
