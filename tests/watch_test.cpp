// The watcher on the virtual platform: what a watch reports around its
// start, while boards come and go, when the platform refuses it, and how it
// stops (from another thread and from its own callback).
#include "support/test_env.h"

#include <velnor.h>
#include <velnor_sim.h>
#include <velnor_watch.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cwchar>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using namespace std::chrono_literals;

std::string path_of(int id) {
    char text[80];
    std::snprintf(text, sizeof text,
                  "\\\\?\\ROOT#VELNOR#%04d#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}", id);
    return text;
}

std::string arrived(int id) {
    return "+" + path_of(id);
}

std::string removed(int id) {
    return "-" + path_of(id);
}

// Every event of one watch, as "+path" or "-path".
class recorder_t {
public:
    static void callback(void* context, vl_watch_event event, const char* path) {
        auto* self = static_cast<recorder_t*>(context);
        std::function<void()> hook;
        {
            std::lock_guard<std::mutex> lock(self->mutex_);
            self->events_.push_back((event == VL_WATCH_ARRIVED   ? "+"
                                     : event == VL_WATCH_REMOVED ? "-"
                                                                 : "?") +
                                    std::string(path));
            hook = self->on_event;
        }
        self->changed_.notify_all();
        if (hook) {
            hook();
        }
    }

    // The events once there are n of them (or what came within 5 s).
    std::vector<std::string> wait_for(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 5s, [&] { return events_.size() >= n; });
        return events_;
    }

    std::vector<std::string> events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }

    std::function<void()> on_event; // set before the watch starts

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

class Watch : public testing::Test {
protected:
    void SetUp() override {
        vlsim_reset();
        velnor_test::reset_log();
    }
    void TearDown() override { vlsim_reset(); }
};

struct StartCase {
    const char* name;
    uint32_t flags;
    int boards_before;                 // present at the start
    std::function<void()> after_start; // changes made once the watch runs
    std::vector<std::string> expected; // the watch's whole sequence
};

TEST_F(Watch, ReportsWhatTheBoardsDidInOrderAndPresentBoardsOnlyWhenAsked) {
    const std::vector<StartCase> cases = {
        {"present boards come first",
         VL_WATCH_PRESENT,
         2,
         [] { vlsim_add_board(nullptr); },
         {arrived(0), arrived(1), arrived(2)}},
        {"without the flag only changes", 0, 2, [] { vlsim_add_board(nullptr); }, {arrived(2)}},
        {"removal of a board present at the start",
         0,
         2,
         [] { vlsim_remove_board(0); },
         {removed(0)}},
        {"arrive, leave, the same id never again",
         VL_WATCH_PRESENT,
         1,
         [] {
             vlsim_remove_board(0);
             vlsim_add_board(nullptr);
             vlsim_remove_board(1);
         },
         {arrived(0), removed(0), arrived(1), removed(1)}},
        {"reset removes every board",
         VL_WATCH_PRESENT,
         2,
         [] {
             vlsim_remove_board(0);
             vlsim_reset();
             vlsim_add_board(nullptr);
         },
         {arrived(0), arrived(1), removed(0), removed(1), arrived(0)}},
        {"no board, no event", VL_WATCH_PRESENT, 0, [] {}, {}},
    };
    for (const StartCase& c : cases) {
        SCOPED_TRACE(c.name);
        vlsim_reset();
        for (int i = 0; i < c.boards_before; ++i) {
            vlsim_add_board(nullptr);
        }
        recorder_t recorder;
        vl_watch* watch = nullptr;
        ASSERT_EQ(vl_watch_start(c.flags, &recorder_t::callback, &recorder, &watch), VL_RC_SUCCESS);
        c.after_start();
        // One more board after the case's changes: once its arrival is in,
        // every earlier event has been delivered.
        const int last = vlsim_add_board(nullptr);
        std::vector<std::string> expected = c.expected;
        expected.push_back(arrived(last));
        EXPECT_EQ(recorder.wait_for(expected.size()), expected);
        EXPECT_EQ(vl_watch_stop(watch), VL_RC_SUCCESS);
        EXPECT_EQ(recorder.events(), expected);
    }
    EXPECT_EQ(vlsim_listener_count(), 0u);
}

TEST_F(Watch, TraceBoardsArriveAndLeaveWithTheReplay) {
    vlsim_add_board(nullptr);
    recorder_t recorder;
    vl_watch* watch = nullptr;
    ASSERT_EQ(vl_watch_start(VL_WATCH_PRESENT, &recorder_t::callback, &recorder, &watch),
              VL_RC_SUCCESS);
    ASSERT_EQ(vlsim_load_trace(VELNOR_TEST_TRACE), 0) << vlsim_trace_divergence();
    // The boards present leave, the trace's arrive, and the replay's end removes them.
    std::vector<std::string> expected = {arrived(0), removed(0)};
    std::vector<std::string> trace_paths;
    ASSERT_GT(vlsim_board_count(), 0u);
    for (int id = 0; id < static_cast<int>(vlsim_board_count()); ++id) {
        wchar_t path[300];
        ASSERT_GT(vlsim_board_path(id, path, 300), 0);
        trace_paths.emplace_back(path, path + std::wcslen(path));
        expected.push_back("+" + trace_paths.back());
    }
    vlsim_reset();
    for (const std::string& path : trace_paths) {
        expected.push_back("-" + path);
    }
    EXPECT_EQ(recorder.wait_for(expected.size()), expected);
    EXPECT_EQ(vl_watch_stop(watch), VL_RC_SUCCESS);
}

