// What crosses to the driver and back, byte for byte: the records and
// values the setters send, compared with literal little-endian bytes, and a
// driver that completes a request without writing a single byte.
#include "support/library_fixture.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

namespace {

using velnor_test::OpenBoardTest;

using bytes_t = std::vector<std::uint8_t>;

bytes_t sent_bytes(const vlsim_request_record& record) {
    return bytes_t(record.in, record.in + record.in_length);
}

class DriverBytes : public OpenBoardTest {};

TEST_F(DriverBytes, NonZeroClockModeRecordArrivesAsItsSixteenBytes) {
    struct clock_case_t {
        vl_clock clock;
        vl_rc expected;
        bytes_t bytes; // mode, reserved, frequency, little-endian
    };
    const clock_case_t cases[] = {
        {{VL_CLOCK_MODE_EXTERNAL, {0x01, 0x02, 0x03, 0x04}, 10'000'000},
         VL_RC_SUCCESS,
         {0x01, 0x00, 0x00, 0x00, 0x01, 0x02, 0x03, 0x04, 0x80, 0x96, 0x98, 0x00, 0x00, 0x00, 0x00,
          0x00}},
        {{0xFFFFFFFFu, {0xFF, 0xFE, 0xFD, 0xFC}, INT64_MIN},
         VL_RC_INVALID_DATA,
         {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE, 0xFD, 0xFC, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
          0x80}},
        {{2, {}, -1},
         VL_RC_INVALID_DATA,
         {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
          0xFF}},
    };
    for (const clock_case_t& c : cases) {
        vlsim_clear_requests();
        EXPECT_EQ(vl_device_set_clock(device, &c.clock), c.expected);
        ASSERT_EQ(vlsim_request_count(), 1u);
        const vlsim_request_record record = last_request();
        EXPECT_EQ(record.code, 0x222038u);
        EXPECT_EQ(sent_bytes(record), c.bytes) << c.clock.mode;
    }
}

// Each 32-bit setter with the largest value: all four bytes reach the board,
// which refuses the value; the line is whole.
TEST_F(DriverBytes, EverySetterSendsTheLargestValueWhole) {
    struct setter_t {
        const char* name;
        vl_rc (*set)(vl_device*, uint32_t);
        std::uint32_t code;
    };
    const setter_t setters[] = {
        {"vl_device_set_id_led_state", vl_device_set_id_led_state, 0x222020},
        {"vl_device_set_trigger_polarity", vl_device_set_trigger_polarity, 0x222028},
        {"vl_device_set_trigger_status", vl_device_set_trigger_status, 0x222030},
    };
    for (const setter_t& s : setters) {
        vlsim_clear_requests();
        EXPECT_EQ(s.set(device, 0xFFFFFFFFu), VL_RC_INVALID_DATA) << s.name;
        const vlsim_request_record record = last_request();
        EXPECT_EQ(record.code, s.code);
        EXPECT_EQ(sent_bytes(record), (bytes_t{0xFF, 0xFF, 0xFF, 0xFF})) << s.name;
        EXPECT_EQ(last_log_message(),
                  std::string("[") + s.name + "] Error: Velnor:-9, IOCTL failed: invalid_data");
    }

    vlsim_clear_requests();
    EXPECT_EQ(vl_device_ad9516_reg_write(device, 0xFFFFFFFFFFFFFFFFull), VL_RC_INVALID_DATA);
    EXPECT_EQ(sent_bytes(last_request()), bytes_t(8, 0xFF));
    EXPECT_EQ(last_log_message(),
              "[vl_device_ad9516_reg_write] Error: Velnor:-9, IOCTL failed: invalid_data");

    std::uint8_t value = 0x5A;
    vlsim_clear_requests();
    EXPECT_EQ(vl_device_ad9516_reg_read(device, 0xFFFFFFFFu, &value), VL_RC_INVALID_DATA);
    EXPECT_EQ(sent_bytes(last_request()), bytes_t(4, 0xFF));
    EXPECT_EQ(value, 0x5A);
}

// Fills a stretch of stack below the caller with a pattern, so that a reply
// buffer the library forgot to zero holds the pattern rather than zeros.
#if defined(__GNUC__)
__attribute__((noinline))
#endif
void poison_stack() {
    volatile std::uint8_t area[32768];
    for (std::size_t i = 0; i < sizeof area; ++i) {
        area[i] = 0xA5;
    }
}

struct empty_reply_case_t {
    const char* name;
    std::uint32_t fn;
    std::size_t size; // bytes the export delivers
    std::function<vl_rc(vl_device*, std::uint8_t*)> call;
};

const empty_reply_case_t empty_reply_cases[] = {
    {"DriverVersion", 0, sizeof(vl_version),
     [](vl_device* d, std::uint8_t* out) {
         return vl_device_get_driver_version(d, reinterpret_cast<vl_version*>(out));
     }},
    {"FirmwareVersion", 1, sizeof(vl_version),
     [](vl_device* d, std::uint8_t* out) {
         return vl_device_get_firmware_version(d, reinterpret_cast<vl_version*>(out));
     }},
    {"UpdateStatus", 3, 8,
     [](vl_device* d, std::uint8_t* out) {
         auto* values = reinterpret_cast<std::uint32_t*>(out);
         return vl_device_update_get_status(d, &values[0], &values[1]);
     }},
    {"IdLedState", 7, 4,
     [](vl_device* d, std::uint8_t* out) {
         return vl_device_get_id_led_state(d, reinterpret_cast<std::uint32_t*>(out));
     }},
    {"TriggerPolarity", 9, 4,
     [](vl_device* d, std::uint8_t* out) {
         return vl_device_get_trigger_polarity(d, reinterpret_cast<std::uint32_t*>(out));
     }},
    {"TriggerStatus", 11, 4,
     [](vl_device* d, std::uint8_t* out) {
         return vl_device_get_trigger_status(d, reinterpret_cast<std::uint32_t*>(out));
     }},
    {"Clock", 13, sizeof(vl_clock),
     [](vl_device* d, std::uint8_t* out) {
         return vl_device_get_clock(d, reinterpret_cast<vl_clock*>(out));
     }},
    {"RegisterRead", 16, 1,
     [](vl_device* d, std::uint8_t* out) { return vl_device_ad9516_reg_read(d, 0x003, out); }},
    {"Serial", 17, 32,
     [](vl_device* d, std::uint8_t* out) {
         return vl_device_get_serial(d, reinterpret_cast<char*>(out), 32);
     }},
};

class EmptyReply : public OpenBoardTest, public testing::WithParamInterface<empty_reply_case_t> {};

// The driver completes the request and writes no byte at all (the virtual
// platform copies nothing back and reports 0 bytes): the status the library
// reads is its own zero filling, and so is every payload byte delivered.
TEST_P(EmptyReply, SucceedsAndDeliversOnlyZeroBytes) {
    const empty_reply_case_t& c = GetParam();
    vlsim_set_request_reply_length(c.fn, 0);
    alignas(8) std::array<std::uint8_t, 64> out;
    out.fill(0xCC);
    poison_stack();
    EXPECT_EQ(c.call(device, out.data()), VL_RC_SUCCESS) << last_log_message();
    const vlsim_request_record record = last_request();
    EXPECT_EQ(record.succeeded, 1);
    EXPECT_EQ(record.bytes_returned, 0u);
    EXPECT_EQ(bytes_t(out.begin(), out.begin() + c.size), bytes_t(c.size, 0));
    EXPECT_EQ(bytes_t(out.begin() + c.size, out.end()), bytes_t(out.size() - c.size, 0xCC));
}

INSTANTIATE_TEST_SUITE_P(Requests, EmptyReply, testing::ValuesIn(empty_reply_cases),
                         [](const auto& info) { return std::string(info.param.name); });

// The stand-in really writes nothing: with the switch at 0 the caller's reply
// buffer keeps every byte it had.
TEST(EmptyReplyStandIn, LeavesTheReplyBufferAsItWas) {
    vlsim_reset();
    const int id = vlsim_add_board(nullptr);
    wchar_t path[128] = {};
    ASSERT_GT(vlsim_board_path(id, path, 128), 0);
    void* handle = vlsim_CreateFileW(path, 0xC0000000u, 3, nullptr, 3, 0x80, nullptr);
    vlsim_set_request_reply_length(0, 0);
    std::array<std::uint8_t, 48> reply;
    reply.fill(0xEE);
    std::uint32_t returned = 99;
    EXPECT_EQ(
        vlsim_DeviceIoControl(handle, 0x222000u, nullptr, 0, reply.data(), 48, &returned, nullptr),
        1);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(bytes_t(reply.begin(), reply.end()), bytes_t(48, 0xEE));
    EXPECT_EQ(vlsim_CloseHandle(handle), 1);
    vlsim_reset();
}

} // namespace
