// The product VelnorWatch.dll on Windows' own notifications: a message-only
// window registered for the board interface class starts, lists the boards
// present and stops, several at once. It agrees with Velnor.dll: where the
// configuration manager lists the boards (the driver installed), each watch
// reports that many arrivals; where it cannot (Wine without the board
// driver), the start fails as the count does, with the same call logged.
#include "support/test_env.h"

#include <velnor.h>
#include <velnor_watch.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace {

void count_event(void* context, vl_watch_event, const char*) {
    ++*static_cast<std::atomic<int>*>(context);
}

TEST(WatchOnWindows, StartsWhereTheBoardsCanBeListedAndStops) {
    size_t boards = 0;
    const vl_rc counted = vl_get_device_count(&boards);
    std::atomic<int> events{0};
    vl_watch* watches[3] = {};
    if (counted != VL_RC_SUCCESS) {
        EXPECT_EQ(vl_watch_start(VL_WATCH_PRESENT, &count_event, &events, &watches[0]),
                  VL_RC_FAILED);
        EXPECT_EQ(watches[0], nullptr);
        const auto lines = velnor_test::read_log_lines();
        ASSERT_EQ(lines.size(), 2u);
        const std::string call = "Call to CM_Get_Device_Interface_List_Size( &list_length";
        EXPECT_NE(lines[0].find("[vl_get_device_count] Error: generic:"), std::string::npos);
        EXPECT_NE(lines[1].find("[vl_watch_start] Error: generic:"), std::string::npos);
        EXPECT_EQ(lines[0].substr(lines[0].find(call)), lines[1].substr(lines[1].find(call)));
        return;
    }
    for (vl_watch*& watch : watches) {
        ASSERT_EQ(vl_watch_start(VL_WATCH_PRESENT, &count_event, &events, &watch), VL_RC_SUCCESS)
            << velnor_test::read_log_bytes();
    }
    for (int i = 0; i < 100 && events < static_cast<int>(3 * boards); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    for (vl_watch* watch : watches) {
        EXPECT_EQ(vl_watch_stop(watch), VL_RC_SUCCESS);
    }
    EXPECT_EQ(events, static_cast<int>(3 * boards));
}

} // namespace
