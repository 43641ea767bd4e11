#include "board_fixture.h"

#include <cstring>
#include <stdexcept>

namespace e2e {

std::string library_serial(vl_device* device) {
    char buffer[33] = {};
    if (vl_device_get_serial(device, buffer, 32) != VL_RC_SUCCESS) {
        throw std::runtime_error("vl_device_get_serial failed");
    }
    return std::string(buffer, strnlen(buffer, 32));
}

void BoardTest::SetUp() {
    for (const std::wstring& path : board_interface_paths()) {
        boards.push_back(std::make_unique<board_control>(path));
        boards.back()->reset();
    }
    ASSERT_EQ(vl_device_open(0, &device), VL_RC_SUCCESS);
    board_ = &board_with_serial(library_serial(device));
    board_->reset();
}

void BoardTest::TearDown() {
    if (device != nullptr) {
        EXPECT_EQ(vl_device_close(device), VL_RC_SUCCESS);
    }
    for (const auto& b : boards) {
        b->reset();
    }
}

const board_control& BoardTest::board_with_serial(const std::string& serial) const {
    for (const auto& b : boards) {
        if (b->serial() == serial) {
            return *b;
        }
    }
    throw std::runtime_error("no board with serial " + serial);
}

} // namespace e2e