TEST_F(Watch, RefusedStartsReturnTheirCodeAndLogOneLineEachKeepingTheLibrarysLines) {
    // A line of the library first: the watcher adds to the log, never empties it.
    ASSERT_EQ(vl_get_device_count(nullptr), VL_RC_NULL_PARAMETER);
    recorder_t recorder;
    vl_watch* watch = nullptr;
    EXPECT_EQ(vl_watch_start(0, nullptr, &recorder, &watch), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_watch_start(0, &recorder_t::callback, &recorder, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_watch_stop(nullptr), VL_RC_NULL_PARAMETER);
    vlsim_fail_next_listen(8);
    EXPECT_EQ(vl_watch_start(VL_WATCH_PRESENT, &recorder_t::callback, &recorder, &watch),
              VL_RC_FAILED);
    EXPECT_EQ(watch, nullptr);
    EXPECT_EQ(vlsim_listener_count(), 0u);

    const std::vector<std::string> suffixes = {
        "[vl_get_device_count] Error: Velnor:-4, Count is null: null_parameter",
        "[vl_watch_start] Error: Velnor:-4, callback is null: null_parameter",
        "[vl_watch_start] Error: Velnor:-4, watch is null: null_parameter",
        "[vl_watch_stop] Error: Velnor:-4, watch is null: null_parameter",
        "[vl_watch_start] Error: system:8, RegisterDeviceNotificationW failed: Not enough memory "
        "resources are available to process this command.",
    };
    const std::vector<std::string> lines = velnor_test::read_log_lines();
    ASSERT_EQ(lines.size(), suffixes.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_NE(lines[i].find("[Velnor] [error] "), std::string::npos) << lines[i];
        EXPECT_EQ(lines[i].substr(lines[i].size() - std::min(lines[i].size(), suffixes[i].size())),
                  suffixes[i]);
    }
    // The platform is unharmed: the next start runs.
    ASSERT_EQ(vl_watch_start(0, &recorder_t::callback, &recorder, &watch), VL_RC_SUCCESS);
    EXPECT_EQ(vl_watch_stop(watch), VL_RC_SUCCESS);
}

TEST_F(Watch, StopFromAnotherThreadWaitsForTheRunningCallbackAndNoneFollows) {
    recorder_t recorder;
    std::atomic<bool> in_callback{false};
    std::atomic<bool> callback_done{false};
    recorder.on_event = [&] {
        in_callback = true;
        std::this_thread::sleep_for(200ms);
        callback_done = true;
    };
    vl_watch* watch = nullptr;
    ASSERT_EQ(vl_watch_start(0, &recorder_t::callback, &recorder, &watch), VL_RC_SUCCESS);
    vlsim_add_board(nullptr);
    vlsim_add_board(nullptr);
    while (!in_callback) {
        std::this_thread::yield();
    }
    EXPECT_EQ(vl_watch_stop(watch), VL_RC_SUCCESS);
    EXPECT_TRUE(callback_done);
    // The second arrival was still queued: dropped, not delivered after the stop.
    vlsim_add_board(nullptr);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder.events(), std::vector<std::string>{arrived(0)});
}

TEST_F(Watch, StopFromItsOwnCallbackReturnsAtOnceAndEndsTheWatch) {
    recorder_t recorder;
    vl_watch* watch = nullptr;
    std::atomic<int32_t> stop_result{1};
    std::atomic<bool> stop_returned{false};
    recorder.on_event = [&] {
        if (!stop_returned) {
            stop_result = vl_watch_stop(watch);
            stop_returned = true;
        }
    };
    ASSERT_EQ(vl_watch_start(VL_WATCH_PRESENT, &recorder_t::callback, &recorder, &watch),
              VL_RC_SUCCESS);
    vlsim_add_board(nullptr);
    vlsim_add_board(nullptr);
    for (int i = 0; i < 500 && !stop_returned; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_TRUE(stop_returned) << "vl_watch_stop inside its callback did not return";
    EXPECT_EQ(stop_result, VL_RC_SUCCESS);
    // The listener is gone at once; the thread frees the watch on its way out.
    EXPECT_EQ(vlsim_listener_count(), 0u);
    vlsim_add_board(nullptr);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(recorder.events(), std::vector<std::string>{arrived(0)});
}

} // namespace
