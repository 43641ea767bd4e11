// Firmware updates through the five update exports against the driver.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "board_fixture.h"
#include "support/firmware_image.h"
#include "velnor.h"
#include "velnor_log.h"

namespace e2e {
namespace {

using velnor_test::make_image;
using velnor_test::patterned_payload;
using velnor_test::update_block;
using velnor_test::update_blocks;

enum : uint32_t { idle = 0, erasing = 1, ready = 2, done = 4, failed = 5 };

class Update : public BoardTest {
protected:
    // Starts an update and polls through the erase; returns the states seen.
    std::vector<uint32_t> start_and_wait_until_ready() {
        std::vector<uint32_t> states;
        EXPECT_EQ(vl_device_update_start_async(device), VL_RC_SUCCESS);
        uint32_t state = erasing;
        while (state != ready && states.size() < 10) {
            uint32_t received = 99;
            EXPECT_EQ(vl_device_update_get_status(device, &state, &received), VL_RC_SUCCESS);
            EXPECT_EQ(received, 0u);
            states.push_back(state);
        }
        return states;
    }

    void send_image(const std::vector<uint8_t>& image) {
        uint32_t expected_received = 0;
        for (const update_block& block : update_blocks(image)) {
            ASSERT_EQ(vl_device_update_write(device, block.data()), VL_RC_SUCCESS);
            uint32_t state = 0;
            uint32_t received = 0;
            ASSERT_EQ(vl_device_update_get_status(device, &state, &received), VL_RC_SUCCESS);
            uint32_t length = 0;
            std::memcpy(&length, block.data() + 4, sizeof length);
            expected_received += length;
            EXPECT_EQ(state, ready);
            EXPECT_EQ(received, expected_received);
        }
    }

    vl_version firmware() {
        vl_version version{};
        EXPECT_EQ(vl_device_get_firmware_version(device, &version), VL_RC_SUCCESS);
        return version;
    }

    void expect_status(uint32_t state, uint32_t received) {
        uint32_t s = 99;
        uint32_t r = 99;
        ASSERT_EQ(vl_device_update_get_status(device, &s, &r), VL_RC_SUCCESS);
        EXPECT_EQ(s, state);
        EXPECT_EQ(r, received);
    }
};

TEST_F(Update, BoardErasesForThreeStatusPollsBeforeAcceptingBlocks) {
    EXPECT_EQ(start_and_wait_until_ready(), (std::vector<uint32_t>{erasing, erasing, ready}));
}

TEST_F(Update, CompleteUpdateInstallsTheImagesFirmwareVersion) {
    const std::vector<uint8_t> image = make_image(2, 0, 7, "2.0.7-e2e", patterned_payload(5000));
    start_and_wait_until_ready();
    send_image(image);
    ASSERT_EQ(vl_device_update_complete(device), VL_RC_SUCCESS);
    expect_status(done, static_cast<uint32_t>(image.size()));
    const vl_version version = firmware();
    EXPECT_EQ(version.major, 2u);
    EXPECT_EQ(version.minor, 0u);
    EXPECT_EQ(version.patch, 7u);
    EXPECT_STREQ(version.text, "2.0.7-e2e");
}

TEST_F(Update, CorruptedImageIsRejectedAndTheOldFirmwareKept) {
    std::vector<uint8_t> image = make_image(2, 0, 7, "2.0.7-e2e", patterned_payload(3000));
    image[64 + 1500] ^= 0x01;
    start_and_wait_until_ready();
    send_image(image);
    EXPECT_EQ(vl_device_update_complete(device), VL_RC_INVALID_DATA);
    EXPECT_EQ(last_log_message(),
              "[vl_device_update_complete] Error: Velnor:-9, IOCTL failed: invalid_data");
    expect_status(failed, static_cast<uint32_t>(image.size()));
    const vl_version version = firmware();
    EXPECT_EQ(version.major, 1u);
    EXPECT_EQ(version.minor, 3u);
    EXPECT_STREQ(version.text, "1.3.0");
}

TEST_F(Update, CallsOutOfOrderAreRefusedByTheBoard) {
    const std::vector<update_block> blocks =
        update_blocks(make_image(1, 0, 0, "1.0.0", patterned_payload(2000)));
    EXPECT_EQ(vl_device_update_write(device, blocks[0].data()), VL_RC_UPDATE_INVALID_STATUS);
    EXPECT_EQ(vl_device_update_complete(device), VL_RC_UPDATE_INVALID_STATUS);
    EXPECT_EQ(last_log_message(), "[vl_device_update_complete] Error: Velnor:-8, IOCTL failed: "
                                  "update_invalid_status");

    ASSERT_EQ(vl_device_update_start_async(device), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_update_write(device, blocks[0].data()), VL_RC_UPDATE_INVALID_STATUS)
        << "still erasing";
    EXPECT_EQ(vl_device_update_start_async(device), VL_RC_UPDATE_INVALID_STATUS);
    ASSERT_EQ(vl_device_update_reset(device), VL_RC_SUCCESS);
    expect_status(idle, 0);

    start_and_wait_until_ready();
    EXPECT_EQ(vl_device_update_write(device, blocks[1].data()), VL_RC_UPDATE_INVALID_STATUS)
        << "second block first";
    update_block empty = blocks[0];
    std::memset(empty.data() + 4, 0, 4);
    EXPECT_EQ(vl_device_update_write(device, empty.data()), VL_RC_INVALID_DATA);
    expect_status(ready, 0);
}

TEST_F(Update, StatusWithoutOutputsStillAsksTheBoard) {
    const uint32_t before = board().request_count();
    EXPECT_EQ(vl_device_update_get_status(device, nullptr, nullptr), VL_RC_SUCCESS);
    uint32_t received = 99;
    EXPECT_EQ(vl_device_update_get_status(device, nullptr, &received), VL_RC_SUCCESS);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(board().request_count() - before, 2u);
}

} // namespace
} // namespace e2e
