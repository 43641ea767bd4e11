// The board's properties through the exports, against the virtual board.
#include "support/library_fixture.h"

#include <array>

namespace {

using velnor_test::LibraryTest;

class Properties : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        vlsim_board_config config;
        vlsim_default_board_config(&config);
        std::strcpy(config.serial, "SN-0000-0042"); // 12 characters
        config.driver = {3, 1, 4, "3.1.4-test"};
        config.firmware = {1, 7, 0, "1.7.0"};
        vlsim_add_board(&config);
        device = open();
    }
    vl_device* device = nullptr;
};

TEST_F(Properties, VersionsArriveByteForByte) {
    vl_version version;
    ASSERT_EQ(vl_device_get_driver_version(device, &version), VL_RC_SUCCESS);
    EXPECT_EQ(version.major, 3u);
    EXPECT_EQ(version.minor, 1u);
    EXPECT_EQ(version.patch, 4u);
    EXPECT_STREQ(version.text, "3.1.4-test");
    ASSERT_EQ(vl_device_get_firmware_version(device, &version), VL_RC_SUCCESS);
    EXPECT_STREQ(version.text, "1.7.0");
}

TEST_F(Properties, NullVersionRecordSendsNoRequest) {
    vlsim_clear_requests();
    EXPECT_EQ(vl_device_get_driver_version(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_get_firmware_version(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vlsim_request_count(), 0u);
    EXPECT_NE(last_log_message().find("[vl_device_get_firmware_version] Error: Velnor:-4, "
                                      "version is null: null_parameter"),
              std::string::npos);
}

TEST_F(Properties, NullOutputPointersAreRefusedBeforeAnyRequest) {
    vlsim_clear_requests();
    EXPECT_EQ(vl_device_get_id_led_state(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_get_trigger_polarity(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_get_trigger_status(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_ad9516_reg_read(device, 0, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_get_serial(device, nullptr, 1), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_get_clock(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_set_clock(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vl_device_update_write(device, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vlsim_request_count(), 0u);
    EXPECT_EQ(velnor_test::read_log_lines().size(), 8u);
}

struct SerialCase {
    const char* name;
    const char* serial;
    std::size_t size;
    std::string expected; // the first min(size, 32) bytes of the buffer
};

class Serial : public LibraryTest, public testing::WithParamInterface<SerialCase> {};

TEST_P(Serial, IsCopiedWithABoundedCopyOfAtMost32Bytes) {
    const SerialCase& c = GetParam();
    vlsim_board_config config;
    vlsim_default_board_config(&config);
    std::memset(config.serial, 0, sizeof config.serial);
    std::memcpy(config.serial, c.serial, std::strlen(c.serial));
    vlsim_add_board(&config);
    vl_device* device = open();
    std::array<char, 64> buffer;
    buffer.fill('#');
    ASSERT_EQ(vl_device_get_serial(device, buffer.data(), c.size), VL_RC_SUCCESS);
    EXPECT_EQ(last_request().code, 0x222044u);
    const std::size_t written = std::min<std::size_t>(c.size, 32);
    EXPECT_EQ(std::string(buffer.data(), written), c.expected);
    for (std::size_t i = written; i < buffer.size(); ++i) {
        EXPECT_EQ(buffer[i], '#') << "byte " << i;
    }
}

using namespace std::string_literals;
INSTANTIATE_TEST_SUITE_P(
    Sizes, Serial,
    testing::Values(SerialCase{"SizeZeroWritesNothing", "SN-0000-0042", 0, ""},
                    SerialCase{"ShortBufferGetsNoTerminator", "SN-0000-0042", 8, "SN-0000-"},
                    SerialCase{"ExactFitGetsNoTerminator", "SN-0000-0042", 12, "SN-0000-0042"},
                    SerialCase{"LargeBufferIsZeroFilledTo32", "SN-0000-0042", 64,
                               "SN-0000-0042"s + std::string(20, '\0')},
                    SerialCase{"ThirtyTwoCharactersHaveNoTerminator",
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345", 64,
                               "ABCDEFGHIJKLMNOPQRSTUVWXYZ012345"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Properties, SettersSendTheirValueAndTheBoardKeepsIt) {
    struct Property {
        vl_rc (*set)(vl_device*, uint32_t);
        vl_rc (*get)(vl_device*, uint32_t*);
        uint32_t value;
    };
    const Property properties[] = {
        {vl_device_set_id_led_state, vl_device_get_id_led_state, 2},
        {vl_device_set_trigger_polarity, vl_device_get_trigger_polarity, 1},
        {vl_device_set_trigger_status, vl_device_get_trigger_status, 1},
    };
    for (const Property& p : properties) {
        ASSERT_EQ(p.set(device, p.value), VL_RC_SUCCESS);
        vlsim_request_record record = last_request();
        ASSERT_EQ(record.in_length, 4u);
        uint32_t sent = 0;
        std::memcpy(&sent, record.in, 4);
        EXPECT_EQ(sent, p.value);
        uint32_t read = 99;
        ASSERT_EQ(p.get(device, &read), VL_RC_SUCCESS);
        EXPECT_EQ(read, p.value);
    }
    ASSERT_EQ(vlsim_fire_trigger(0), 0);
    uint32_t status = 0;
    ASSERT_EQ(vl_device_get_trigger_status(device, &status), VL_RC_SUCCESS);
    EXPECT_EQ(status, 2u);
}

TEST_F(Properties, ValuesTheBoardRefusesComeBackAsInvalidDataUnchecked) {
    uint32_t led = 0;
    ASSERT_EQ(vl_device_get_id_led_state(device, &led), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_set_id_led_state(device, UINT32_MAX), VL_RC_INVALID_DATA);
    uint32_t sent = 0;
    std::memcpy(&sent, last_request().in, 4);
    EXPECT_EQ(sent, UINT32_MAX);
    EXPECT_EQ(vl_device_set_trigger_polarity(device, 2), VL_RC_INVALID_DATA);
    EXPECT_EQ(vl_device_set_trigger_status(device, 3), VL_RC_INVALID_DATA);
    EXPECT_NE(last_log_message().find(
                  "[vl_device_set_trigger_status] Error: Velnor:-9, IOCTL failed: invalid_data"),
              std::string::npos);
    uint32_t after = 9;
    ASSERT_EQ(vl_device_get_id_led_state(device, &after), VL_RC_SUCCESS);
    EXPECT_EQ(after, led);
}

TEST_F(Properties, RegisterWriteSendsEightBytesAndReadWritesOneByte) {
    ASSERT_EQ(vl_device_ad9516_reg_write(device, VL_AD9516_REG_WRITE_VALUE(0x0F0, 0x5A)),
              VL_RC_SUCCESS);
    const vlsim_request_record write = last_request();
    ASSERT_EQ(write.in_length, 8u);
    const uint8_t expected[8] = {0xF0, 0x00, 0x00, 0x00, 0x5A, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(write.in, expected, 8), 0);

    uint8_t bytes[2] = {0x11, 0x22};
    ASSERT_EQ(vl_device_ad9516_reg_read(device, 0x0F0, &bytes[0]), VL_RC_SUCCESS);
    EXPECT_EQ(bytes[0], 0x5A);
    EXPECT_EQ(bytes[1], 0x22);
    EXPECT_EQ(last_request().in_length, 4u);

    EXPECT_EQ(vl_device_ad9516_reg_write(device, VL_AD9516_REG_WRITE_VALUE(0x233, 0)),
              VL_RC_INVALID_DATA);
    EXPECT_EQ(vl_device_ad9516_reg_write(device, 0x000001FF000000F0ull), VL_RC_INVALID_DATA);
    EXPECT_EQ(vl_device_ad9516_reg_read(device, 0x233, &bytes[0]), VL_RC_INVALID_DATA);
    EXPECT_EQ(bytes[0], 0x5A);
}

} // namespace
