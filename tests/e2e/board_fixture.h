// board_fixture.h - a test against the installed boards: every board is reset
// through the driver before and after the test, and `device` is a library
// handle on board index 0.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver_link.h"
#include "velnor.h"

namespace e2e {

class BoardTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The driver's view of the board behind `device`.
    const board_control& board() const { return *board_; }
    // The driver's view of the board with this library serial.
    const board_control& board_with_serial(const std::string& serial) const;

    vl_device* device = nullptr;
    std::vector<std::unique_ptr<board_control>> boards;

private:
    const board_control* board_ = nullptr;
};

// The serial the library reports for an open handle.
std::string library_serial(vl_device* device);

} // namespace e2e
