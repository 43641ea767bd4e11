// Control requests: codes, buffers, status words and what reaches the caller.
#include "device/transport.h"
#include "error/error_category.h"
#include "support/library_fixture.h"

#include <array>
#include <functional>
#include <utility>

namespace {

using velnor_test::LibraryTest;

// One export per request, called with outputs pre-filled with 0xAB.
struct Outputs {
    vl_version version;
    uint32_t values[2];
    uint8_t byte;
    char serial[40];
    vl_clock clock;
    uint8_t block[VL_UPDATE_BLOCK_SIZE];

    Outputs() { std::memset(this, 0xAB, sizeof *this); }
    bool untouched() const {
        const auto* bytes = reinterpret_cast<const uint8_t*>(this);
        for (std::size_t i = 0; i < sizeof *this; ++i) {
            if (i >= offsetof(Outputs, block)) {
                break; // the block is input
            }
            if (bytes[i] != 0xAB) {
                return false;
            }
        }
        return true;
    }
};

struct RequestCase {
    const char* name;
    std::uint32_t fn;
    std::uint32_t input_length;
    std::uint32_t reply_length;
    std::function<vl_rc(vl_device*, Outputs&)> call;
};

const RequestCase request_cases[] = {
    {"get_driver_version", 0, 0, 48,
     [](vl_device* d, Outputs& o) { return vl_device_get_driver_version(d, &o.version); }},
    {"get_firmware_version", 1, 0, 48,
     [](vl_device* d, Outputs& o) { return vl_device_get_firmware_version(d, &o.version); }},
    {"update_start_async", 2, 0, 4,
     [](vl_device* d, Outputs&) { return vl_device_update_start_async(d); }},
    {"update_get_status", 3, 0, 12,
     [](vl_device* d, Outputs& o) {
         return vl_device_update_get_status(d, &o.values[0], &o.values[1]);
     }},
    {"update_write", 4, 1032, 4,
     [](vl_device* d, Outputs& o) { return vl_device_update_write(d, o.block); }},
    {"update_complete", 5, 0, 4,
     [](vl_device* d, Outputs&) { return vl_device_update_complete(d); }},
    {"update_reset", 6, 0, 4, [](vl_device* d, Outputs&) { return vl_device_update_reset(d); }},
    {"get_id_led_state", 7, 0, 8,
     [](vl_device* d, Outputs& o) { return vl_device_get_id_led_state(d, &o.values[0]); }},
    {"set_id_led_state", 8, 4, 4,
     [](vl_device* d, Outputs&) { return vl_device_set_id_led_state(d, 1); }},
    {"get_trigger_polarity", 9, 0, 8,
     [](vl_device* d, Outputs& o) { return vl_device_get_trigger_polarity(d, &o.values[0]); }},
    {"set_trigger_polarity", 10, 4, 4,
     [](vl_device* d, Outputs&) { return vl_device_set_trigger_polarity(d, 1); }},
    {"get_trigger_status", 11, 0, 8,
     [](vl_device* d, Outputs& o) { return vl_device_get_trigger_status(d, &o.values[0]); }},
    {"set_trigger_status", 12, 4, 4,
     [](vl_device* d, Outputs&) { return vl_device_set_trigger_status(d, 1); }},
    {"get_clock", 13, 0, 20,
     [](vl_device* d, Outputs& o) { return vl_device_get_clock(d, &o.clock); }},
    {"set_clock", 14, 16, 4,
     [](vl_device* d, Outputs&) {
         vl_clock clock{VL_CLOCK_MODE_INTERNAL, {}, 100'000'000};
         return vl_device_set_clock(d, &clock);
     }},
    {"ad9516_reg_write", 15, 8, 4,
     [](vl_device* d, Outputs&) {
         return vl_device_ad9516_reg_write(d, VL_AD9516_REG_WRITE_VALUE(0x004, 0x01));
     }},
    {"ad9516_reg_read", 16, 4, 5,
     [](vl_device* d, Outputs& o) { return vl_device_ad9516_reg_read(d, 0x003, &o.byte); }},
    {"get_serial", 17, 0, 36,
     [](vl_device* d, Outputs& o) { return vl_device_get_serial(d, o.serial, sizeof o.serial); }},
};

class Requests : public velnor_test::OpenBoardTest,
                 public testing::WithParamInterface<RequestCase> {};

TEST_P(Requests, SendOneRequestWithTheTableCodeAndBufferSizes) {
    const RequestCase& c = GetParam();
    vlsim_set_request_status(c.fn, 0); // whatever the board's update state
    Outputs outputs;
    ASSERT_EQ(c.call(device, outputs), VL_RC_SUCCESS);
    ASSERT_EQ(vlsim_request_count(), 1u);
    const vlsim_request_record record = last_request();
    EXPECT_EQ(record.code, 0x222000u + 4 * c.fn);
    EXPECT_EQ(record.in_length, c.input_length);
    EXPECT_EQ(record.in_was_null != 0, c.input_length == 0);
    EXPECT_EQ(record.out_length, c.reply_length);
    EXPECT_EQ(record.handle, device->os_handle);
    EXPECT_EQ(velnor::control_code(c.fn), 0x222000u + 4 * c.fn);
    EXPECT_EQ(velnor::request_table[c.fn].input_length, c.input_length);
    EXPECT_EQ(velnor::status_word_size + velnor::request_table[c.fn].payload_length,
              c.reply_length);
}

TEST_P(Requests, PassANonZeroStatusThroughAndLeaveOutputsUntouched) {
    const RequestCase& c = GetParam();
    for (std::int32_t status : {-2, -8, -9, -10, -11, 5, INT32_MIN}) {
        vlsim_set_request_status_with_payload(c.fn, status);
        Outputs outputs;
        EXPECT_EQ(c.call(device, outputs), status);
        EXPECT_TRUE(outputs.untouched());
        EXPECT_NE(last_log_message().find(std::string("[vl_device_")), std::string::npos);
        EXPECT_NE(last_log_message().find("Error: Velnor:" + std::to_string(status) +
                                          ", IOCTL failed: " + velnor_category().message(status)),
                  std::string::npos)
            << last_log_message();
    }
}

TEST_P(Requests, TurnASystemFailureIntoFailedAndLeaveOutputsUntouched) {
    const RequestCase& c = GetParam();
    // Windows' own words for each value, as the system's message table has them.
    const std::pair<std::uint32_t, const char*> failures[] = {
        {995, "The I/O operation has been aborted because of either a thread exit or an "
              "application request."},
        {1167, "The device is not connected."},
        {122, "The data area passed to a system call is too small."},
        {1784, "The supplied user buffer is not valid for the requested operation."},
        {31, "A device attached to the system is not functioning."},
        {4242, "unknown error"},
    };
    for (const auto& [error, text] : failures) {
        vlsim_fail_next(VLSIM_CALL_DEVICE_IO_CONTROL, error);
        Outputs outputs;
        EXPECT_EQ(c.call(device, outputs), VL_RC_FAILED);
        EXPECT_TRUE(outputs.untouched());
        EXPECT_EQ(last_log_message(), std::string("[vl_device_") + c.name +
                                          "] Error: system:" + std::to_string(error) +
                                          ", DeviceIoControl failed: " + text);
    }
}

TEST_P(Requests, ReadAnEmptyReplyAsSuccessWithZeroPayload) {
    const RequestCase& c = GetParam();
    vlsim_set_request_reply_length(c.fn, 0);
    Outputs outputs;
    EXPECT_EQ(c.call(device, outputs), VL_RC_SUCCESS);
    EXPECT_EQ(last_request().bytes_returned, 0u);
}

INSTANTIATE_TEST_SUITE_P(AllRequests, Requests, testing::ValuesIn(request_cases),
                         [](const auto& info) { return std::string(info.param.name); });

class Transport : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        add_board("SHORT-REPLY-SERIAL");
        device = open();
    }
    vl_device* device = nullptr;
};

