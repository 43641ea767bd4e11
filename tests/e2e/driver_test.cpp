// The driver's side of the transport as the I/O manager delivers it:
// buffered requests, reply sizes and the error values a caller sees.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstdint>

#include "driver_link.h"

namespace e2e {
namespace {

struct Transport {
    const char* what;
    DWORD code;
    DWORD in_len;
    DWORD out_len;
    DWORD error;    // 0: success
    DWORD returned; // bytes returned on success
};

const Transport transports[] = {
    {"serial", board_request_code(17), 0, 36, 0, 36},
    {"serial into a larger buffer", board_request_code(17), 0, 64, 0, 36},
    {"serial into a short buffer", board_request_code(17), 0, 35, ERROR_INSUFFICIENT_BUFFER, 0},
    {"LED set", board_request_code(8), 4, 4, 0, 4},
    {"LED set without its value", board_request_code(8), 3, 4, ERROR_INVALID_PARAMETER, 0},
    {"update block one byte short", board_request_code(4), 1031, 4, ERROR_INVALID_PARAMETER, 0},
    {"register read", board_request_code(16), 4, 5, 0, 5},
    {"request number past the table", board_request_code(18), 0, 64, ERROR_INVALID_FUNCTION, 0},
    {"direct-I/O method bits", board_request_code(17) | 1u, 0, 64, ERROR_INVALID_FUNCTION, 0},
    {"other device type", 0x00222044u | 0x00010000u, 0, 64, ERROR_INVALID_FUNCTION, 0},
};

TEST(DriverTransport, RepliesAndRefusalsReachTheCallerAsWindowsReportsThem) {
    const std::wstring path = board_interface_paths().at(0);
    board_control control(path);
    control.reset();
    for (const Transport& t : transports) {
        SCOPED_TRACE(t.what);
        std::array<uint8_t, 1032> in{};
        std::array<uint8_t, 1032> out;
        out.fill(0xEE);
        const uint32_t before = control.request_count();
        const ioctl_result r =
            raw_ioctl(control.handle(), t.code, in.data(), t.in_len, out.data(), t.out_len);
        EXPECT_EQ(control.request_count() - before, 1u) << "every request reaches the driver";
        if (t.error == 0) {
            ASSERT_TRUE(r.ok) << r.error;
            EXPECT_EQ(r.returned, t.returned);
            EXPECT_EQ(out[0] | out[1] | out[2] | out[3], 0) << "status word 0";
            EXPECT_EQ(out[t.returned], 0xEE) << "nothing written past the reply";
        } else {
            EXPECT_FALSE(r.ok);
            EXPECT_EQ(r.error, t.error);
            EXPECT_EQ(out[0], 0xEE) << "a refused request copies nothing back";
        }
    }
}

} // namespace
} // namespace e2e
