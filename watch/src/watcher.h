// A watch: what the system reports (through the board source) queued in
// order, made consistent, and handed to the application's callback on the
// watch's own thread.
#pragma once

#include "board_source.h"

#include <velnor_watch.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>

// The handle vl_watch_start hands out.
struct vl_watch final : velnor::watch::change_sink_t {
    vl_watch(std::uint32_t flags, vl_watch_callback callback, void* context);
    ~vl_watch();
    vl_watch(const vl_watch&) = delete;
    vl_watch& operator=(const vl_watch&) = delete;

    // Registers with the system and starts the watch's thread. Throws what
    // the source throws, or std::system_error when the thread cannot start.
    void start();

    // Ends the watch (see vl_watch_stop). From another thread: stops the
    // source, waits for the running callback, and frees the watch. From the
    // watch's own thread: stops the source and leaves the freeing to the
    // thread, after the running callback.
    static void stop(std::unique_ptr<vl_watch> watch) noexcept;

    void board_changed(velnor::watch::board_change_t change,
                       const std::string& path) noexcept override;

private:
    struct event_t {
        vl_watch_event kind;
        std::string path;
    };

    void run();

    const bool report_present_;
    const vl_watch_callback callback_;
    void* const context_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<event_t> queue_;
    // The paths this watch holds as present: an arrival of one of them, or
    // a removal of any other, is a repeat of what the watch already said
    // (a board listed at the start and notified again) and is not reported.
    std::set<std::string> present_;
    bool stopping_ = false;
    // Set when the watch was stopped from its own callback: the thread
    // frees the watch when it ends.
    std::unique_ptr<vl_watch> self_;

    std::unique_ptr<velnor::watch::board_source_t> source_;
    std::thread thread_;
};
