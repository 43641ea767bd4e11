// Firmware update through the five exports, on the virtual board.
#include "support/firmware_image.h"
#include "support/library_fixture.h"

namespace {

using velnor_test::LibraryTest;

class Update : public velnor_test::OpenBoardTest {
protected:
    // Starts and polls until the board is ready for blocks.
    void start_and_wait_until_ready() {
        ASSERT_EQ(vl_device_update_start_async(device), VL_RC_SUCCESS);
        uint32_t state = 0;
        for (int poll = 0; poll < 10 && state != 2; ++poll) {
            ASSERT_EQ(vl_device_update_get_status(device, &state, nullptr), VL_RC_SUCCESS);
        }
        ASSERT_EQ(state, 2u);
    }

    void send(const std::vector<std::uint8_t>& image) {
        for (const auto& block : velnor_test::update_blocks(image)) {
            ASSERT_EQ(vl_device_update_write(device, block.data()), VL_RC_SUCCESS);
        }
    }
};

TEST_F(Update, AGoodImageBecomesTheFirmware) {
    const auto image = velnor_test::firmware_image(2, 0, 5, "2.0.5", 5000);
    start_and_wait_until_ready();
    send(image);
    uint32_t state = 0, received = 0;
    ASSERT_EQ(vl_device_update_get_status(device, &state, &received), VL_RC_SUCCESS);
    EXPECT_EQ(received, image.size());
    ASSERT_EQ(vl_device_update_complete(device), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_update_get_status(device, &state, nullptr), VL_RC_SUCCESS);
    EXPECT_EQ(state, 4u);
    vl_version version{};
    ASSERT_EQ(vl_device_get_firmware_version(device, &version), VL_RC_SUCCESS);
    EXPECT_EQ(version.major, 2u);
    EXPECT_EQ(version.patch, 5u);
    EXPECT_STREQ(version.text, "2.0.5");
}

TEST_F(Update, ACorruptedImageFailsVerificationAndKeepsTheOldFirmware) {
    auto image = velnor_test::firmware_image(9, 9, 9, "9.9.9", 3000);
    image[1000] ^= 0x01;
    start_and_wait_until_ready();
    send(image);
    EXPECT_EQ(vl_device_update_complete(device), VL_RC_INVALID_DATA);
    uint32_t state = 0;
    ASSERT_EQ(vl_device_update_get_status(device, &state, nullptr), VL_RC_SUCCESS);
    EXPECT_EQ(state, 5u);
    vl_version version{};
    ASSERT_EQ(vl_device_get_firmware_version(device, &version), VL_RC_SUCCESS);
    EXPECT_STREQ(version.text, "1.3.0");
}

TEST_F(Update, ResetInTheMiddleDiscardsTheImage) {
    const auto image = velnor_test::firmware_image(2, 1, 0, "2.1.0", 4000);
    start_and_wait_until_ready();
    const auto blocks = velnor_test::update_blocks(image);
    ASSERT_EQ(vl_device_update_write(device, blocks[0].data()), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_update_reset(device), VL_RC_SUCCESS);
    uint32_t state = 9, received = 9;
    ASSERT_EQ(vl_device_update_get_status(device, &state, &received), VL_RC_SUCCESS);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(received, 0u);
    EXPECT_EQ(vl_device_update_write(device, blocks[1].data()), VL_RC_UPDATE_INVALID_STATUS);
}

TEST_F(Update, CallsOutOfOrderReachTheBoardAndComeBackAsItsStatus) {
    const auto blocks = velnor_test::update_blocks(velnor_test::firmware_image(1, 0, 0, "1", 10));
    vlsim_clear_requests();
    EXPECT_EQ(vl_device_update_write(device, blocks[0].data()), VL_RC_UPDATE_INVALID_STATUS);
    EXPECT_EQ(vl_device_update_complete(device), VL_RC_UPDATE_INVALID_STATUS);
    EXPECT_EQ(vlsim_request_count(), 2u);
    EXPECT_NE(last_log_message().find("[vl_device_update_complete] Error: Velnor:-8, IOCTL "
                                      "failed: update_invalid_status"),
              std::string::npos);
    start_and_wait_until_ready();
    EXPECT_EQ(vl_device_update_write(device, blocks[0].data()), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_update_write(device, blocks[0].data()), VL_RC_UPDATE_INVALID_STATUS);
}

TEST_F(Update, WriteSendsThe1032BytesAsTheyStand) {
    std::vector<std::uint8_t> block(VL_UPDATE_BLOCK_SIZE);
    for (std::size_t i = 0; i < block.size(); ++i) {
        block[i] = static_cast<std::uint8_t>(i * 7);
    }
    vl_device_update_write(device, block.data());
    const vlsim_request_record record = last_request();
    ASSERT_EQ(record.in_length, 1032u);
    EXPECT_EQ(std::memcmp(record.in, block.data(), 1032), 0);
}

TEST_F(Update, StatusOutputsAreOptionalAndWrittenOneByOne) {
    ASSERT_EQ(vl_device_update_start_async(device), VL_RC_SUCCESS);
    vlsim_clear_requests();
    EXPECT_EQ(vl_device_update_get_status(device, nullptr, nullptr), VL_RC_SUCCESS);
    EXPECT_EQ(vlsim_request_count(), 1u);
    uint32_t received = 55;
    EXPECT_EQ(vl_device_update_get_status(device, nullptr, &received), VL_RC_SUCCESS);
    EXPECT_EQ(received, 0u);
    vlsim_set_request_reply_length(3, 8); // the state only
    uint32_t state = 55;
    received = 55;
    EXPECT_EQ(vl_device_update_get_status(device, &state, &received), VL_RC_SUCCESS);
    EXPECT_EQ(received, 0u);
}

} // namespace
