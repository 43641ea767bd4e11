// Opening and closing boards.
#include "device/device.h"
#include "support/library_fixture.h"

#include <utility>

namespace {

using velnor_test::LibraryTest;

class Handles : public LibraryTest {};

TEST_F(Handles, OpenFailsWithInvalidDeviceWhenIndexIsPastTheEnd) {
    vl_device* device = reinterpret_cast<vl_device*>(0x1234);
    EXPECT_EQ(vl_device_open(0, &device), VL_RC_INVALID_DEVICE);
    EXPECT_EQ(device, reinterpret_cast<vl_device*>(0x1234));
    EXPECT_EQ(last_log_message(),
              "[vl_device_open] Error: Velnor:-3, Cannot retrieve device at index 0, only 0 "
              "device(s) found on the system: invalid_device");

    add_board();
    EXPECT_EQ(vl_device_open(1, &device), VL_RC_INVALID_DEVICE);
    EXPECT_EQ(last_log_message(),
              "[vl_device_open] Error: Velnor:-3, Cannot retrieve device at index 1, only 1 "
              "device(s) found on the system: invalid_device");
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_CREATE_FILE), 0u);
    EXPECT_EQ(vl_device_open(SIZE_MAX, &device), VL_RC_INVALID_DEVICE);
}

TEST_F(Handles, OpenPassesTheBoardsPathAndTheDocumentedArguments) {
    add_board();
    add_board();
    vl_device* device = open(1);
    ASSERT_NE(device, nullptr);
    vlsim_open_record record{};
    ASSERT_EQ(vlsim_last_open(&record), 0);
    EXPECT_EQ(std::wstring(record.path),
              L"\\\\?\\ROOT#VELNOR#0001#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}");
    EXPECT_EQ(record.access, 0xC0000000u);
    EXPECT_EQ(record.share_mode, 3u);
    EXPECT_EQ(record.security, nullptr);
    EXPECT_EQ(record.disposition, 3u);
    EXPECT_EQ(record.flags, 0x80u);
    EXPECT_EQ(record.template_file, nullptr);
    EXPECT_EQ(device->os_handle, record.result);
}

TEST_F(Handles, NullHandlePointerFailsBeforeAnythingIsEnumerated) {
    add_board();
    EXPECT_EQ(vl_device_open(0, nullptr), VL_RC_NULL_PARAMETER);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_LIST_SIZE), 0u);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_CREATE_FILE), 0u);
    EXPECT_NE(only_log_line().find("Velnor:-4, handle is null: null_parameter"), std::string::npos);
}

TEST_F(Handles, CreateFileFailureGivesFailedWithTheSystemValue) {
    add_board();
    const std::pair<std::uint32_t, const char*> failures[] = {
        {5, "Access is denied."},
        {2, "The system cannot find the file specified."},
        {32, "The process cannot access the file because it is being used by another process."},
        {21, "The device is not ready."},
    };
    for (const auto& [error, text] : failures) {
        vlsim_fail_next(VLSIM_CALL_CREATE_FILE, error);
        vl_device* device = nullptr;
        EXPECT_EQ(vl_device_open(0, &device), VL_RC_FAILED);
        EXPECT_EQ(device, nullptr);
        EXPECT_EQ(last_log_message(), "[vl_device_open] Error: system:" + std::to_string(error) +
                                          ", CreateFileW failed: " + text);
    }
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
}

// The index asked for and the count found are two numbers in the message:
// with one board, index 3 must name both, each in its own place.
TEST_F(Handles, IndexPastTheEndNamesTheIndexAndTheCount) {
    add_board();
    vl_device* device = nullptr;
    EXPECT_EQ(vl_device_open(3, &device), VL_RC_INVALID_DEVICE);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_CREATE_FILE), 0u);
    EXPECT_EQ(last_log_message(),
              "[vl_device_open] Error: Velnor:-3, Cannot retrieve device at index 3, only 1 "
              "device(s) found on the system: invalid_device");
}

TEST_F(Handles, NullHandleFromTheSystemGivesInternalErrorNamingThePath) {
    add_board();
    vlsim_next_open_returns_null();
    vl_device* device = nullptr;
    EXPECT_EQ(vl_device_open(0, &device), VL_RC_INTERNAL_ERROR);
    EXPECT_EQ(device, nullptr);
    EXPECT_EQ(last_log_message(),
              "[vl_device_open] Error: Velnor:-1, Could not open device. Path was "
              "\\\\?\\ROOT#VELNOR#0000#{2cfb54e9-a1bb-4a3c-9252-ca9b7e95b2e5}: internal_error");
}

