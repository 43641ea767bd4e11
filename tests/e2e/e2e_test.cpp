// The real Velnor.dll against the virtual board driver: discovery, handles,
// the property operations and the clock, through the real DeviceIoControl.
#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "board_fixture.h"
#include "configuration_manager.h"
#include "driver_link.h"
#include "support/firmware_image.h"
#include "velnor.h"
#include "velnor_log.h"

namespace e2e {
namespace {

using velnor_test::make_image;
using velnor_test::patterned_payload;
using velnor_test::update_block;
using velnor_test::update_blocks;

vl_device* const untouched_handle = reinterpret_cast<vl_device*>(0x1234);

TEST(Discovery, CountsTheTwoInstalledBoards) {
    size_t count = 99;
    ASSERT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(count, 2u);
    EXPECT_EQ(count, board_interface_paths().size());
}

TEST(Discovery, RunsOnTheHarnessConfigurationManagerFromTheSystemFolder) {
    // Wine's own cfgmgr32 has the device-ID calls; the harness's has only the list calls.
    HMODULE cfgmgr32 = configuration_manager_after_a_count();
    ASSERT_NE(cfgmgr32, nullptr);
    EXPECT_EQ(GetProcAddress(cfgmgr32, "CM_Get_Device_ID_ListA"), nullptr)
        << "the run must load the harness's cfgmgr32.dll (WINEDLLOVERRIDES=cfgmgr32=n,b)";
    EXPECT_EQ(folder_of(cfgmgr32), system_folder());
}

TEST(Handles, OpenFailsWithInvalidDeviceWhenIndexIsPastTheEnd) {
    vl_device* handle = untouched_handle;
    EXPECT_EQ(vl_device_open(2, &handle), VL_RC_INVALID_DEVICE);
    EXPECT_EQ(handle, untouched_handle);
    EXPECT_EQ(last_log_message(), "[vl_device_open] Error: Velnor:-3, Cannot retrieve device at "
                                  "index 2, only 2 device(s) found on the system: invalid_device");
}

TEST(Handles, EachIndexOpensADifferentBoard) {
    std::set<std::string> expected;
    for (const std::wstring& path : board_interface_paths()) {
        expected.insert(board_control(path).serial());
    }
    vl_device* first = nullptr;
    vl_device* second = nullptr;
    ASSERT_EQ(vl_device_open(0, &first), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_open(1, &second), VL_RC_SUCCESS);
    std::set<std::string> seen{library_serial(first), library_serial(second)};
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(seen.size(), 2u);
    for (const std::string& serial : seen) {
        EXPECT_EQ(serial.rfind("VLN-E2E-", 0), 0u) << serial;
    }
    EXPECT_EQ(vl_device_close(first), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(second), VL_RC_SUCCESS);
}

TEST(Handles, TwoHandlesOnOneBoardWorkIndependently) {
    vl_device* a = nullptr;
    vl_device* b = nullptr;
    ASSERT_EQ(vl_device_open(0, &a), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_open(0, &b), VL_RC_SUCCESS);
    ASSERT_NE(a, b);
    ASSERT_EQ(vl_device_set_id_led_state(a, 2u), VL_RC_SUCCESS);
    uint32_t led = 0;
    ASSERT_EQ(vl_device_get_id_led_state(b, &led), VL_RC_SUCCESS);
    EXPECT_EQ(led, 2u);
    ASSERT_EQ(vl_device_close(a), VL_RC_SUCCESS);
    uint32_t polarity = 99;
    EXPECT_EQ(vl_device_get_trigger_polarity(b, &polarity), VL_RC_SUCCESS);
    EXPECT_EQ(polarity, 0u);
    ASSERT_EQ(vl_device_set_id_led_state(b, 0), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(b), VL_RC_SUCCESS);
}

using Operations = BoardTest;

TEST_F(Operations, EveryExportSucceedsAndSendsExactlyOneRequest) {
    const uint32_t before = board().request_count();
    vl_version version{};
    size_t count = 0;
    vl_device* extra = nullptr;
    char serial[32] = {};
    uint32_t value = 0;
    uint32_t received = 0;
    uint32_t status_calls = 0;
    uint8_t reg = 0;
    vl_clock clock{};
    const std::vector<update_block> blocks =
        update_blocks(make_image(1, 4, 0, "1.4.0", patterned_payload(100)));
    ASSERT_EQ(blocks.size(), 1u);

    EXPECT_EQ(vl_get_library_version(&version), VL_RC_SUCCESS);
    EXPECT_EQ(vl_get_device_count(&count), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_open(1, &extra), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_close(extra), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_driver_version(device, &version), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_firmware_version(device, &version), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_serial(device, serial, sizeof serial), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_set_id_led_state(device, 1), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_id_led_state(device, &value), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_set_trigger_polarity(device, 1), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_trigger_polarity(device, &value), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_set_trigger_status(device, 1), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_trigger_status(device, &value), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_ad9516_reg_write(device, VL_AD9516_REG_WRITE_VALUE(0x0A0, 0x11)),
              VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_ad9516_reg_read(device, 0x0A0, &reg), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_get_clock(device, &clock), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_set_clock(device, &clock), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_update_start_async(device), VL_RC_SUCCESS);
    for (value = 0; status_calls < 10 && value != 2; ++status_calls) {
        ASSERT_EQ(vl_device_update_get_status(device, &value, &received), VL_RC_SUCCESS);
    }
    EXPECT_EQ(vl_device_update_write(device, blocks[0].data()), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_update_complete(device), VL_RC_SUCCESS);
    EXPECT_EQ(vl_device_update_reset(device), VL_RC_SUCCESS);

    EXPECT_EQ(reg, 0x11);
    EXPECT_EQ(board().request_count() - before, 17u + status_calls);
}

TEST_F(Operations, VersionsComeFromTheBoard) {
    vl_version driver{};
    vl_version firmware{};
    ASSERT_EQ(vl_device_get_driver_version(device, &driver), VL_RC_SUCCESS);
    ASSERT_EQ(vl_device_get_firmware_version(device, &firmware), VL_RC_SUCCESS);
    EXPECT_EQ(driver.major, 2u);
    EXPECT_EQ(driver.minor, 4u);
    EXPECT_EQ(driver.patch, 1u);
    EXPECT_STREQ(driver.text, "2.4.1");
    EXPECT_EQ(firmware.major, 1u);
    EXPECT_EQ(firmware.minor, 3u);
    EXPECT_EQ(firmware.patch, 0u);
    EXPECT_STREQ(firmware.text, "1.3.0");
}

TEST_F(Operations, SerialIsCopiedWithBoundedZeroFill) {
    const std::string serial = board().serial();
    ASSERT_EQ(serial.size(), 12u);
    struct Case {
        size_t size;
        size_t written; // bytes the copy may touch: min(size, 32)
    };
    for (const Case c : {Case{64, 32}, Case{32, 32}, Case{13, 13}, Case{12, 12}, Case{5, 5}}) {
        std::array<char, 64> buffer;
        buffer.fill('\xAA');
        ASSERT_EQ(vl_device_get_serial(device, buffer.data(), c.size), VL_RC_SUCCESS) << c.size;
        for (size_t i = 0; i < buffer.size(); ++i) {
            char expected = '\xAA';
            if (i < c.written) {
                expected = i < serial.size() ? serial[i] : '\0';
            }
            EXPECT_EQ(buffer[i], expected) << "size " << c.size << ", byte " << i;
        }
    }
    EXPECT_EQ(vl_device_get_serial(device, nullptr, 0), VL_RC_SUCCESS);
}

struct RangedSetting {
    const char* name;
    vl_rc (*set)(vl_device*, uint32_t);
    vl_rc (*get)(vl_device*, uint32_t*);
    uint32_t max;
};

const RangedSetting ranged_settings[] = {
    {"LED", vl_device_set_id_led_state, vl_device_get_id_led_state, 2},
    {"trigger polarity", vl_device_set_trigger_polarity, vl_device_get_trigger_polarity, 1},
    {"trigger status", vl_device_set_trigger_status, vl_device_get_trigger_status, 1},
};

TEST_F(Operations, SettingsRoundTripAndValuesOutOfRangeAreRefused) {
    for (const RangedSetting& s : ranged_settings) {
        for (uint32_t v = 0; v <= s.max; ++v) {
            uint32_t read = 99;
            ASSERT_EQ(s.set(device, v), VL_RC_SUCCESS) << s.name << " " << v;
            ASSERT_EQ(s.get(device, &read), VL_RC_SUCCESS) << s.name;
            EXPECT_EQ(read, v) << s.name;
        }
        uint32_t read = 99;
        EXPECT_EQ(s.set(device, s.max + 1), VL_RC_INVALID_DATA) << s.name;
        ASSERT_EQ(s.get(device, &read), VL_RC_SUCCESS);
        EXPECT_EQ(read, s.max) << s.name << " kept its value";
    }
}

TEST_F(Operations, ArmedTriggerReportsTriggeredAfterItFires) {
    ASSERT_EQ(vl_device_set_trigger_status(device, 1), VL_RC_SUCCESS);
    board().fire_trigger();
    uint32_t status = 0;
    ASSERT_EQ(vl_device_get_trigger_status(device, &status), VL_RC_SUCCESS);
    EXPECT_EQ(status, 2u);
}

TEST_F(Operations, RegisterWriteReadsBack) {
    for (uint32_t address : {0x000u, 0x0A0u, 0x199u, 0x231u}) {
        const uint8_t contents = static_cast<uint8_t>(0x5A ^ address);
        ASSERT_EQ(vl_device_ad9516_reg_write(device, VL_AD9516_REG_WRITE_VALUE(address, contents)),
                  VL_RC_SUCCESS);
        uint8_t read = 0;
        ASSERT_EQ(vl_device_ad9516_reg_read(device, address, &read), VL_RC_SUCCESS);
        EXPECT_EQ(read, contents) << address;
    }
}

TEST_F(Operations, RegisterAccessOutsideTheChipIsRefused) {
    uint8_t read = 0x77;
    EXPECT_EQ(vl_device_ad9516_reg_write(device, VL_AD9516_REG_WRITE_VALUE(0x233, 1)),
              VL_RC_INVALID_DATA);
    EXPECT_EQ(vl_device_ad9516_reg_write(device, 0x0A0u | (uint64_t{0x100} << 32)),
              VL_RC_INVALID_DATA);
    EXPECT_EQ(vl_device_ad9516_reg_read(device, 0x233, &read), VL_RC_INVALID_DATA);
    EXPECT_EQ(read, 0x77);
    EXPECT_EQ(last_log_message(),
              "[vl_device_ad9516_reg_read] Error: Velnor:-9, IOCTL failed: invalid_data");
}

TEST_F(Operations, ClockRoundTripCarriesReservedBytesAndProgramsTheDividers) {
    uint8_t divider_before = 0;
    ASSERT_EQ(vl_device_ad9516_reg_read(device, 0x199, &divider_before), VL_RC_SUCCESS);
    const vl_clock set{VL_CLOCK_MODE_INTERNAL, {0xDE, 0xAD, 0xBE, 0xEF}, 125000000};
    ASSERT_EQ(vl_device_set_clock(device, &set), VL_RC_SUCCESS);
    vl_clock read;
    std::memset(&read, 0xCC, sizeof read);
    ASSERT_EQ(vl_device_get_clock(device, &read), VL_RC_SUCCESS);
    EXPECT_EQ(std::memcmp(&read, &set, sizeof set), 0);
    uint8_t divider_after = 0;
    ASSERT_EQ(vl_device_ad9516_reg_read(device, 0x199, &divider_after), VL_RC_SUCCESS);
    EXPECT_NE(divider_after, divider_before);
}

TEST_F(Operations, ExternalClockIsPassedThroughAndOtherModesAreRefusedByTheBoard) {
    const vl_clock external{VL_CLOCK_MODE_EXTERNAL, {1, 2, 3, 4}, 10000000};
    ASSERT_EQ(vl_device_set_clock(device, &external), VL_RC_SUCCESS);
    vl_clock read{};
    ASSERT_EQ(vl_device_get_clock(device, &read), VL_RC_SUCCESS);
    EXPECT_EQ(std::memcmp(&read, &external, sizeof read), 0);

    const vl_clock too_fast{VL_CLOCK_MODE_EXTERNAL, {}, 1000000001};
    const vl_clock unknown_mode{7, {}, 10000000};
    EXPECT_EQ(vl_device_set_clock(device, &too_fast), VL_RC_INVALID_DATA);
    EXPECT_EQ(vl_device_set_clock(device, &unknown_mode), VL_RC_INVALID_DATA);
    ASSERT_EQ(vl_device_get_clock(device, &read), VL_RC_SUCCESS);
    EXPECT_EQ(std::memcmp(&read, &external, sizeof read), 0);
}

TEST_F(Operations, RefusedFrequencyNeverReachesTheDriver) {
    const uint32_t before = board().request_count();
    const vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 123456789};
    EXPECT_EQ(vl_device_set_clock(device, &clock), VL_RC_INVALID_FREQUENCY);
    EXPECT_EQ(board().request_count(), before);
    EXPECT_EQ(last_log_message(),
              "[vl_device_set_clock] Error: Velnor:-13, Invalid clock frequency: 123456789Hz. "
              "Try 123125000Hz or 123750000Hz: invalid_frequency");
}

} // namespace
} // namespace e2e
