// Boards coming and going from 8 threads while watches start and stop on 4
// more: every watch's sequence stays consistent, no callback comes after its
// vl_watch_stop returned, and a watch that runs through the storm ends
// holding exactly the boards present.
#include <velnor_sim.h>
#include <velnor_watch.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// One watch's view: the paths it holds as present, and every broken rule.
// Without VL_WATCH_PRESENT a board present at the start may be reported
// removed without an arrival, but only once.
struct view_t {
    explicit view_t(uint32_t watch_flags = VL_WATCH_PRESENT) : flags(watch_flags) {}
    const uint32_t flags;
    std::mutex mutex;
    std::set<std::string> present;
    std::set<std::string> gone_unseen;
    std::vector<std::string> faults;
    std::atomic<bool> stopped{false};

    static void callback(void* context, vl_watch_event event, const char* path) {
        auto* view = static_cast<view_t*>(context);
        std::lock_guard<std::mutex> lock(view->mutex);
        if (view->stopped) {
            view->faults.push_back(std::string("callback after the stop returned: ") + path);
        }
        if (event == VL_WATCH_ARRIVED && !view->present.insert(path).second) {
            view->faults.push_back(std::string("second arrival: ") + path);
        }
        if (event == VL_WATCH_REMOVED && view->present.erase(path) != 1 &&
            ((view->flags & VL_WATCH_PRESENT) != 0 || !view->gone_unseen.insert(path).second)) {
            view->faults.push_back(std::string("removal without arrival: ") + path);
        }
    }

    std::set<std::string> held() {
        std::lock_guard<std::mutex> lock(mutex);
        return present;
    }
};

// The platform's boards now, as the watcher spells their paths.
std::set<std::string> platform_paths(int ids) {
    std::set<std::string> paths;
    for (int id = 0; id < ids; ++id) {
        wchar_t path[300];
        if (vlsim_board_path(id, path, 300) > 0) {
            paths.emplace(path, path + std::char_traits<wchar_t>::length(path));
        }
    }
    return paths;
}

TEST(WatchStorm, EveryWatchStaysConsistentAndNoCallbackFollowsItsStop) {
    vlsim_reset();
    for (int i = 0; i < 4; ++i) {
        vlsim_add_board(nullptr);
    }
    view_t through;
    vl_watch* through_watch = nullptr;
    ASSERT_EQ(vl_watch_start(VL_WATCH_PRESENT, &view_t::callback, &through, &through_watch),
              VL_RC_SUCCESS);

    constexpr int changers = 8;
    constexpr int rounds = 150;
    std::atomic<int> changers_done{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < changers; ++t) {
        threads.emplace_back([t, &changers_done] {
            std::mt19937 random(static_cast<unsigned>(t));
            for (int r = 0; r < rounds; ++r) {
                const int id = vlsim_add_board(nullptr);
                if (random() % 4 != 0) {
                    vlsim_remove_board(id);
                }
            }
            ++changers_done;
        });
    }
    std::vector<std::string> faults;
    std::mutex faults_mutex;
    for (int w = 0; w < 4; ++w) {
        threads.emplace_back([w, &faults, &faults_mutex, &changers_done] {
            std::mt19937 random(static_cast<unsigned>(100 + w));
            while (changers_done < changers) {
                view_t view(random() % 2 == 0 ? VL_WATCH_PRESENT : 0);
                vl_watch* watch = nullptr;
                if (vl_watch_start(view.flags, &view_t::callback, &view, &watch) != VL_RC_SUCCESS) {
                    std::lock_guard<std::mutex> lock(faults_mutex);
                    faults.push_back("a start failed");
                    return;
                }
                std::this_thread::sleep_for(std::chrono::microseconds(random() % 2000));
                if (vl_watch_stop(watch) != VL_RC_SUCCESS) {
                    std::lock_guard<std::mutex> lock(faults_mutex);
                    faults.push_back("a stop failed");
                }
                view.stopped = true;
                std::this_thread::sleep_for(1ms);
                std::lock_guard<std::mutex> lock(view.mutex);
                std::lock_guard<std::mutex> all(faults_mutex);
                faults.insert(faults.end(), view.faults.begin(), view.faults.end());
            }
        });
    }
    // A watch started in the middle of the storm, with the boards present.
    std::this_thread::sleep_for(5ms);
    view_t middle;
    vl_watch* middle_watch = nullptr;
    ASSERT_EQ(vl_watch_start(VL_WATCH_PRESENT, &view_t::callback, &middle, &middle_watch),
              VL_RC_SUCCESS);
    for (std::thread& thread : threads) {
        thread.join();
    }

    const std::set<std::string> expected = platform_paths(4 + changers * rounds);
    EXPECT_GT(expected.size(), 4u);
    for (view_t* view : {&through, &middle}) {
        for (int i = 0; i < 500 && view->held() != expected; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(view->held(), expected);
    }
    EXPECT_EQ(vl_watch_stop(through_watch), VL_RC_SUCCESS);
    EXPECT_EQ(vl_watch_stop(middle_watch), VL_RC_SUCCESS);
    faults.insert(faults.end(), through.faults.begin(), through.faults.end());
    faults.insert(faults.end(), middle.faults.begin(), middle.faults.end());
    EXPECT_EQ(faults, std::vector<std::string>{});
    EXPECT_EQ(vlsim_listener_count(), 0u);
    vlsim_reset();
}

} // namespace