TEST_F(Handles, DiscoveryFailurePassesThroughOpen) {
    add_board();
    vlsim_fail_next(VLSIM_CALL_LIST_FETCH, 0x13);
    vl_device* device = nullptr;
    EXPECT_EQ(vl_device_open(0, &device), VL_RC_FAILED);
    EXPECT_NE(last_log_message().find("failed with error failure"), std::string::npos);
}

TEST_F(Handles, SameBoardOpenedTwiceGivesTwoIndependentRecords) {
    add_board();
    vl_device* first = open(0);
    vl_device* second = open(0);
    ASSERT_NE(first, second);
    EXPECT_NE(first->os_handle, second->os_handle);
    EXPECT_EQ(vlsim_open_handle_count(), 2u);
    close(first);
    vl_version version{};
    EXPECT_EQ(vl_device_get_driver_version(second, &version), VL_RC_SUCCESS);
    EXPECT_EQ(vlsim_open_handle_count(), 1u);
}

TEST_F(Handles, FailedCloseKeepsTheHandleForAnotherTry) {
    add_board();
    vl_device* device = nullptr;
    ASSERT_EQ(vl_device_open(0, &device), VL_RC_SUCCESS);
    vlsim_fail_next(VLSIM_CALL_CLOSE_HANDLE, 6);
    EXPECT_EQ(vl_device_close(device), VL_RC_FAILED);
    EXPECT_EQ(last_log_message(),
              "[vl_device_close] Error: system:6, CloseHandle: The handle is invalid.");
    EXPECT_EQ(vlsim_open_handle_count(), 1u);
    EXPECT_EQ(vl_device_close(device), VL_RC_SUCCESS);
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
}

TEST_F(Handles, NullHandleIsRefusedByCloseAndEveryOperation) {
    add_board();
    EXPECT_EQ(vl_device_close(nullptr), VL_RC_NULL_PARAMETER);
    vl_version version{};
    uint32_t value = 0;
    uint8_t byte = 0;
    char serial[8];
    vl_clock clock{VL_CLOCK_MODE_EXTERNAL, {}, 10'000'000};
    const uint8_t block[VL_UPDATE_BLOCK_SIZE] = {};
    const vl_rc results[] = {
        vl_device_get_driver_version(nullptr, &version),
        vl_device_get_firmware_version(nullptr, &version),
        vl_device_get_serial(nullptr, serial, sizeof serial),
        vl_device_get_id_led_state(nullptr, &value),
        vl_device_set_id_led_state(nullptr, 1),
        vl_device_get_trigger_polarity(nullptr, &value),
        vl_device_set_trigger_polarity(nullptr, 1),
        vl_device_get_trigger_status(nullptr, &value),
        vl_device_set_trigger_status(nullptr, 1),
        vl_device_ad9516_reg_write(nullptr, 0),
        vl_device_ad9516_reg_read(nullptr, 0, &byte),
        vl_device_get_clock(nullptr, &clock),
        vl_device_set_clock(nullptr, &clock),
        vl_device_update_start_async(nullptr),
        vl_device_update_get_status(nullptr, &value, &value),
        vl_device_update_write(nullptr, block),
        vl_device_update_complete(nullptr),
        vl_device_update_reset(nullptr),
    };
    for (vl_rc result : results) {
        EXPECT_EQ(result, VL_RC_NULL_PARAMETER);
    }
    EXPECT_EQ(vlsim_call_count(VLSIM_CALL_DEVICE_IO_CONTROL), 0u);
    const auto lines = velnor_test::read_log_lines();
    ASSERT_EQ(lines.size(), 19u);
    EXPECT_NE(lines.back().find("[vl_device_update_reset] Error: Velnor:-4, handle is null"),
              std::string::npos);
}

TEST_F(Handles, RequestsOnARemovedBoardFailAndItsHandleStillCloses) {
    const int id = add_board();
    vl_device* device = nullptr;
    ASSERT_EQ(vl_device_open(0, &device), VL_RC_SUCCESS);
    ASSERT_EQ(vlsim_remove_board(id), 0);
    uint32_t state = 0;
    EXPECT_EQ(vl_device_get_id_led_state(device, &state), VL_RC_FAILED);
    EXPECT_NE(last_log_message().find("system:1167, DeviceIoControl failed"), std::string::npos);
    EXPECT_EQ(vl_device_close(device), VL_RC_SUCCESS);
    EXPECT_EQ(vlsim_open_handle_count(), 0u);
}

} // namespace
