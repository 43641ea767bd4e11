// A fixture for tests of the library on the virtual platform: no board, no
// fault switch, no request recorded, no logger, no log file.
#pragma once

#include "support/log_file.h"
#include "support/test_env.h"
#include "support/virtual_boards.h"

#include <velnor.h>
#include <velnor_sim.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace velnor_test {

class LibraryTest : public testing::Test {
protected:
    void SetUp() override {
        reset_boards(0);
        reset_log();
    }
    void TearDown() override {
        for (vl_device* device : opened_) {
            vl_device_close(device);
        }
        vlsim_reset();
    }

    // Adds a board with the given serial (empty: the default one).
    int add_board(const std::string& serial = "") {
        vlsim_board_config config;
        vlsim_default_board_config(&config);
        if (!serial.empty()) {
            std::memset(config.serial, 0, sizeof config.serial);
            std::memcpy(config.serial, serial.data(), std::min<std::size_t>(serial.size(), 32));
        }
        return vlsim_add_board(&config);
    }

    // Opens the board at index, closed again in TearDown.
    vl_device* open(std::size_t index = 0) {
        vl_device* device = nullptr;
        EXPECT_EQ(vl_device_open(index, &device), VL_RC_SUCCESS);
        if (device != nullptr) {
            opened_.push_back(device);
        }
        return device;
    }

    // Closes a board opened with open() before TearDown does.
    void close(vl_device* device) {
        ASSERT_EQ(vl_device_close(device), VL_RC_SUCCESS);
        opened_.erase(std::remove(opened_.begin(), opened_.end(), device), opened_.end());
    }

    static vlsim_request_record last_request() {
        vlsim_request_record record{};
        EXPECT_EQ(vlsim_last_request(&record), 0);
        return record;
    }

    // The single line in the log; fails the test when there is not exactly one.
    static std::string only_log_line() {
        const std::vector<std::string> lines = read_log_lines();
        EXPECT_EQ(lines.size(), 1u);
        return lines.empty() ? std::string() : lines.back();
    }

    // The text of the last log line after the logger's own prefix.
    static std::string last_log_message() {
        const std::vector<std::string> lines = read_log_lines();
        if (lines.empty()) {
            return {};
        }
        return text_after(lines.back(), "[error] ");
    }

private:
    std::vector<vl_device*> opened_;
};

// The same, with one default board present and open as `device`, and the
// request log emptied.
class OpenBoardTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        add_board();
        device = open();
        vlsim_clear_requests();
    }
    vl_device* device = nullptr;
};

} // namespace velnor_test
