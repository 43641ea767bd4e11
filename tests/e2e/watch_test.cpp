// Boards unplugged and plugged in again: the driver disables and enables the
// board's interface, and the product VelnorWatch.dll hears it from the
// system's notifications, with the paths of the board list; a handle opened
// before the unplug fails with the system's text, and the board opens again
// once it is back.
#include "board_fixture.h"
#include "e2e_modes.h"
#include "velnor_log.h"

#include <velnor_watch.h>

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace e2e {
namespace {

using clock_type = std::chrono::steady_clock;
using namespace std::chrono_literals;

std::string utf8(const std::wstring& text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()),
                                         nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

// The system's words for an error value (Windows: "The device has been
// removed."; Wine: "Device removed."), without the line break.
std::string system_text(DWORD error) {
    char text[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, text, sizeof text, nullptr);
    while (length > 0 && (text[length - 1] == '\n' || text[length - 1] == '\r')) {
        --length;
    }
    return std::string(text, length);
}

// Every event of a watch as "+path" or "-path", with the time it came.
class heard_t {
public:
    static void callback(void* context, vl_watch_event event, const char* path) {
        auto* self = static_cast<heard_t*>(context);
        const clock_type::time_point now = clock_type::now();
        std::lock_guard<std::mutex> lock(self->mutex_);
        self->events_.push_back((event == VL_WATCH_ARRIVED ? "+" : "-") + std::string(path));
        self->times_.push_back(now);
        self->changed_.notify_all();
    }

    // The events once there are n (or what came within 5 s).
    std::vector<std::string> wait_for(std::size_t n) {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait_for(lock, 5s, [&] { return events_.size() >= n; });
        return events_;
    }

    clock_type::time_point time_of(std::size_t i) {
        std::lock_guard<std::mutex> lock(mutex_);
        return times_.at(i);
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
    std::vector<clock_type::time_point> times_;
};

std::size_t index_of(const std::wstring& path) {
    const std::vector<std::wstring> paths = board_interface_paths();
    return static_cast<std::size_t>(std::find(paths.begin(), paths.end(), path) - paths.begin());
}

// Plugs the board in again however the test ends.
struct replug_t {
    const board_control& board;
    ~replug_t() { board.plug(); }
};

class BoardsComeAndGo : public BoardTest {};

TEST_F(BoardsComeAndGo, BoardUnpluggedAsTheWatchStartsIsHeard) {
    // Under Wine the process's first registration takes effect a little
    // after the start returns (so this test comes first); the watch's second
    // look at the list still reports the change.
    heard_t heard;
    vl_watch* watch = nullptr;
    ASSERT_EQ(vl_watch_start(0, &heard_t::callback, &heard, &watch), VL_RC_SUCCESS);
    const replug_t replug{board()};
    board().unplug();
    const std::string path = utf8(board().path());
    EXPECT_EQ(heard.wait_for(1), std::vector<std::string>{"-" + path});
    board().plug();
    EXPECT_EQ(heard.wait_for(2), (std::vector<std::string>{"-" + path, "+" + path}));
    EXPECT_EQ(vl_watch_stop(watch), VL_RC_SUCCESS);
}

TEST_F(BoardsComeAndGo, WatchHearsUnplugAndPlugAndTheOldHandleFailsWithTheSystemsText) {
    heard_t heard;
    vl_watch* watch = nullptr;
    ASSERT_EQ(vl_watch_start(VL_WATCH_PRESENT, &heard_t::callback, &heard, &watch), VL_RC_SUCCESS)
        << read_log();
    std::vector<std::string> expected;
    for (const std::wstring& path : board_interface_paths()) {
        expected.push_back("+" + utf8(path));
    }
    ASSERT_EQ(expected.size(), 2u);
    EXPECT_EQ(heard.wait_for(2), expected);

    const std::string path = utf8(board().path());
    const replug_t replug{board()};
    const clock_type::time_point unplugged = clock_type::now();
    board().unplug();
    expected.push_back("-" + path);
    ASSERT_EQ(heard.wait_for(3), expected);
    EXPECT_LT(heard.time_of(2) - unplugged, 100ms);

    std::size_t count = 0;
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 1u);
    char serial[33] = {};
    EXPECT_EQ(vl_device_get_serial(device, serial, sizeof serial), VL_RC_FAILED);
    EXPECT_EQ(last_log_message(),
              "[vl_device_get_serial] Error: system:1617, DeviceIoControl failed: " +
                  system_text(ERROR_DEVICE_REMOVED));

    const clock_type::time_point plugged = clock_type::now();
    board().plug();
    expected.push_back("+" + path);
    ASSERT_EQ(heard.wait_for(4), expected);
    EXPECT_LT(heard.time_of(3) - plugged, 100ms);
    EXPECT_EQ(vl_watch_stop(watch), VL_RC_SUCCESS);

    // The board opens again at its place in the list.
    vl_device* again = nullptr;
    ASSERT_EQ(vl_device_open(index_of(board().path()), &again), VL_RC_SUCCESS);
    EXPECT_EQ(library_serial(again), board().serial());
    EXPECT_EQ(vl_device_close(again), VL_RC_SUCCESS);
}

} // namespace

int run_watch_bench(std::size_t events) {
    const std::vector<std::wstring> paths = board_interface_paths();
    if (paths.empty()) {
        std::printf("bench: watch: no board\n");
        return 1;
    }
    const board_control board(paths.back());
    heard_t heard;
    vl_watch* watch = nullptr;
    if (vl_watch_start(0, &heard_t::callback, &heard, &watch) != VL_RC_SUCCESS) {
        std::printf("bench: watch: vl_watch_start failed\n");
        return 1;
    }
    // Past the watch's second look at the board list, so that every change
    // timed is one the system notified (Wine takes a registration into
    // effect a little after it returns).
    Sleep(1000);
    std::vector<double> samples;
    for (std::size_t i = 0; i < events; ++i) {
        const clock_type::time_point start = clock_type::now();
        if (i % 2 == 0) {
            board.unplug();
        } else {
            board.plug();
        }
        if (heard.wait_for(i + 1).size() != i + 1) {
            std::printf("bench: watch: event %zu did not come within 5 s\n", i + 1);
            board.plug();
            vl_watch_stop(watch);
            return 1;
        }
        samples.push_back(
            std::chrono::duration<double, std::micro>(heard.time_of(i) - start).count());
    }
    board.plug();
    vl_watch_stop(watch);
    std::sort(samples.begin(), samples.end());
    const auto at = [&](double q) {
        return samples[std::min(samples.size() - 1, static_cast<std::size_t>(q * samples.size()))];
    };
    std::printf("bench: watch: interface change to callback over %zu events: median %.0f us, "
                "99th percentile %.0f us, max %.0f us\n",
                events, at(0.5), at(0.99), samples.back());
    return 0;
}

} // namespace e2e
