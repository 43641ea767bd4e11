// Driver statuses forced through the test-control request come back as the
// exports' results, with nothing written to the caller's outputs.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <functional>
#include <string>

#include "board_fixture.h"
#include "velnor.h"
#include "velnor_log.h"

namespace e2e {
namespace {

struct Request {
    uint32_t fn;
    const char* name;
    // Calls the export with outputs filled with 0xA5; returns its result.
    std::function<vl_rc(vl_device*, std::array<uint8_t, 64>&)> call;
};

const Request requests[] = {
    {0, "vl_device_get_driver_version",
     [](vl_device* d, auto& out) {
         return vl_device_get_driver_version(d, reinterpret_cast<vl_version*>(out.data()));
     }},
    {1, "vl_device_get_firmware_version",
     [](vl_device* d, auto& out) {
         return vl_device_get_firmware_version(d, reinterpret_cast<vl_version*>(out.data()));
     }},
    {2, "vl_device_update_start_async",
     [](vl_device* d, auto&) { return vl_device_update_start_async(d); }},
    {3, "vl_device_update_get_status",
     [](vl_device* d, auto& out) {
         return vl_device_update_get_status(d, reinterpret_cast<uint32_t*>(out.data()),
                                            reinterpret_cast<uint32_t*>(out.data() + 4));
     }},
    {4, "vl_device_update_write",
     [](vl_device* d, auto&) {
         static const std::array<uint8_t, VL_UPDATE_BLOCK_SIZE> block{};
         return vl_device_update_write(d, block.data());
     }},
    {5, "vl_device_update_complete",
     [](vl_device* d, auto&) { return vl_device_update_complete(d); }},
    {6, "vl_device_update_reset", [](vl_device* d, auto&) { return vl_device_update_reset(d); }},
    {7, "vl_device_get_id_led_state",
     [](vl_device* d, auto& out) {
         return vl_device_get_id_led_state(d, reinterpret_cast<uint32_t*>(out.data()));
     }},
    {8, "vl_device_set_id_led_state",
     [](vl_device* d, auto&) { return vl_device_set_id_led_state(d, 1); }},
    {9, "vl_device_get_trigger_polarity",
     [](vl_device* d, auto& out) {
         return vl_device_get_trigger_polarity(d, reinterpret_cast<uint32_t*>(out.data()));
     }},
    {10, "vl_device_set_trigger_polarity",
     [](vl_device* d, auto&) { return vl_device_set_trigger_polarity(d, 1); }},
    {11, "vl_device_get_trigger_status",
     [](vl_device* d, auto& out) {
         return vl_device_get_trigger_status(d, reinterpret_cast<uint32_t*>(out.data()));
     }},
    {12, "vl_device_set_trigger_status",
     [](vl_device* d, auto&) { return vl_device_set_trigger_status(d, 1); }},
    {13, "vl_device_get_clock",
     [](vl_device* d, auto& out) {
         return vl_device_get_clock(d, reinterpret_cast<vl_clock*>(out.data()));
     }},
    {14, "vl_device_set_clock",
     [](vl_device* d, auto&) {
         const vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 100000000};
         return vl_device_set_clock(d, &clock);
     }},
    {15, "vl_device_ad9516_reg_write",
     [](vl_device* d, auto&) {
         return vl_device_ad9516_reg_write(d, VL_AD9516_REG_WRITE_VALUE(0x0A0, 1));
     }},
    {16, "vl_device_ad9516_reg_read",
     [](vl_device* d, auto& out) { return vl_device_ad9516_reg_read(d, 0x0A0, out.data()); }},
    {17, "vl_device_get_serial",
     [](vl_device* d, auto& out) {
         return vl_device_get_serial(d, reinterpret_cast<char*>(out.data()), 32);
     }},
};

struct Status {
    int32_t value;
    const char* text;
};

const Status statuses[] = {
    {-2, "ad9516_communication_error"},
    {-8, "update_invalid_status"},
    {-9, "invalid_data"},
    {-10, "timeout"},
    {-11, "pll_not_locked"},
    {7, "invalid_rc"},
};

using Faults = BoardTest;

TEST_F(Faults, DriverStatusesComeBackAsResultsWithOutputsUntouched) {
    for (const Request& request : requests) {
        for (const Status& status : statuses) {
            SCOPED_TRACE(std::string(request.name) + " status " + std::to_string(status.value));
            board().force_status(request.fn, status.value);
            std::array<uint8_t, 64> out;
            out.fill(0xA5);
            EXPECT_EQ(request.call(device, out), status.value);
            for (uint8_t byte : out) {
                ASSERT_EQ(byte, 0xA5);
            }
            EXPECT_EQ(last_log_message(), "[" + std::string(request.name) +
                                              "] Error: Velnor:" + std::to_string(status.value) +
                                              ", IOCTL failed: " + status.text);
        }
        board().clear_status(request.fn);
        std::array<uint8_t, 64> out{};
        // Served by the board again: a block or a completion during the erase is out of order.
        const bool out_of_order = request.fn == 4 || request.fn == 5;
        EXPECT_EQ(request.call(device, out),
                  out_of_order ? VL_RC_UPDATE_INVALID_STATUS : VL_RC_SUCCESS)
            << request.name << " once the status is cleared";
    }
}

// The system's text for an error value, as the library must quote it.
std::string system_text(DWORD error) {
    char buffer[512] = {};
    DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                  nullptr, error, 0, buffer, sizeof buffer, nullptr);
    std::string text(buffer, length);
    while (!text.empty() && std::strchr(" \t\r\n", text.back()) != nullptr) {
        text.pop_back();
    }
    return text.empty() ? "unknown error" : text;
}

TEST_F(Faults, RequestsTheSystemFailsReturnFailedWithTheSystemsText) {
    struct Failure {
        LONG ntstatus;
        DWORD error; // what the I/O manager makes of it
    };
    const Failure failures[] = {
        {static_cast<LONG>(0xC00000A3), ERROR_NOT_READY},           // STATUS_DEVICE_NOT_READY
        {static_cast<LONG>(0xC0000001), ERROR_GEN_FAILURE},         // STATUS_UNSUCCESSFUL
        {static_cast<LONG>(0xC0000010), ERROR_INVALID_FUNCTION},    // STATUS_INVALID_DEVICE_REQUEST
        {static_cast<LONG>(0xC0000023), ERROR_INSUFFICIENT_BUFFER}, // STATUS_BUFFER_TOO_SMALL
    };
    for (const Failure& f : failures) {
        SCOPED_TRACE(f.error);
        board().fail_request(7, f.ntstatus);
        uint32_t led = 0xA5A5A5A5u;
        EXPECT_EQ(vl_device_get_id_led_state(device, &led), VL_RC_FAILED);
        EXPECT_EQ(led, 0xA5A5A5A5u);
        EXPECT_EQ(last_log_message(),
                  "[vl_device_get_id_led_state] Error: system:" + std::to_string(f.error) +
                      ", DeviceIoControl failed: " + system_text(f.error));
    }
    board().clear_status(7);
    uint32_t led = 99;
    EXPECT_EQ(vl_device_get_id_led_state(device, &led), VL_RC_SUCCESS);
    EXPECT_EQ(led, 0u);
}

} // namespace
} // namespace e2e