TEST_F(Transport, ShortReplyLeavesTheMissingPayloadBytesZero) {
    vlsim_set_request_reply_length(0, 4 + 6); // status and the first six payload bytes
    vl_version version;
    std::memset(&version, 0xAB, sizeof version);
    ASSERT_EQ(vl_device_get_driver_version(device, &version), VL_RC_SUCCESS);
    EXPECT_EQ(version.major, 2u);
    EXPECT_EQ(version.minor & 0xFFFFu, 4u);
    EXPECT_EQ(version.patch, 0u);
    for (char c : version.text) {
        EXPECT_EQ(c, 0);
    }
}

TEST_F(Transport, StatusWordOnlyReplyGivesZeroValues) {
    vlsim_set_request_status(3, 0);
    uint32_t state = 7, received = 7;
    ASSERT_EQ(vl_device_update_get_status(device, &state, &received), VL_RC_SUCCESS);
    EXPECT_EQ(state, 0u);
    EXPECT_EQ(received, 0u);
}

TEST_F(Transport, DeviceIoctlWithoutPayloadCopiesNothing) {
    std::uint8_t sentinel = 0x5A;
    velnor::device_ioctl(*device, 2, nullptr, 0, &sentinel, 0);
    EXPECT_EQ(sentinel, 0x5A);
    EXPECT_EQ(last_request().out_length, 4u);
}

} // namespace
